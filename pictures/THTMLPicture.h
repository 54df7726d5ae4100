#pragma once

#include "QuorvelExport.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <vector>

namespace quorvel {

class TCanvas;
struct TRect;
class THTMLPicture;

using TNotifyEvent = std::function<void(THTMLPicture* Sender)>;
using TDownloadErrorEvent = std::function<void(THTMLPicture* Sender, const QString& err)>;
using TDownloadCompleteEvent = std::function<void(THTMLPicture* Sender)>;
using TDownloadCancelEvent = std::function<void(THTMLPicture* Sender, bool& Cancel)>;
using TDownloadProgressEvent =
    std::function<void(THTMLPicture* Sender, std::uint32_t dwSize, std::uint32_t dwTotSize)>;

// A picture that keeps the bytes of an image file exactly as they were loaded
// and decodes them into a drawable image. For GIF data a single frame of an
// animation can be shown, selected by Frame (1-based).
//
// Decoding failures raise EPictureError; LoadFromFile swallows them.
class QUORVEL_EXPORT THTMLPicture {
public:
    THTMLPicture();
    ~THTMLPicture();
    THTMLPicture(const THTMLPicture&) = delete;
    THTMLPicture& operator=(const THTMLPicture&) = delete;

    // Copies another picture's bytes and decodes them; nullptr clears the data.
    void Assign(const THTMLPicture* source);

    // Draws the decoded image: scaled to rect with Stretch, else at rect's
    // top-left in its natural size for the canvas's resolution.
    void Draw(TCanvas& canvas, const TRect& rect) const;

    bool Empty() const { return m_empty; }
    // Natural size in pixels at 96 dpi; 0 without a decoded image.
    int Width() const;
    int Height() const;
    // A picture cannot be resized: these do nothing.
    void SetWidth(int) {}
    void SetHeight(int) {}

    // Form storage: the bytes as they were loaded, unchanged.
    void ReadData(std::istream& stream);
    void WriteData(std::ostream& stream) const;

    // Missing, unreadable or undecodable files leave the picture empty; nothing is raised.
    void LoadFromFile(const QString& fileName);
    // Reads the stream to its end; decoding errors are raised. nullptr does nothing.
    void LoadFromStream(std::istream* stream);
    void SaveToStream(std::ostream* stream) const;
    // Loads the Qt resource ":/<name>" when it exists (errors raised), else does nothing.
    void LoadFromResource(const QString& name);
    // "RES://name" loads a resource, "FILE://path" a file (prefixes in any case);
    // other locations are not fetched.
    void LoadFromLocation(const QString& location);

    // Rebuilds the decoded image from the image data for the current Frame.
    void Decode();
    bool IsGifData() const;
    // Number of GIF frames that carry a graphic control extension; -1 for non-GIF data.
    int CountFrames();

    // Size the renderer lays an unscaled picture out with: the GIF logical
    // screen when known, else the decoded image's size.
    int DisplayWidth() const;
    int DisplayHeight() const;

    bool Stretch() const { return m_stretch; }
    void SetStretch(bool stretch) { m_stretch = stretch; }
    int Frame() const { return m_frame; }
    void SetFrame(int frame);

    // Left and top of the shown GIF frame inside the animation's logical screen.
    std::uint16_t FrameXPos() const { return m_frameXPos; }
    std::uint16_t FrameYPos() const { return m_frameYPos; }
    std::uint16_t LogicalScreenWidth() const { return m_screenWidth; }
    std::uint16_t LogicalScreenHeight() const { return m_screenHeight; }

    // The location last given to LoadFromLocation (as passed).
    const QString& ID() const { return m_id; }
    bool Asynch() const { return m_asynch; }
    void SetAsynch(bool asynch) { m_asynch = asynch; }
    bool Busy() const { return m_busy; }

    const std::vector<unsigned char>& ImageData() const { return m_data; }
    // The decoded image (null when there is none).
    const QImage& Image() const { return m_image; }

    std::function<void(THTMLPicture* Sender)> OnChange;
    TNotifyEvent OnFrameChange;
    TDownloadErrorEvent OnDownLoadError;
    TDownloadCompleteEvent OnDownLoadComplete;
    TDownloadCancelEvent OnDownLoadCancel;
    TDownloadProgressEvent OnDownLoadProgress;

private:
    void Changed();
    bool IsFrameMarker(std::size_t offset) const;
    std::vector<unsigned char> TrimmedToFrame();
    void CopyStream(std::istream& stream);
    void SetData(std::vector<unsigned char> bytes);

    std::vector<unsigned char> m_data;
    bool m_empty = true;
    bool m_stretch = false;
    QImage m_image;
    int m_ppiX = 96;
    int m_ppiY = 96;
    QString m_id;
    bool m_asynch = true;
    bool m_busy = false;
    int m_frame = 1;
    int m_frameCount = -1;
    std::uint16_t m_frameXPos = 0;
    std::uint16_t m_frameYPos = 0;
    std::uint16_t m_frameWidth = 0;
    std::uint16_t m_frameHeight = 0;
    std::uint16_t m_screenWidth = 0;
    std::uint16_t m_screenHeight = 0;
};

} // namespace quorvel
