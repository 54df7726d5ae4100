#include "THTMLPicture.h"

#include "EPictureError.h"
#include "TCanvas.h"
#include "TDownLoadThread.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QRect>

#include <filesystem>
#include <fstream>
#include <istream>
#include <new>
#include <ostream>

namespace quorvel {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// Sizes are computed through 0.01 mm units at the screen's 96 dpi, so the
// pixel sizes reported and drawn round the same way everywhere.
constexpr int kHimetricPerInch = 2540;
constexpr int kScreenPpi = 96;

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const long long p = static_cast<long long>(a) * b;
    const long long half = (c < 0 ? -c : c) / 2;
    const long long q = ((p < 0) != (c < 0)) ? (p - half) / c : (p + half) / c;
    return static_cast<int>(q);
}

int PixelsToHimetric(int pixels) {
    return MulDiv(pixels, kHimetricPerInch, kScreenPpi);
}

std::uint16_t ReadWord(const std::vector<unsigned char>& data, std::size_t offset) {
    if (offset + 1 >= data.size())
        return 0;
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

bool StartsWithCaseBlind(const QString& text, const char* prefix) {
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

} // namespace

THTMLPicture::THTMLPicture() = default;
THTMLPicture::~THTMLPicture() = default;

void THTMLPicture::Changed() {
    if (OnChange)
        OnChange(this);
}

int THTMLPicture::Width() const {
    if (m_image.isNull())
        return 0;
    return MulDiv(PixelsToHimetric(m_image.width()), m_ppiX, kHimetricPerInch);
}

int THTMLPicture::Height() const {
    if (m_image.isNull())
        return 0;
    return MulDiv(PixelsToHimetric(m_image.height()), m_ppiY, kHimetricPerInch);
}

int THTMLPicture::DisplayWidth() const {
    if (m_image.isNull())
        return 0;
    if (m_screenWidth != 0)
        return m_screenWidth;
    return MulDiv(PixelsToHimetric(m_image.width()), kScreenPpi, kHimetricPerInch);
}

int THTMLPicture::DisplayHeight() const {
    if (m_image.isNull())
        return 0;
    if (m_screenHeight != 0)
        return m_screenHeight;
    return MulDiv(PixelsToHimetric(m_image.height()), kScreenPpi, kHimetricPerInch);
}

void THTMLPicture::CopyStream(std::istream& stream) {
    // Read from the start when the stream can seek, else from where it stands.
    stream.clear();
    if (stream.tellg() != std::istream::pos_type(-1))
        stream.seekg(0, std::ios::beg);
    if (!stream)
        stream.clear();
    std::vector<unsigned char> bytes;
    char chunk[kChunk];
    while (stream) {
        stream.read(chunk, sizeof chunk);
        bytes.insert(bytes.end(), chunk, chunk + stream.gcount());
    }
    if (stream.bad())
        throw EPictureError("Could not read image data");
    SetData(std::move(bytes));
}

void THTMLPicture::SetData(std::vector<unsigned char> bytes) {
    m_data = std::move(bytes);
    // The frame count belongs to the bytes it was counted in.
    m_frameCount = -1;
}

void THTMLPicture::ReadData(std::istream& stream) {
    CopyStream(stream);
    m_empty = false;
    Decode();
}

void THTMLPicture::WriteData(std::ostream& stream) const {
    stream.write(reinterpret_cast<const char*>(m_data.data()), static_cast<std::streamsize>(m_data.size()));
}

void THTMLPicture::LoadFromStream(std::istream* stream) {
    if (!stream)
        return;
    CopyStream(*stream);
    m_empty = false;
    Decode();
    Changed();
}

void THTMLPicture::SaveToStream(std::ostream* stream) const {
    if (stream)
        WriteData(*stream);
}

void THTMLPicture::LoadFromFile(const QString& fileName) {
    try {
        // Only regular files: a device or pipe named as a picture would never end.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(fileName.toStdString(), ec))
            throw EPictureError("Could not open image file");
        std::ifstream file(fileName.toStdString(), std::ios::binary);
        if (!file)
            throw EPictureError("Could not open image file");
        LoadFromStream(&file);
    } catch (const std::exception&) {
        // A picture that cannot be shown is simply left empty.
        m_empty = true;
        m_image = QImage();
    }
}

void THTMLPicture::LoadFromResource(const QString& name) {
    QFile resource(QStringLiteral(":/") + name);
    if (!resource.exists() || !resource.open(QIODevice::ReadOnly))
        return;
    std::vector<unsigned char> bytes;
    while (!resource.atEnd()) {
        const QByteArray chunk = resource.read(kChunk);
        if (chunk.isEmpty())
            break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    SetData(std::move(bytes));
    m_empty = false;
    Decode();
    Changed();
}

void THTMLPicture::LoadFromLocation(const QString& location) {
    if (StartsWithCaseBlind(location, "RES://")) {
        m_id = location;
        const QString name = location.mid(6);
        if (!name.isEmpty())
            LoadFromResource(name);
    } else if (StartsWithCaseBlind(location, "FILE://")) {
        m_id = location;
        const QString path = location.mid(7);
        if (!path.isEmpty())
            LoadFromFile(path);
    } else if (!m_asynch) {
        m_id = location;
    } else if (!m_busy) {
        m_busy = true;
        TDownLoadThread::Start(this);
    }
}

void THTMLPicture::SetFrame(int frame) {
    m_frame = frame;
    if (!m_data.empty()) {
        Decode();
        if (OnFrameChange)
            OnFrameChange(this);
    }
}

void THTMLPicture::Assign(const THTMLPicture* source) {
    m_empty = true;
    m_image = QImage();
    m_frameCount = -1;
    // The old bytes are about to be replaced, so they are not decoded again:
    // bad old data must not make the assignment fail.
    m_frame = 1;
    if (!m_data.empty() && OnFrameChange)
        OnFrameChange(this);
    if (!source) {
        m_data.clear();
        return;
    }
    if (source != this)
        SetData(source->m_data);
    m_empty = false;
    Decode();
    Changed();
}

bool THTMLPicture::IsGifData() const {
    return m_data.size() > 4 && m_data[0] == 'G' && m_data[1] == 'I' && m_data[2] == 'F' && m_data[3] == '8';
}

// A graphic control extension (0x21 0xF9, block size 4, four data bytes and
// a terminator) directly followed by an image descriptor (0x2C).
bool THTMLPicture::IsFrameMarker(std::size_t offset) const {
    return offset + 9 < m_data.size() && m_data[offset] == 0x21 && m_data[offset + 1] == 0xF9 &&
           m_data[offset + 2] == 0x04 && m_data[offset + 8] == 0x2C;
}

int THTMLPicture::CountFrames() {
    if (m_frameCount != -1)
        return m_frameCount;
    if (!IsGifData())
        return -1;
    int count = 0;
    for (std::size_t i = 0; i < m_data.size(); ++i)
        if (IsFrameMarker(i))
            ++count;
    m_frameCount = count;
    return count;
}

// The data with the frames before the selected one left out, each from its
// frame marker up to the next one, so that the selected frame decodes first.
std::vector<unsigned char> THTMLPicture::TrimmedToFrame() {
    m_screenWidth = ReadWord(m_data, 6);
    m_screenHeight = ReadWord(m_data, 8);
    std::vector<unsigned char> trimmed;
    trimmed.reserve(m_data.size());
    int index = 1;
    bool skipping = false;
    for (std::size_t i = 0; i < m_data.size(); ++i) {
        if (IsFrameMarker(i)) {
            if (index == m_frame) {
                // Edges of the image descriptor that follows the 0x2C byte;
                // parts cut off by the end of the data read as 0.
                const std::size_t edges = i + 9;
                m_frameXPos = ReadWord(m_data, edges);
                m_frameYPos = ReadWord(m_data, edges + 2);
                m_frameWidth = ReadWord(m_data, edges + 4);
                m_frameHeight = ReadWord(m_data, edges + 6);
            }
            ++index;
            skipping = m_frame >= index;
        }
        if (!skipping)
            trimmed.push_back(m_data[i]);
    }
    return trimmed;
}

void THTMLPicture::Decode() {
    m_frameXPos = m_frameYPos = m_frameWidth = m_frameHeight = 0;
    m_screenWidth = m_screenHeight = 0;
    QByteArray bytes;
    try {
        if (IsGifData() && CountFrames() > 0) {
            const std::vector<unsigned char> trimmed = TrimmedToFrame();
            bytes = QByteArray(reinterpret_cast<const char*>(trimmed.data()),
                               static_cast<qsizetype>(trimmed.size()));
        } else {
            bytes = QByteArray(reinterpret_cast<const char*>(m_data.data()),
                               static_cast<qsizetype>(m_data.size()));
        }
    } catch (const std::bad_alloc&) {
        throw EPictureError("Could not allocate memory for image");
    }
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        throw EPictureError("Could not create image stream");

    m_image = QImage();
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        throw EPictureError("Could not load image. Invalid format");
    QImage image = reader.read();
    if (image.isNull())
        throw EPictureError("Could not load image. Invalid format");
    if (image.width() == 0 || image.height() == 0)
        throw EPictureError("Could not load image");
    // The reader composes a GIF frame onto the whole logical screen; keep only
    // the frame's own rectangle, which is drawn at the frame offset. The
    // descriptor's edges are not trusted beyond the decoded image.
    const QRect frame =
        QRect(m_frameXPos, m_frameYPos, m_frameWidth, m_frameHeight).intersected(image.rect());
    if (!frame.isEmpty() && frame != image.rect())
        image = image.copy(frame);
    m_image = std::move(image);
}

void THTMLPicture::Draw(TCanvas& canvas, const TRect& rect) const {
    if (m_empty || m_image.isNull())
        return;
    if (m_stretch) {
        canvas.StretchDrawImage(rect, m_image);
        return;
    }
    const int w = MulDiv(PixelsToHimetric(m_image.width()), canvas.PixelsPerInchX(), kHimetricPerInch);
    const int h = MulDiv(PixelsToHimetric(m_image.height()), canvas.PixelsPerInchY(), kHimetricPerInch);
    if (w == m_image.width() && h == m_image.height())
        canvas.DrawImage(rect.Left, rect.Top, m_image);
    else
        canvas.StretchDrawImage(TRect{rect.Left, rect.Top, rect.Left + w, rect.Top + h}, m_image);
}

} // namespace quorvel
