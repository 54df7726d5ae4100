#pragma once

#include "TCanvas.h"

#include <memory>

// A list of equally sized images drawn by index.
class TImageList {
public:
    TImageList(int width, int height);
    ~TImageList();

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
