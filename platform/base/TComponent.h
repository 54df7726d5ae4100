#pragma once

#include "QuorvelExport.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace quorvel {

// Base of every component: an owner, a name, a tag and published properties.
//
// Published properties are Q_PROPERTYs. A property's stored default is given
// with Q_CLASSINFO("default:<Name>", "<value as text>"); StoredProperties()
// returns what a form description would keep: every published property
// except those equal to their default. Owner-parent links use QObject's tree,
// so an owner frees its components.
class QUORVEL_EXPORT TComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_CLASSINFO("default:Tag", "0")

public:
    explicit TComponent(QObject* owner = nullptr);

    QObject* Owner() const { return parent(); }
    QString Name() const { return objectName(); }
    void SetName(const QString& name) { setObjectName(name); }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }

    // Published property values that differ from their stored default, in
    // declaration order (base class properties first).
    QVariantMap StoredProperties() const;
    // Applies values as StoredProperties() gives them; unknown names are ignored.
    void LoadProperties(const QVariantMap& values);

    // Stored default of a published property as text, or a null QString when it has none.
    static QString DefaultOf(const QObject& object, const char* property);

private:
    int m_tag = 0;
};

} // namespace quorvel
