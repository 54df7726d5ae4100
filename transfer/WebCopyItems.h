#pragma once

#include "QuorvelExport.h"

#include "TCollection.h"
#include "WebCopyItem.h"

#include <memory>
#include <vector>

namespace quorvel {

// The ordered job list of one engine; order is run order, indexes are 0-based.
class QUORVEL_EXPORT TWebCopyItems : public TCollection {
    Q_OBJECT

public:
    explicit TWebCopyItems(TWebCopy* owner) : m_owner(owner) {}
    TWebCopyItems(const TWebCopyItems&) = delete;
    TWebCopyItems& operator=(const TWebCopyItems&) = delete;

    // Appends a job with its initial values and returns it (owned by the list).
    TWebCopyItem* Add();
    void Clear() { m_items.clear(); }
    int Count() const { return static_cast<int>(m_items.size()); }
    // Indexed access; an index outside 0..Count()-1 throws std::out_of_range.
    TWebCopyItem* Item(int index) const;
    TWebCopyItem* operator[](int index) const { return Item(index); }

    TWebCopy* Owner() const { return m_owner; }

    int ItemCount() const override { return Count(); }
    QObject* ItemObject(int index) const override {
        return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].get() : nullptr;
    }
    QObject* AddItem() override { return Add(); }
    void ClearItems() override { Clear(); }

private:
    TWebCopy* m_owner;
    std::vector<std::unique_ptr<TWebCopyItem>> m_items;
};

} // namespace quorvel
