#include "HTMLButtonAccessibility.h"

#include "HTMLRenderer.h"
#include "THTMLButton.h"
#include "TQtCanvas.h"

#include <QAccessibleWidget>
#include <QImage>

#include <mutex>

namespace quorvel {

namespace {

class THTMLButtonAccessible : public QAccessibleWidget {
public:
    explicit THTMLButtonAccessible(THTMLButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    THTMLButton* Button() const { return static_cast<THTMLButton*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return HTMLButtonAccessibility::PlainCaption(Button()->Caption());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = Button()->isDown();
        s.defaultButton = Button()->isDefault();
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            if (widget()->isEnabled())
                Button()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String(THTMLButton::staticMetaObject.className()))
        return new THTMLButtonAccessible(static_cast<THTMLButton*>(object));
    return nullptr;
}

// Drops the shortcut marks of drawn text: "&&" is one ampersand, a single
// "&" only marks the letter after it.
QString WithoutShortcutMarks(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

} // namespace

void HTMLButtonAccessibility::Install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(Factory); });
}

QString HTMLButtonAccessibility::PlainCaption(const QString& markup) {
    // The renderer knows what a caption shows: measured (nothing drawn) in
    // room enough that nothing is cut.
    QImage surface(1, 1, QImage::Format_RGB32);
    TQtCanvas canvas(&surface);
    TMarkupOptions options;
    options.MeasureOnly = true;
    options.WordWrap = true;
    TMarkupResult result;
    RenderMarkup(canvas, markup.toStdString(), TRect{0, 0, 1 << 20, 1 << 20}, options, result);
    return WithoutShortcutMarks(QString::fromStdString(result.PlainText)).simplified();
}

} // namespace quorvel
