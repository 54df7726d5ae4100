#include "TForm.h"

#include "WidgetAccessibility.h"
#include "WindowPlacement.h"

#include <QFont>
#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>

namespace quorvel {

namespace {

// Faces of stored windows that Linux lacks, mapped to metric-alike ones.
void InstallFaceSubstitutes() {
    static const bool done = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)done;
}

} // namespace

TForm::TForm(QWidget* parent) : QWidget(parent) {
    WidgetAccessibility::Install();
    InstallFaceSubstitutes();
    setAutoFillBackground(true);
    SetColor(m_color);
    ApplyFlags();
    ApplySize();
}

void TForm::SetClientWidth(int width) {
    m_clientWidth = std::max(width, 0);
    ApplySize();
}

void TForm::SetClientHeight(int height) {
    m_clientHeight = std::max(height, 0);
    ApplySize();
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    m_borderStyle = style;
    ApplyFlags();
    ApplySize();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    m_borderIcons = icons;
    ApplyFlags();
}

void TForm::SetColor(TColor color) {
    m_color = color;
    const TColor rgb = ColorToRGB(color);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb)));
    setPalette(pal);
}

void TForm::ApplySize() {
    if (m_borderStyle == bsSizeable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(m_clientWidth, m_clientHeight);
    } else {
        setFixedSize(m_clientWidth, m_clientHeight);
    }
}

void TForm::ApplyFlags() {
    if (!isWindow())
        return;
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if (m_borderStyle != bsNone)
        flags |= Qt::WindowTitleHint;
    else
        flags |= Qt::FramelessWindowHint;
    if (m_borderIcons & biSystemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (m_borderIcons & biMinimize)
        flags |= Qt::WindowMinimizeButtonHint;
    // A window of fixed size never offers to maximise.
    if ((m_borderIcons & biMaximize) && m_borderStyle == bsSizeable)
        flags |= Qt::WindowMaximizeButtonHint;
    if (m_borderStyle != bsSizeable)
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    const bool shown = isVisible();
    setWindowFlags(flags);
    if (shown)
        show();
}

void TForm::setVisible(bool visible) {
    if (visible && !isVisible() && m_position == poScreenCenter)
        WindowPlacement::CentreOnScreen(*this);
    QWidget::setVisible(visible);
}

QPushButton* TForm::RoleButton(bool cancel) const {
    const auto pressable = [this](const QPushButton* b) {
        return b && b->window() == this && b->isVisible() && b->isEnabled();
    };
    if (!cancel) {
        // A focused push button is the one Enter presses.
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (pressable(focused))
            return focused;
    }
    for (QPushButton* b : findChildren<QPushButton*>()) {
        if (pressable(b) && (cancel ? b->property("Cancel").toBool() : b->isDefault()))
            return b;
    }
    return nullptr;
}

// Keys the focused control leaves unhandled arrive here.
void TForm::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int key = event->key();
    QPushButton* target = nullptr;
    if (plain && key == Qt::Key_Escape)
        target = RoleButton(true);
    else if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter))
        target = RoleButton(false);
    if (!target) {
        QWidget::keyPressEvent(event);
        return;
    }
    target->click();
    event->accept();
}

} // namespace quorvel
