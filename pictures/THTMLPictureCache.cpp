#include "THTMLPictureCache.h"

#include "THTMLPicture.h"

namespace quorvel {

THTMLPictureCache::THTMLPictureCache() = default;
THTMLPictureCache::~THTMLPictureCache() = default;

THTMLPicture* THTMLPictureCache::NewPicture() {
    m_items.push_back(std::make_unique<THTMLPicture>());
    return m_items.back().get();
}

THTMLPicture* THTMLPictureCache::PictureByLocation(const QString& location) const {
    for (const auto& picture : m_items)
        if (picture->ID() == location)
            return picture.get();
    return nullptr;
}

THTMLPicture* THTMLPictureCache::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

void THTMLPictureCache::Clear() {
    m_items.clear();
}

} // namespace quorvel
