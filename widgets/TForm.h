#pragma once

#include "QuorvelExport.h"

#include "ControlTypes.h"
#include "Graphics.h"

#include <QString>
#include <QWidget>

#include <functional>

class QPushButton;

namespace quorvel {

// A top-level window as a form description describes it: title, client
// size, border style and title-bar buttons, background colour and where it
// opens. A window that is not sizeable keeps its client size fixed; one
// placed at the screen's centre opens with its frame there whatever Left and
// Top say. Its push buttons' roles work as in the platform's dialogs: Escape
// presses the button whose Cancel property is true, Enter the focused push
// button or, when no push button has the focus, the default one.
class QUORVEL_EXPORT TForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
    Q_PROPERTY(quorvel::Controls::TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_CLASSINFO("default:BorderStyle", "bsSizeable")
    Q_PROPERTY(quorvel::Controls::TBorderIcons BorderIcons READ BorderIcons WRITE SetBorderIcons)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_CLASSINFO("default:Color", "4278190095")
    Q_PROPERTY(quorvel::Controls::TPosition Position READ Position WRITE SetPosition)
    Q_CLASSINFO("default:Position", "poDesigned")

public:
    explicit TForm(QWidget* parent = nullptr);

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    int Left() const { return x(); }
    void SetLeft(int left) { move(left, y()); }
    int Top() const { return y(); }
    void SetTop(int top) { move(x(), top); }
    int ClientWidth() const { return m_clientWidth; }
    void SetClientWidth(int width);
    int ClientHeight() const { return m_clientHeight; }
    void SetClientHeight(int height);
    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return m_borderIcons; }
    void SetBorderIcons(TBorderIcons icons);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition position) { m_position = position; }

    void setVisible(bool visible) override;

    // Window events, bound by name when the window's description is read.
    std::function<void()> OnCreate;
    std::function<void()> OnClose;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The visible, enabled push button of this window that Escape (cancel)
    // or Enter presses; nullptr when there is none.
    QPushButton* RoleButton(bool cancel) const;
    void ApplySize();
    void ApplyFlags();

    int m_clientWidth = 320;
    int m_clientHeight = 240;
    TFormBorderStyle m_borderStyle = bsSizeable;
    TBorderIcons m_borderIcons = TBorderIcons(biSystemMenu) | biMinimize | biMaximize;
    TColor m_color = SystemColor(COLOR_BTNFACE);
    TPosition m_position = poDesigned;
};

} // namespace quorvel
