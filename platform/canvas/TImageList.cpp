#include "TImageList.h"

#include <QImage>
#include <vector>

namespace quorvel {

struct TImageList::TImpl {
    std::vector<QImage> Images;
};

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), m_width(std::max(1, width)), m_height(std::max(1, height)),
      m_impl(std::make_unique<TImpl>()) {}

TImageList::~TImageList() = default;

int TImageList::Count() const {
    return static_cast<int>(m_impl->Images.size());
}

int TImageList::Add(const QImage& image) {
    QImage img = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (img.width() != m_width || img.height() != m_height)
        img = img.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_impl->Images.push_back(std::move(img));
    return Count() - 1;
}

void TImageList::Clear() {
    m_impl->Images.clear();
}

const QImage& TImageList::Image(int index) const {
    return m_impl->Images.at(static_cast<size_t>(index));
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
    if (index < 0 || index >= Count())
        return;
    const QImage& img = Image(index);
    if (enabled) {
        canvas.DrawImage(x, y, img);
        return;
    }
    QImage grey = img;
    for (int row = 0; row < grey.height(); ++row) {
        auto* px = reinterpret_cast<QRgb*>(grey.scanLine(row));
        for (int col = 0; col < grey.width(); ++col) {
            const int g = qGray(px[col]);
            px[col] = qRgba(g, g, g, qAlpha(px[col]));
        }
    }
    canvas.DrawImage(x, y, grey);
}

} // namespace quorvel
