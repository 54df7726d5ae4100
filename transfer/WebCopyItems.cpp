#include "WebCopyItems.h"

#include <stdexcept>

namespace quorvel {

TWebCopyItem* TWebCopyItems::Add() {
    m_items.push_back(std::make_unique<TWebCopyItem>());
    return m_items.back().get();
}

TWebCopyItem* TWebCopyItems::Item(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("job index out of range");
    return m_items[static_cast<std::size_t>(index)].get();
}

} // namespace quorvel
