#pragma once

#include "Graphics.h"

#include <QPushButton>

// Stands in for the marked-up caption button until that control is part of
// the build: the same stored properties, a plain flat face.
class TStandInButton : public QPushButton {
    Q_OBJECT
    Q_CLASSINFO("StreamedClass", "THTMLButton")
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(THTMLAlignment Alignment MEMBER m_alignment)
    Q_PROPERTY(TVAlignment VAlignment MEMBER m_vAlignment)
    Q_PROPERTY(bool Ellipsis MEMBER m_ellipsis)
    Q_PROPERTY(bool Flat MEMBER m_flat)
    Q_PROPERTY(TBackgroundStyle Background MEMBER m_background)
    Q_PROPERTY(TColor BorderColor MEMBER m_borderColor)
    Q_PROPERTY(TColor Color MEMBER m_color)
    Q_PROPERTY(TColor HoverColor MEMBER m_hoverColor)
    Q_PROPERTY(TColor DownColor MEMBER m_downColor)

public:
    enum THTMLAlignment { haLeft, haCenter, haRight };
    Q_ENUM(THTMLAlignment)
    enum TVAlignment { vaTop, vaCenter, vaBottom };
    Q_ENUM(TVAlignment)
    enum TBackgroundStyle { stNormal };
    Q_ENUM(TBackgroundStyle)

    explicit TStandInButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    THTMLAlignment m_alignment = haCenter;
    TVAlignment m_vAlignment = vaCenter;
    bool m_ellipsis = false;
    bool m_flat = false;
    TBackgroundStyle m_background = stNormal;
    TColor m_borderColor = 0x808080;
    TColor m_color = SystemColor(COLOR_BTNFACE);
    TColor m_hoverColor = SystemColor(COLOR_BTNFACE);
    TColor m_downColor = SystemColor(COLOR_BTNFACE);
};
