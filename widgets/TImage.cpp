#include "TImage.h"

#include "WidgetAccessibility.h"

#include "THTMLPicture.h"

#include <QPainter>

#include <sstream>

namespace quorvel {

TImage::TImage(QWidget* parent) : QWidget(parent), m_picture(std::make_unique<THTMLPicture>()) {
    WidgetAccessibility::Install();
}

TImage::~TImage() = default;

QByteArray TImage::PictureData() const {
    const std::vector<unsigned char>& data = m_picture->ImageData();
    return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

void TImage::SetPictureData(const QByteArray& bytes) {
    update();
    if (bytes.isEmpty()) {
        m_picture->Assign(nullptr);
        return;
    }
    std::istringstream stream(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    m_picture->ReadData(stream);
}

void TImage::SetStretch(bool stretch) {
    m_stretch = stretch;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    const QImage& image = m_picture->Image();
    if (m_picture->Empty() || image.isNull())
        return;
    QPainter painter(this);
    if (m_stretch)
        painter.drawImage(rect(), image);
    else
        painter.drawImage(0, 0, image);
}

} // namespace quorvel
