#include "TCABFileContents.h"

#include "TCABFile.h"

namespace quorvel {

TCABFileContents::TCABFileContents(TCABFile* owner) : TCollection(owner), m_owner(owner) {}

TCABFileEntry* TCABFileContents::Add() {
    auto* entry = new TCABFileEntry(this);
    m_items.push_back(entry);
    return entry;
}

void TCABFileContents::Clear() {
    for (TCABFileEntry* entry : m_items)
        delete entry;
    m_items.clear();
}

TCABFileEntry* TCABFileContents::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)];
}

} // namespace quorvel
