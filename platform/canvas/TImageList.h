#pragma once

#include "QuorvelExport.h"

#include "TCanvas.h"

#include <QObject>
#include <memory>

namespace quorvel {

// A list of equally sized images drawn by index. A component of its window:
// controls refer to it by name and forget it when it is destroyed.
class QUORVEL_EXPORT TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(int width = 16, int height = 16, QObject* parent = nullptr);
    ~TImageList() override;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const;

    // Appends image, scaled to the list's size when it differs; returns its index.
    int Add(const QImage& image);
    void Clear();
    const QImage& Image(int index) const;

    // Draws image index at (x, y); a disabled image is drawn greyed.
    // Out-of-range indexes draw nothing.
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;

private:
    struct TImpl;
    int m_width;
    int m_height;
    std::unique_ptr<TImpl> m_impl;
};

} // namespace quorvel
