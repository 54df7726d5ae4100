#pragma once

#include "QuorvelExport.h"

#include "ButtonBackground.h"
#include "Graphics.h"
#include "HTMLButtonTypes.h"
#include "TImageList.h"
#include "TPictureContainer.h"

#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <memory>

namespace quorvel {

class TCanvas;
class THTMLPictureCache;

// A push button whose caption is mini-HTML markup, drawn on a flat face with
// hover and pressed colours, a classic raised face, the themed face, or one
// of fourteen generated background pictures.
//
// The widget paints everything itself through DrawButton on the canvas.
// Like every Qt widget it is double-buffered by its window's backing store,
// so repaints do not flicker. Clicking, the default role and the keyboard
// behave as QPushButton does.
class QUORVEL_EXPORT THTMLButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(quorvel::HtmlBtn::TBtnHAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_CLASSINFO("default:Alignment", "haCenter")
    Q_PROPERTY(quorvel::HtmlBtn::TBtnBackground Background READ Background WRITE SetBackground)
    Q_CLASSINFO("default:Background", "stNormal")
    Q_PROPERTY(TColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_CLASSINFO("default:BorderColor", "8421504")
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_CLASSINFO("default:Caption", "THTMLButton")
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_CLASSINFO("default:Color", "4278190095")
    Q_PROPERTY(TColor DownColor READ DownColor WRITE SetDownColor)
    Q_CLASSINFO("default:DownColor", "4278190095")
    Q_PROPERTY(bool Ellipsis READ Ellipsis WRITE SetEllipsis)
    Q_CLASSINFO("default:Ellipsis", "false")
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_CLASSINFO("default:Flat", "false")
    Q_PROPERTY(TColor HoverColor READ HoverColor WRITE SetHoverColor)
    Q_CLASSINFO("default:HoverColor", "4278190095")
    Q_PROPERTY(TImageList* Images READ Images WRITE SetImages)
    Q_PROPERTY(quorvel::HtmlBtn::TButtonLayout Layout READ Layout WRITE SetLayout)
    Q_CLASSINFO("default:Layout", "blGlyphLeft")
    Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
    Q_CLASSINFO("default:Margin", "-1")
    Q_PROPERTY(TPictureContainer* PictureContainer READ PictureContainer WRITE SetPictureContainer)
    Q_PROPERTY(TColor ShadowColor READ ShadowColor WRITE SetShadowColor)
    Q_CLASSINFO("default:ShadowColor", "8421504")
    Q_PROPERTY(int ShadowOffset READ ShadowOffset WRITE SetShadowOffset)
    Q_CLASSINFO("default:ShadowOffset", "1")
    Q_PROPERTY(quorvel::HtmlBtn::TButtonStyle Style READ Style WRITE SetStyle)
    Q_CLASSINFO("default:Style", "bsAutoDetect")
    Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
    Q_CLASSINFO("default:Spacing", "4")
    Q_PROPERTY(quorvel::HtmlBtn::TBtnVAlignment VAlignment READ VAlignment WRITE SetVAlignment)
    Q_CLASSINFO("default:VAlignment", "vaCenter")
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)
    Q_CLASSINFO("default:Version", "1.4.1.0")
    // Always stored with a form.
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ VisibleFlag WRITE setVisible)

public:
    explicit THTMLButton(QWidget* parent = nullptr);
    ~THTMLButton() override;

    TBtnHAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TBtnHAlignment value);
    TBtnBackground Background() const { return m_background; }
    void SetBackground(TBtnBackground value);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor value);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    TColor DownColor() const { return m_downColor; }
    void SetDownColor(TColor value) { m_downColor = value; }
    bool Ellipsis() const { return m_ellipsis; }
    void SetEllipsis(bool value);
    bool Flat() const { return m_flat; }
    void SetFlat(bool value);
    TColor HoverColor() const { return m_hoverColor; }
    void SetHoverColor(TColor value) { m_hoverColor = value; }
    TImageList* Images() const { return m_images.data(); }
    // A list that is destroyed is forgotten.
    void SetImages(TImageList* images);
    TButtonLayout Layout() const { return m_layout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return m_margin; }
    // Values below -1 are refused.
    void SetMargin(int value);
    TPictureContainer* PictureContainer() const { return m_pictureContainer.data(); }
    // A container that is destroyed is forgotten.
    void SetPictureContainer(TPictureContainer* container);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor value);
    int ShadowOffset() const { return m_shadowOffset; }
    void SetShadowOffset(int value);
    TButtonStyle Style() const { return m_style; }
    void SetStyle(TButtonStyle value);
    int Spacing() const { return m_spacing; }
    void SetSpacing(int value);
    TBtnVAlignment VAlignment() const { return m_valignment; }
    void SetVAlignment(TBtnVAlignment value);
    QString Version() const { return QStringLiteral("1.4.1.0"); }
    void SetVersion(const QString&) {}

    bool Cancel() const { return m_cancel; }
    void SetCancel(bool value) { m_cancel = value; }
    bool Default() const { return isDefault(); }
    void SetDefault(bool value);
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int value) { m_modalResult = value; }

    TButtonNotify OnMouseEnter;
    TButtonNotify OnMouseLeave;

    // What one paint is told about the button.
    struct TDrawState {
        bool Pressed = false;
        bool Focused = false;
        bool Disabled = false;
    };
    // Paints the whole button on canvas in its client rectangle.
    void DrawButton(TCanvas& canvas, const TDrawState& state);

    bool Hovering() const { return m_hovering; }
    // The default push-button look: the button has the focus, or it is the
    // default button while no other button has it. A change repaints.
    bool DefaultLook() const { return m_defaultLook; }
    void SetDefaultLook(bool value);

    // Builds the background picture, (Width + 2) x (Height + 2) pixels, for
    // the current Background from Color.
    void BuildBackground();
    const QImage& BackgroundImage() const { return m_backgroundImage; }

    // The seed of the generator of the random styles; the clock unless replaced.
    static std::function<unsigned()>& SeedSource();
    // The generator of the random styles.
    using TRandom = ButtonBackground::TRandom;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool VisibleFlag() const { return !isHidden(); }
    void Repaint() { update(); }
    void UpdateDefaultLook();
    // The colour of the face's middle: DownColor or HoverColor on a flat
    // button pressed or hovered, else Color.
    TColor FaceColor(const TDrawState& state) const;
    void DrawFace(TCanvas& canvas, const TDrawState& state, bool themed, TRect& k);
    void DrawCaption(TCanvas& canvas, const TDrawState& state);

    TBtnHAlignment m_alignment = haCenter;
    TBtnBackground m_background = stNormal;
    TColor m_borderColor = 0x808080;
    QString m_caption = QStringLiteral("THTMLButton");
    TColor m_color = SystemColor(COLOR_BTNFACE);
    TColor m_downColor = SystemColor(COLOR_BTNFACE);
    bool m_ellipsis = false;
    bool m_flat = false;
    TColor m_hoverColor = SystemColor(COLOR_BTNFACE);
    QPointer<TImageList> m_images;
    TButtonLayout m_layout = blGlyphLeft;
    int m_margin = -1;
    QPointer<TPictureContainer> m_pictureContainer;
    TColor m_shadowColor = 0x808080;
    int m_shadowOffset = 1;
    TButtonStyle m_style = bsAutoDetect;
    int m_spacing = 4;
    TBtnVAlignment m_valignment = vaCenter;
    bool m_cancel = false;
    int m_modalResult = 0;

    std::unique_ptr<THTMLPictureCache> m_pictureCache;
    QImage m_backgroundImage;
    bool m_hovering = false;
    bool m_defaultLook = false;
    QMetaObject::Connection m_focusChanged;
    // This platform always offers themed drawing when a style provides it.
    const bool m_themesPossible = true;
};

} // namespace quorvel
