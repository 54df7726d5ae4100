#include "TComponent.h"

#include <QMetaProperty>

namespace quorvel {

TComponent::TComponent(QObject* owner) : QObject(owner) {}

QString TComponent::DefaultOf(const QObject& object, const char* property) {
    const QMetaObject* meta = object.metaObject();
    const int index = meta->indexOfClassInfo(QByteArray("default:").append(property).constData());
    if (index < 0)
        return QString();
    return QString::fromUtf8(meta->classInfo(index).value());
}

QVariantMap TComponent::StoredProperties() const {
    QVariantMap stored;
    const QMetaObject* meta = metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isStored() || !property.isWritable() || qstrcmp(property.name(), "objectName") == 0)
            continue;
        const QVariant value = property.read(this);
        const QString fallback = DefaultOf(*this, property.name());
        if (!fallback.isNull() && value.toString() == fallback)
            continue;
        stored.insert(QString::fromUtf8(property.name()), value);
    }
    return stored;
}

void TComponent::LoadProperties(const QVariantMap& values) {
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        setProperty(it.key().toUtf8().constData(), it.value());
}

} // namespace quorvel
