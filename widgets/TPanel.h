#pragma once

#include "QuorvelExport.h"

#include "ControlTypes.h"
#include "Graphics.h"

#include <QString>
#include <QWidget>

namespace quorvel {

// A panel that holds other controls: filled with its colour, framed by a
// raised or lowered bevel, its caption centred.
class QUORVEL_EXPORT TPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(quorvel::Controls::TPanelBevel BevelOuter READ BevelOuter WRITE SetBevelOuter)
    Q_CLASSINFO("default:BevelOuter", "bvRaised")
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_CLASSINFO("default:BevelWidth", "1")
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_CLASSINFO("default:Color", "4278190095")

public:
    explicit TPanel(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    TPanelBevel BevelOuter() const { return m_bevel; }
    void SetBevelOuter(TPanelBevel bevel);
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    TPanelBevel m_bevel = bvRaised;
    int m_bevelWidth = 1;
    TColor m_color = SystemColor(COLOR_BTNFACE);
};

} // namespace quorvel
