#pragma once

#include "QuorvelExport.h"

#include "TCABFileEntry.h"
#include "TCollection.h"

#include <QObject>
#include <vector>

namespace quorvel {

class TCABFile;

// Ordered list of entries owned by a cabinet component, which it reports as
// its owner. Extraction neither fills nor reads it.
class QUORVEL_EXPORT TCABFileContents : public TCollection {
    Q_OBJECT

public:
    explicit TCABFileContents(TCABFile* owner);

    TCABFile* Owner() const { return m_owner; }
    TCABFileEntry* Add();
    void Clear();
    int Count() const { return static_cast<int>(m_items.size()); }
    // 0-based; null when out of range.
    TCABFileEntry* Items(int index) const;

    int ItemCount() const override { return Count(); }
    QObject* ItemObject(int index) const override { return Items(index); }
    QObject* AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }

private:
    TCABFile* m_owner;
    std::vector<TCABFileEntry*> m_items;
};

} // namespace quorvel
