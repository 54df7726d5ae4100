// The window: where it opens and the keys its push buttons' roles take.
#include "TForm.h"
#include "WindowPlacement.h"
#include "htmlbtns.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScreen>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(Form, OpensWithItsWholeFrameCentredOnTheScreen) {
    EXPECT_EQ(WindowPlacement::CentredFrameTopLeft(QRect(0, 0, 1024, 768), QSize(479, 346)),
              QPoint(272, 211));
    EXPECT_EQ(WindowPlacement::CentredFrameTopLeft(QRect(100, 20, 800, 600), QSize(401, 300)),
              QPoint(299, 170));

    TForm form;
    form.SetBorderStyle(bsSingle);
    form.SetClientWidth(471);
    form.SetClientHeight(319);
    form.SetLeft(5);
    form.SetTop(5);
    form.SetPosition(poScreenCenter);
    form.show();
    // A window manager frames and moves the window in its own time.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const auto centred = [&] {
        const QRect frame = form.frameGeometry();
        return frame != form.geometry() &&
               frame.topLeft() == WindowPlacement::CentredFrameTopLeft(available, frame.size());
    };
    QElapsedTimer waited;
    waited.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    while (!centred() && waited.elapsed() < 5000);
    if (form.frameGeometry() == form.geometry())
        GTEST_SKIP() << "the window system gives this window no frame";
    EXPECT_TRUE(centred()) << form.frameGeometry().x() << "," << form.frameGeometry().y();
}

namespace {

void Press(QWidget* at, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(at, &press);
}

} // namespace

TEST(Form, EscapePressesTheCancelButtonEnterTheFocusedOrDefaultOne) {
    TForm form;
    auto* start = new THTMLButton(&form);
    auto* cancel = new THTMLButton(&form);
    auto* close = new THTMLButton(&form);
    auto* field = new QWidget(&form);
    field->setFocusPolicy(Qt::StrongFocus);
    start->SetDefault(true);
    cancel->SetCancel(true);
    int starts = 0, cancels = 0, closes = 0;
    QObject::connect(start, &QPushButton::clicked, [&] { ++starts; });
    QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancels; });
    QObject::connect(close, &QPushButton::clicked, [&] { ++closes; });
    form.show();
    field->setFocus();

    Press(field, Qt::Key_Escape);
    Press(field, Qt::Key_Return);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(starts, 1);
    close->setFocus();
    Press(close, Qt::Key_Enter);
    Press(close, Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(cancels, 2);
    // Hidden or disabled buttons take no keys.
    cancel->hide();
    start->setEnabled(false);
    field->setFocus();
    Press(field, Qt::Key_Escape);
    Press(field, Qt::Key_Return);
    EXPECT_EQ(cancels, 2);
    EXPECT_EQ(starts, 1);
}
