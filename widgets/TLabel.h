#pragma once

#include "QuorvelExport.h"

#include <QLabel>
#include <QString>

namespace quorvel {

// A text line or block on a window. Caption breaks lines at carriage returns
// as well as line feeds; with AutoSize the label takes the size of its text
// whenever the text or the font changes.
class QUORVEL_EXPORT TLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_CLASSINFO("default:AutoSize", "true")
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_CLASSINFO("default:WordWrap", "false")
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
    Q_CLASSINFO("default:Transparent", "false")
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TLabel(QWidget* parent = nullptr);

    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);
    bool WordWrap() const { return wordWrap(); }
    void SetWordWrap(bool wrap);
    bool Transparent() const { return !autoFillBackground(); }
    void SetTransparent(bool transparent) { setAutoFillBackground(!transparent); }
    // The caption exactly as set.
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);

    // After a form description is read: fits the text (with AutoSize).
    Q_INVOKABLE void Loaded() { FitToText(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void FitToText();

    bool m_autoSize = true;
    QString m_caption;
};

} // namespace quorvel
