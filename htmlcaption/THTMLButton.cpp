#include "THTMLButton.h"

#include "ButtonBackground.h"
#include "HTMLButtonAccessibility.h"
#include "PictureContainer.h"
#include "TQtCanvas.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <chrono>

namespace quorvel {

std::function<unsigned()>& THTMLButton::SeedSource() {
    static std::function<unsigned()> source = [] {
        return static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    };
    return source;
}

THTMLButton::THTMLButton(QWidget* parent)
    : QPushButton(parent), m_pictureCache(std::make_unique<THTMLPictureCache>()) {
    HTMLButtonAccessibility::Install();
    setText(m_caption);
    setAttribute(Qt::WA_Hover);
    BuildBackground();
    // The default look depends on which button of the window has the focus.
    m_focusChanged = connect(qApp, &QApplication::focusChanged, this, [this] { UpdateDefaultLook(); });
}

void THTMLButton::UpdateDefaultLook() {
    const QWidget* focus = QApplication::focusWidget();
    const bool otherButton =
        focus && focus != this && qobject_cast<const QPushButton*>(focus) && focus->window() == window();
    SetDefaultLook(hasFocus() || (isDefault() && !otherButton));
}

// A button destroyed while it has the focus makes QWidget's destructor move
// the focus, after this class's part is gone: the handler must not run then.
THTMLButton::~THTMLButton() {
    disconnect(m_focusChanged);
}

void THTMLButton::SetAlignment(TBtnHAlignment value) {
    m_alignment = value;
    Repaint();
}

void THTMLButton::SetVAlignment(TBtnVAlignment value) {
    m_valignment = value;
    Repaint();
}

void THTMLButton::SetBackground(TBtnBackground value) {
    m_background = value;
    BuildBackground();
    Repaint();
}

void THTMLButton::SetColor(TColor value) {
    if (value == m_color)
        return;
    m_color = value;
    BuildBackground();
    Repaint();
}

void THTMLButton::SetCaption(const QString& value) {
    setText(value);
    m_caption = value;
    Repaint();
}

void THTMLButton::SetImages(TImageList* images) {
    m_images = images;
    repaint();
}

void THTMLButton::SetPictureContainer(TPictureContainer* container) {
    m_pictureContainer = container;
    Repaint();
}

namespace {
template <typename T> bool Store(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void THTMLButton::SetBorderColor(TColor value) {
    if (Store(m_borderColor, value))
        Repaint();
}
void THTMLButton::SetEllipsis(bool value) {
    if (Store(m_ellipsis, value))
        Repaint();
}
void THTMLButton::SetFlat(bool value) {
    if (Store(m_flat, value))
        Repaint();
}
void THTMLButton::SetLayout(TButtonLayout value) {
    if (Store(m_layout, value))
        Repaint();
}
void THTMLButton::SetMargin(int value) {
    if (value >= -1 && Store(m_margin, value))
        Repaint();
}
void THTMLButton::SetShadowColor(TColor value) {
    if (Store(m_shadowColor, value))
        Repaint();
}
void THTMLButton::SetShadowOffset(int value) {
    if (Store(m_shadowOffset, value))
        Repaint();
}
void THTMLButton::SetStyle(TButtonStyle value) {
    if (Store(m_style, value))
        Repaint();
}
void THTMLButton::SetSpacing(int value) {
    if (Store(m_spacing, value))
        Repaint();
}

void THTMLButton::SetDefault(bool value) {
    setDefault(value);
    UpdateDefaultLook();
}

void THTMLButton::SetDefaultLook(bool value) {
    if (Store(m_defaultLook, value))
        Repaint();
}

void THTMLButton::paintEvent(QPaintEvent*) {
    TQtCanvas canvas(this);
    DrawButton(canvas, TDrawState{isDown(), hasFocus(), !isEnabled()});
}

void THTMLButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    BuildBackground();
}

void THTMLButton::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    QPushButton::enterEvent(event);
    repaint();
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void THTMLButton::leaveEvent(QEvent* event) {
    m_hovering = false;
    QPushButton::leaveEvent(event);
    repaint();
    if (OnMouseLeave)
        OnMouseLeave(this);
}

// Fast repeated clicks all press the button: the second press of a double
// click is handled as a plain press.
void THTMLButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                          event->globalPosition(), event->button(), event->buttons(), event->modifiers());
        mousePressEvent(&press);
        event->setAccepted(press.isAccepted());
        return;
    }
    QPushButton::mouseDoubleClickEvent(event);
}

void THTMLButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    UpdateDefaultLook();
}

void THTMLButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    UpdateDefaultLook();
}

void THTMLButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange)
        Repaint();
}

void THTMLButton::BuildBackground() {
    TRandom random{SeedSource() ? SeedSource()() : 0u};
    m_backgroundImage = ButtonBackground::Build(m_background, m_color, width() + 2, height() + 2, random);
}

} // namespace quorvel
