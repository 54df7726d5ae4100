#include "TLabel.h"

#include <QEvent>

namespace quorvel {

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

void TLabel::SetAutoSize(bool autoSize) {
    m_autoSize = autoSize;
    FitToText();
}

void TLabel::SetWordWrap(bool wrap) {
    setWordWrap(wrap);
    FitToText();
}

void TLabel::SetCaption(const QString& caption) {
    m_caption = caption;
    QString shown = caption;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
    FitToText();
}

void TLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitToText();
}

void TLabel::FitToText() {
    if (!m_autoSize)
        return;
    const QFontMetrics metrics(font());
    const QRect box = metrics.boundingRect(QRect(0, 0, wordWrap() ? width() : 32767, 32767),
                                           int(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0), text());
    resize(std::max(box.width(), 1), std::max(box.height(), metrics.height()));
}

} // namespace quorvel
