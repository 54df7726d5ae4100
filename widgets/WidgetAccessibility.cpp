#include "WidgetAccessibility.h"

#include "TForm.h"
#include "THTMLPicture.h"
#include "TImage.h"
#include "TPanel.h"
#include "TXiProgressBar.h"

#include <QAccessibleWidget>
#include <QThread>

#include <algorithm>
#include <mutex>

namespace quorvel {

namespace {

// The bar: role, value as a percentage of its range, and the value itself.
class TXiProgressBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TXiProgressBarAccessible(TXiProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    TXiProgressBar* Bar() const { return static_cast<TXiProgressBar*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return QStringLiteral("%1%").arg(Percent());
        return QAccessibleWidget::text(t);
    }

    // Shown as the bar shows it: at most Max.
    QVariant currentValue() const override { return std::min(Bar()->Position(), Bar()->Max()); }
    QVariant minimumValue() const override { return Bar()->Min(); }
    QVariant maximumValue() const override { return Bar()->Max(); }
    QVariant minimumStepSize() const override { return 0; }
    // The user does not move a progress bar.
    void setCurrentValue(const QVariant&) override {}

private:
    int Percent() const {
        const qint64 range = qint64(Bar()->Max()) - Bar()->Min();
        if (range <= 0)
            return 0;
        const qint64 done = std::min(Bar()->Position(), Bar()->Max()) - qint64(Bar()->Min());
        return static_cast<int>(done * 100 / range);
    }
};

// A picture: a graphic named by its description, or by what it is.
class TImageAccessible : public QAccessibleWidget, public QAccessibleImageInterface {
public:
    explicit TImageAccessible(TImage* image) : QAccessibleWidget(image, QAccessible::Graphic) {}

    TImage* Image() const { return static_cast<TImage*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ImageInterface)
            return static_cast<QAccessibleImageInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return imageDescription();
        return QAccessibleWidget::text(t);
    }

    QString imageDescription() const override {
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        const QSize size = imageSize();
        return size.isEmpty()
                   ? QStringLiteral("Empty picture")
                   : QStringLiteral("Picture, %1 by %2 pixels").arg(size.width()).arg(size.height());
    }
    QSize imageSize() const override {
        const THTMLPicture* picture = Image()->Picture();
        return picture->Empty() ? QSize() : QSize(picture->Width(), picture->Height());
    }
    QPoint imagePosition() const override { return rect().topLeft(); }
};

// A panel: a pane named by its caption.
class TPanelAccessible : public QAccessibleWidget {
public:
    explicit TPanelAccessible(TPanel* panel) : QAccessibleWidget(panel, QAccessible::Pane) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<TPanel*>(widget())->Caption();
        return QAccessibleWidget::text(t);
    }
};

// A window made from a form description: a window named by its caption
// (Qt's own default for a plain widget is a client area).
class TFormAccessible : public QAccessibleWidget {
public:
    explicit TFormAccessible(QWidget* form)
        : QAccessibleWidget(form, form->isWindow() ? QAccessible::Window : QAccessible::Client) {}
};

// Qt asks with each class name of the object's class chain, most derived first.
QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String(TXiProgressBar::staticMetaObject.className()))
        return new TXiProgressBarAccessible(static_cast<TXiProgressBar*>(object));
    if (className == QLatin1String(TImage::staticMetaObject.className()))
        return new TImageAccessible(static_cast<TImage*>(object));
    if (className == QLatin1String(TPanel::staticMetaObject.className()))
        return new TPanelAccessible(static_cast<TPanel*>(object));
    if (className == QLatin1String(TForm::staticMetaObject.className()))
        return new TFormAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void WidgetAccessibility::Install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(Factory); });
}

void WidgetAccessibility::ValueChanged(TXiProgressBar* bar) {
    if (!QAccessible::isActive() || QThread::currentThread() != bar->thread())
        return;
    QAccessibleValueChangeEvent event(bar, std::min(bar->Position(), bar->Max()));
    QAccessible::updateAccessibility(&event);
}

} // namespace quorvel
