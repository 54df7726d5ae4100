#pragma once

#include <QWidget>

// The looping strip at the top of the progress window: a few blocks that
// travel from left to right while a transfer runs, frozen once it stops.
class TProgressAnimation : public QWidget {
    Q_OBJECT
public:
    explicit TProgressAnimation(QWidget* parent = nullptr);

    void SetRunning(bool running);
    bool Running() const { return m_timer != 0; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int m_frame = 0;
    int m_timer = 0;
};
