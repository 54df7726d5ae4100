#pragma once

#include "QuorvelExport.h"

#include <QByteArray>
#include <QWidget>

#include <memory>

namespace quorvel {

class THTMLPicture;

// A picture on a window: the image file's bytes, decoded by the picture
// store, drawn from the top-left corner in its natural size and clipped to
// the control (or scaled to it with Stretch).
class QUORVEL_EXPORT TImage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QByteArray Picture READ PictureData WRITE SetPictureData)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
    Q_CLASSINFO("default:Stretch", "false")

public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    THTMLPicture* Picture() const { return m_picture.get(); }
    QByteArray PictureData() const;
    // Decoding errors are raised; the bytes are kept and nothing is drawn.
    void SetPictureData(const QByteArray& bytes);
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<THTMLPicture> m_picture;
    bool m_stretch = false;
};

} // namespace quorvel
