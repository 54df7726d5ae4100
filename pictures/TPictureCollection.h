#pragma once

#include "QuorvelExport.h"

#include "TCollection.h"

#include <memory>
#include <vector>

namespace quorvel {

class TPictureContainer;
class TPictureItem;

// The ordered items of a picture container; it owns them.
class QUORVEL_EXPORT TPictureCollection : public TCollection {
    Q_OBJECT

public:
    explicit TPictureCollection(TPictureContainer* owner);
    ~TPictureCollection();
    TPictureCollection(const TPictureCollection&) = delete;
    TPictureCollection& operator=(const TPictureCollection&) = delete;

    TPictureItem* Add();
    void Clear();
    void Delete(int index);
    int Count() const { return static_cast<int>(m_items.size()); }
    // 0-based; nullptr when out of range.
    TPictureItem* Items(int index) const;
    int IndexOf(const TPictureItem* item) const;
    TPictureContainer* Owner() const { return m_owner; }

    int ItemCount() const override { return Count(); }
    QObject* ItemObject(int index) const override;
    QObject* AddItem() override;
    void ClearItems() override { Clear(); }

private:
    TPictureContainer* m_owner;
    std::vector<std::unique_ptr<TPictureItem>> m_items;
};

} // namespace quorvel
