#include "TPictureCollection.h"

#include "TPictureItem.h"

namespace quorvel {

TPictureCollection::TPictureCollection(TPictureContainer* owner) : m_owner(owner) {}

TPictureCollection::~TPictureCollection() = default;

TPictureItem* TPictureCollection::Add() {
    m_items.push_back(std::make_unique<TPictureItem>(this));
    return m_items.back().get();
}

void TPictureCollection::Clear() {
    m_items.clear();
}

void TPictureCollection::Delete(int index) {
    if (index >= 0 && index < Count())
        m_items.erase(m_items.begin() + index);
}

TPictureItem* TPictureCollection::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

QObject* TPictureCollection::ItemObject(int index) const {
    return Items(index);
}

QObject* TPictureCollection::AddItem() {
    return Add();
}

int TPictureCollection::IndexOf(const TPictureItem* item) const {
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == item)
            return static_cast<int>(i);
    return -1;
}

} // namespace quorvel
