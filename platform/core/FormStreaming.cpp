#include "FormStreaming.h"

#include "TCollection.h"

#include <QHash>
#include <QMutex>

namespace quorvel {

namespace {

struct TRegistry {
    QMutex mutex;
    QHash<QString, TComponentFactory> factories;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

// Our classes begin with "T"; Qt's own begin with "Q".
bool IsOwnClass(const QMetaObject* meta) {
    return FormStreaming::ClassName(meta)[0] == 'T';
}

} // namespace

namespace FormStreaming {

const char* ClassName(const QMetaObject* meta) {
    static constexpr char kPrefix[] = "quorvel::";
    const char* name = meta->className();
    return qstrncmp(name, kPrefix, sizeof kPrefix - 1) == 0 ? name + sizeof kPrefix - 1 : name;
}

void RegisterFactory(const QString& className, TComponentFactory factory) {
    TRegistry& r = Registry();
    QMutexLocker lock(&r.mutex);
    r.factories.insert(className, std::move(factory));
}

bool IsRegistered(const QString& className) {
    TRegistry& r = Registry();
    QMutexLocker lock(&r.mutex);
    return r.factories.contains(className);
}

TComponentFactory FactoryOf(const QString& className) {
    TRegistry& r = Registry();
    QMutexLocker lock(&r.mutex);
    return r.factories.value(className);
}

std::vector<QMetaProperty> PublishedProperties(const QObject& object) {
    std::vector<const QMetaObject*> chain;
    for (const QMetaObject* m = object.metaObject(); m; m = m->superClass())
        chain.insert(chain.begin(), m);
    std::vector<QMetaProperty> result;
    for (const QMetaObject* m : chain) {
        if (!IsOwnClass(m))
            continue;
        for (int i = m->propertyOffset(); i < m->propertyCount(); ++i) {
            const QMetaProperty p = m->property(i);
            if (p.isStored())
                result.push_back(p);
        }
    }
    return result;
}

TCollection* CollectionOf(const QMetaProperty& p, const QObject& object) {
    if (!(p.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return qobject_cast<TCollection*>(p.read(&object).value<QObject*>());
}

bool IsComponentName(const QMetaProperty& p) {
    return qstrcmp(ClassName(p.enclosingMetaObject()), "TComponent") == 0 && qstrcmp(p.name(), "Name") == 0;
}

bool OwnProperty(const QObject& object, const char* name) {
    return object.metaObject()->indexOfProperty(name) >= 0;
}

} // namespace FormStreaming

} // namespace quorvel
