#include "ProgressAnimationAccessibility.h"

#include "ProgressAnimation.h"

#include <QAccessibleWidget>

#include <mutex>

namespace quorvel {

namespace {

class TProgressAnimationAccessible : public QAccessibleWidget {
public:
    explicit TProgressAnimationAccessible(TProgressAnimation* animation)
        : QAccessibleWidget(animation, QAccessible::Animation) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<TProgressAnimation*>(widget())->Clip() == TProgressAnimation::kUploadClip
                       ? QStringLiteral("Upload animation")
                       : QStringLiteral("Transfer animation");
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String(TProgressAnimation::staticMetaObject.className()))
        return new TProgressAnimationAccessible(static_cast<TProgressAnimation*>(object));
    return nullptr;
}

} // namespace

void ProgressAnimationAccessibility::Install() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(Factory); });
}

} // namespace quorvel
