#include "GifBuilder.h"

#include <QBuffer>

namespace {

void PutWord(std::string& out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

// Packs 3-bit LZW codes least significant bit first.
class BitWriter {
public:
    void Put(int code) {
        m_acc |= static_cast<unsigned>(code) << m_bits;
        m_bits += 3;
        while (m_bits >= 8) {
            m_bytes += static_cast<char>(m_acc & 0xFF);
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    std::string Finish() {
        if (m_bits > 0)
            m_bytes += static_cast<char>(m_acc & 0xFF);
        return m_bytes;
    }

private:
    std::string m_bytes;
    unsigned m_acc = 0;
    int m_bits = 0;
};

// Pixel data with a minimum code size of 2: a clear code before every pair
// of literal pixels keeps every code 3 bits wide, so no real compression is needed.
std::string ImageData(int pixels, int color) {
    constexpr int kClear = 4;
    constexpr int kEnd = 5;
    BitWriter bits;
    for (int i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            bits.Put(kClear);
        bits.Put(color);
    }
    bits.Put(kEnd);
    const std::string codes = bits.Finish();
    std::string out(1, '\x02');
    for (std::size_t pos = 0; pos < codes.size(); pos += 255) {
        const std::string block = codes.substr(pos, 255);
        out += static_cast<char>(block.size());
        out += block;
    }
    out += '\0';
    return out;
}

} // namespace

std::string BuildGif(int screenWidth, int screenHeight, const std::vector<GifFrame>& frames,
                     bool controlExtensions) {
    std::string out = "GIF89a";
    PutWord(out, screenWidth);
    PutWord(out, screenHeight);
    out += '\x81'; // global colour table of 4 entries
    out += '\0';   // background colour index
    out += '\0';   // aspect ratio
    out += std::string("\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 12);
    for (const GifFrame& frame : frames) {
        if (controlExtensions)
            out += std::string("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);
        out += '\x2C';
        PutWord(out, frame.Left);
        PutWord(out, frame.Top);
        PutWord(out, frame.Width);
        PutWord(out, frame.Height);
        out += '\0';
        out += ImageData(frame.Width * frame.Height, frame.Color);
    }
    out += '\x3B';
    return out;
}

std::string ThreeFrameGif() {
    return BuildGif(20, 10, {{1, 2, 4, 3, 1}, {6, 3, 5, 4, 2}, {17, 7, 2, 2, 3}}, true);
}

std::string EncodeImage(int width, int height, QRgb color, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes.toStdString();
}
