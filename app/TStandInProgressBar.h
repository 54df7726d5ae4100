#pragma once

#include "Graphics.h"

#include <QProgressBar>

// Stands in for the gradient progress bar until that control is part of the
// build: the same stored properties (colours, scheme, range), a plain
// two-gradient face.
class TStandInProgressBar : public QProgressBar {
    Q_OBJECT
    Q_CLASSINFO("StreamedClass", "TXiProgressBar")
    Q_PROPERTY(TColor ColorBorder READ ColorBorder WRITE SetColorBorder)
    Q_PROPERTY(TColor BackColorFace READ BackColorFace WRITE SetBackColorFace)
    Q_PROPERTY(TColor BackColorGrad READ BackColorGrad WRITE SetBackColorGrad)
    Q_PROPERTY(TColor ForeColorFace READ ForeColorFace WRITE SetForeColorFace)
    Q_PROPERTY(TColor ForeColorGrad READ ForeColorGrad WRITE SetForeColorGrad)
    Q_PROPERTY(TColorScheme ColorScheme READ ColorScheme WRITE SetColorScheme)
    Q_PROPERTY(int Max READ maximum WRITE setMaximum)
    Q_PROPERTY(int Min READ minimum WRITE setMinimum)
    Q_PROPERTY(int Position READ value WRITE setValue)
    Q_PROPERTY(int Step MEMBER m_step)
    Q_PROPERTY(TProgressBarOrientation Orientation MEMBER m_orientation)

public:
    enum TColorScheme {
        csCustom,
        csDesert,
        csGrass,
        csSilver,
        csSky,
        csRose,
        csSun,
        csHackers,
        csNight,
        csVelvet,
        csMetal,
        csViolet,
        csToxic
    };
    Q_ENUM(TColorScheme)
    enum TProgressBarOrientation { pbHorizontal, pbVertical };
    Q_ENUM(TProgressBarOrientation)

    explicit TStandInProgressBar(QWidget* parent = nullptr);

    TColor ColorBorder() const { return m_colors[0]; }
    void SetColorBorder(TColor c) { SetColor(0, c); }
    TColor BackColorFace() const { return m_colors[1]; }
    void SetBackColorFace(TColor c) { SetColor(1, c); }
    TColor BackColorGrad() const { return m_colors[2]; }
    void SetBackColorGrad(TColor c) { SetColor(2, c); }
    TColor ForeColorFace() const { return m_colors[3]; }
    void SetForeColorFace(TColor c) { SetColor(3, c); }
    TColor ForeColorGrad() const { return m_colors[4]; }
    void SetForeColorGrad(TColor c) { SetColor(4, c); }
    TColorScheme ColorScheme() const { return m_scheme; }
    void SetColorScheme(TColorScheme scheme);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void SetColor(int index, TColor color);

    TColor m_colors[5] = {};
    TColorScheme m_scheme = csCustom;
    int m_step = 10;
    TProgressBarOrientation m_orientation = pbHorizontal;
};
