#pragma once

#include "TFormDescription.h"

#include <QJsonObject>
#include <QMetaProperty>
#include <QPointer>
#include <QSet>
#include <QString>

#include <vector>

class QWidget;

namespace quorvel {

class TCollection;

// Reads window description entries into objects (the format is described
// with TFormDescription): creates the components through the class registry,
// applies properties in declaration order with geometry last, binds handlers
// through the binder, and lists in the report whatever it skips.
class TFormReader {
public:
    TFormReader(const TEventBinder& binder, TFormReport& report, QObject* root);

    // Reads one entry (its properties, components and events) into object;
    // where names it in the report.
    void ReadComponent(const QString& where, const QJsonObject& d, QObject& object);
    // Sets the references to other components once every component exists.
    void ResolveReferences();
    void Skip(const QString& where, const QString& why);

private:
    void ReadCollection(const QString& where, TCollection& c, const QJsonValue& v);
    void ReadFont(const QString& where, QWidget& w, const QJsonValue& v);
    void ReadGeometry(const QString& where, const QJsonObject& props, QWidget& w, QSet<QString>& used);
    QSet<QString> ReadControlProperties(const QString& where, const QJsonObject& props, QWidget& w);
    void ReadProperties(const QString& where, const QJsonObject& props, QObject& object,
                        bool component = false);
    void ReadEvents(const QString& where, const QJsonValue& v, QObject& object);
    QObject* ChildFor(const QString& where, const QJsonObject& d, QObject& parent);

    const TEventBinder& m_binder;
    TFormReport& m_report;
    QObject* m_root = nullptr;
    // A reference to another component, set once every component exists.
    struct TFixup {
        QPointer<QObject> object;
        QMetaProperty property;
        QString target;
        QString where;
    };
    std::vector<TFixup> m_fixups;
};

} // namespace quorvel
