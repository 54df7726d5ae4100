#include "TPictureContainer.h"

#include "TPictureCollection.h"
#include "TPictureItem.h"

namespace quorvel {

namespace {

// Upper-cases only the ASCII letters a to z, as names are compared.
QString AsciiUpper(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return result;
}

} // namespace

TPictureContainer::TPictureContainer(QObject* owner)
    : TComponent(owner), m_items(std::make_unique<TPictureCollection>(this)) {}

TPictureContainer::~TPictureContainer() = default;

TCollection* TPictureContainer::ItemsCollection() const {
    return m_items.get();
}

THTMLPicture* TPictureContainer::PictureByName(const QString& name) const {
    const QString wanted = AsciiUpper(name);
    for (int i = 0; i < m_items->Count(); ++i) {
        TPictureItem* item = m_items->Items(i);
        if (AsciiUpper(item->Name()) == wanted)
            return item->Picture();
    }
    return nullptr;
}

} // namespace quorvel
