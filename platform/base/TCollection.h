#pragma once

#include "QuorvelExport.h"

#include <QObject>

namespace quorvel {

// An ordered list of items owned by a component, as the form description
// sees it: items are QObjects whose Q_PROPERTYs are their published
// properties. Concrete collections keep their own typed Add/Count/Items and
// implement these for streaming.
class QUORVEL_EXPORT TCollection : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual int ItemCount() const = 0;
    // 0-based; nullptr when out of range.
    virtual QObject* ItemObject(int index) const = 0;
    // Appends an item with its initial values.
    virtual QObject* AddItem() = 0;
    virtual void ClearItems() = 0;
};

} // namespace quorvel
