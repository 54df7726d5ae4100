#include "TPictureItem.h"

#include "THTMLPicture.h"
#include "TPictureCollection.h"

TPictureItem::TPictureItem(TPictureCollection* collection)
    : m_picture(std::make_unique<THTMLPicture>()), m_collection(collection) {}

TPictureItem::~TPictureItem() = default;

void TPictureItem::Assign(const TPictureItem& source) {
    if (&source == this)
        return;
    m_picture->Assign(source.Picture());
    m_name = source.m_name;
    m_tag = source.m_tag;
}

void TPictureItem::SetPicture(const THTMLPicture* picture) {
    m_picture->Assign(picture);
}

int TPictureItem::Index() const {
    return m_collection ? m_collection->IndexOf(this) : -1;
}
