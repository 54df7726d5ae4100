#pragma once

#include "QuorvelExport.h"

#include "Graphics.h"
#include "XiProgressTypes.h"

#include <QImage>
#include <QWidget>

namespace quorvel {

// A progress bar painted with two colour gradients: a back gradient over the
// inside and a fore gradient over the filled part, framed by a one-pixel
// border. Five colours describe the look; a colour scheme sets all five.
//
// Every paint builds the whole picture in an off-screen image that is then
// copied to the widget in one go, so frequent position changes do not
// flicker. Position, Min, Max and Step repaint synchronously; the colour,
// scheme and orientation setters schedule a repaint. The bar belongs to the
// GUI thread; a setter called on another thread leaves its repaint to the
// GUI thread rather than painting there.
class QUORVEL_EXPORT TXiProgressBar : public QWidget {
    Q_OBJECT
    // No stored defaults: a form description keeps all eleven values.
    Q_PROPERTY(TColor ColorBorder READ ColorBorder WRITE SetColorBorder)
    Q_PROPERTY(TColor BackColorFace READ BackColorFace WRITE SetBackColorFace)
    Q_PROPERTY(TColor BackColorGrad READ BackColorGrad WRITE SetBackColorGrad)
    Q_PROPERTY(TColor ForeColorFace READ ForeColorFace WRITE SetForeColorFace)
    Q_PROPERTY(TColor ForeColorGrad READ ForeColorGrad WRITE SetForeColorGrad)
    Q_PROPERTY(quorvel::XiBar::TColorScheme ColorScheme READ ColorScheme WRITE SetColorScheme)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(int Step READ Step WRITE SetStep)
    Q_PROPERTY(quorvel::XiBar::TProgressBarOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

public:
    // Indexes of the five colours for SetIndexedColor.
    enum TColorIndex { ciBorder = 0, ciBackFace = 10, ciBackGrad = 11, ciForeFace = 20, ciForeGrad = 21 };

    explicit TXiProgressBar(QWidget* parent = nullptr);

    TColor ColorBorder() const { return m_colorBorder; }
    TColor BackColorFace() const { return m_backFace; }
    TColor BackColorGrad() const { return m_backGrad; }
    TColor ForeColorFace() const { return m_foreFace; }
    TColor ForeColorGrad() const { return m_foreGrad; }
    void SetColorBorder(TColor c) { SetIndexedColor(ciBorder, c); }
    void SetBackColorFace(TColor c) { SetIndexedColor(ciBackFace, c); }
    void SetBackColorGrad(TColor c) { SetIndexedColor(ciBackGrad, c); }
    void SetForeColorFace(TColor c) { SetIndexedColor(ciForeFace, c); }
    void SetForeColorGrad(TColor c) { SetIndexedColor(ciForeGrad, c); }
    // Stores the colour the index names (other indexes store nothing), turns
    // the scheme into csCustom and schedules a repaint.
    void SetIndexedColor(int index, TColor color);

    TColorScheme ColorScheme() const { return m_scheme; }
    // A named scheme writes its five colours; csCustom keeps the current ones.
    void SetColorScheme(TColorScheme scheme);

    TProgressBarOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TProgressBarOrientation orientation);

    int Position() const { return m_position; }
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    int Step() const { return m_step; }
    // Values below Min are ignored; values above Max show a full bar.
    void SetPosition(int value);
    // Ignored when above Max.
    void SetMin(int value);
    // Ignored when below Min.
    void SetMax(int value);
    void SetStep(int value);

    // A bar made invisible paints nothing; a new bar is visible (shown
    // with its window).
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);

    // In a layout: a new bar's 200 x 16 (16 x 200 standing), long side
    // stretching, short side fixed; at least 24 x 8 (8 x 24).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The picture the bar shows at its current size, as a W x H image.
    QImage PaintImage() const;

    // The gradient routine: n + 1 lines (n = Right - Left for direction 0,
    // Bottom - Top for direction 1), line i at coordinate i from 0, running
    // from Left to Left + Right (or Top to Top + Bottom), each in the colour
    // of step i. System colour codes are taken as they are.
    static void PaintGradient(QImage& image, const TRect& rect, TColor from, TColor to, int direction);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Paints at once (synchronously) when the bar is shown.
    void PaintNow();
    void Changed();

    TColor m_colorBorder = 0;
    TColor m_backFace = 0;
    TColor m_backGrad = 0;
    TColor m_foreFace = 0;
    TColor m_foreGrad = 0;
    TProgressBarOrientation m_orientation = pbHorizontal;
    TColorScheme m_scheme = csDesert;
    int m_position = 0;
    int m_min = 0;
    int m_max = 100;
    int m_step = 10;
    bool m_visible = true;
};

} // namespace quorvel
