#pragma once

#include "QuorvelExport.h"

#include <QString>

#include <memory>
#include <vector>

namespace quorvel {

class THTMLPicture;

// Pictures loaded by location, in the order they were added. The cache owns
// its pictures: they live as long as the cache.
class QUORVEL_EXPORT THTMLPictureCache {
public:
    THTMLPictureCache();
    ~THTMLPictureCache();
    THTMLPictureCache(const THTMLPictureCache&) = delete;
    THTMLPictureCache& operator=(const THTMLPictureCache&) = delete;

    // Appends a new empty picture and returns it.
    THTMLPicture* NewPicture();
    THTMLPicture* AddPicture() { return NewPicture(); }
    // The first picture whose identifier equals location exactly (case matters), or nullptr.
    THTMLPicture* PictureByLocation(const QString& location) const;
    THTMLPicture* FindPicture(const QString& location) const { return PictureByLocation(location); }

    int Count() const { return static_cast<int>(m_items.size()); }
    THTMLPicture* Items(int index) const;
    void Clear();

private:
    std::vector<std::unique_ptr<THTMLPicture>> m_items;
};

} // namespace quorvel
