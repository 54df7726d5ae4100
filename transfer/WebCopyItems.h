#pragma once

#include "WebCopyItem.h"

#include <memory>
#include <vector>

// The ordered job list of one engine; order is run order, indexes are 0-based.
class TWebCopyItems {
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

private:
    TWebCopy* m_owner;
    std::vector<std::unique_ptr<TWebCopyItem>> m_items;
};
