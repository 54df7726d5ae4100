#include "TPictureItem.h"

#include "THTMLPicture.h"
#include "TPictureCollection.h"

#include <sstream>

namespace quorvel {

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

QByteArray TPictureItem::PictureData() const {
    const std::vector<unsigned char>& data = m_picture->ImageData();
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

void TPictureItem::SetPictureData(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        m_picture->Assign(nullptr);
        return;
    }
    std::istringstream stream(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    m_picture->ReadData(stream);
}

int TPictureItem::Index() const {
    return m_collection ? m_collection->IndexOf(this) : -1;
}

} // namespace quorvel
