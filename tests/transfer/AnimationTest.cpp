#include "ProgressAnimation.h"
#include "ProgressDialog.h"
#include "WebCopy.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct TClipCase {
    int Number;
    int Frames;
    int Rate;
};

class AnimationClip : public testing::TestWithParam<TClipCase> {};

TEST_P(AnimationClip, PlaysEveryFrameInOrderAtItsRateAndLoops) {
    const TClipCase c = GetParam();
    std::int64_t now = 5000;
    TProgressAnimation animation;
    animation.Clock = [&] { return now; };
    ASSERT_TRUE(animation.SetClip(c.Number));
    animation.resize(TProgressAnimation::kFrameWidth, TProgressAnimation::kFrameHeight);
    EXPECT_EQ(animation.FrameCount(), c.Frames);
    EXPECT_EQ(animation.FramesPerSecond(), c.Rate);
    EXPECT_EQ(animation.CurrentFrame(), 0);
    EXPECT_NE(animation.FrameImage(0), animation.FrameImage(1)); // the frames move
    EXPECT_TRUE(animation.FrameImage(c.Frames).isNull());

    // Frame k shows from k/rate seconds on, until (k+1)/rate; after the last
    // frame the first comes back.
    for (int k = 0; k <= c.Frames + 1; ++k) {
        const std::int64_t start = 5000 + (std::int64_t(k) * 1000 + c.Rate - 1) / c.Rate;
        now = start;
        animation.Advance();
        EXPECT_EQ(animation.CurrentFrame(), k % c.Frames) << "frame " << k;
        now = 5000 + (std::int64_t(k + 1) * 1000 + c.Rate - 1) / c.Rate - 1;
        animation.Advance();
        EXPECT_EQ(animation.CurrentFrame(), k % c.Frames) << "end of frame " << k;
        if (k == 3) {
            const QImage shown = animation.grab().toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage stored = animation.FrameImage(3).convertToFormat(QImage::Format_ARGB32);
            // Painted over a background: compare where the frame is opaque.
            int compared = 0;
            for (int y = 0; y < stored.height(); ++y)
                for (int x = 0; x < stored.width(); ++x)
                    if (qAlpha(stored.pixel(x, y)) == 255) {
                        ++compared;
                        ASSERT_EQ(shown.pixel(x, y), stored.pixel(x, y)) << x << "," << y;
                    }
            EXPECT_GT(compared, 500);
        }
    }
    // Stopped, it keeps its frame; restarted, it begins again.
    animation.SetRunning(false);
    const int kept = animation.CurrentFrame();
    now += 10000;
    animation.Advance();
    EXPECT_EQ(animation.CurrentFrame(), kept);
    animation.Restart();
    EXPECT_EQ(animation.CurrentFrame(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothClips, AnimationClip,
                         testing::Values(TClipCase{TProgressAnimation::kTransferClip, 31, 15},
                                         TClipCase{TProgressAnimation::kUploadClip, 26, 10}));

TEST(ProgressAnimation, RunsAWholeLoopOnItsTimer) {
    TProgressAnimation animation;
    ASSERT_TRUE(animation.SetClip(TProgressAnimation::kUploadClip));
    animation.show();
    int last = animation.CurrentFrame();
    int steps = 0;
    bool wrapped = false;
    QElapsedTimer guard;
    guard.start();
    while (!wrapped && guard.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const int frame = animation.CurrentFrame();
        if (frame < last)
            wrapped = true;
        else if (frame > last)
            ++steps;
        last = frame;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_GT(steps, 0);
    EXPECT_FALSE(animation.SetClip(300)); // no such clip: nothing changes
    EXPECT_EQ(animation.Clip(), TProgressAnimation::kUploadClip);
}

TProgressAnimation* DialogAnimation() {
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<TProgressDialog*>(w))
            if (auto* a = d->findChild<TProgressAnimation*>())
                return a;
    return nullptr;
}

TEST(ProgressAnimation, UploadJobsSwitchTheWindowToTheUploadClip) {
    TWebCopy engine;
    engine.ShowOpenFile = true; // keeps the window after the run
    TWebCopyItem* job = engine.Items().Add();
    job->Protocol = wpHttpUpload;
    job->URL = "http://127.0.0.1:9/upload";
    RunJobs(engine);
    auto window = engine.ProgressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Snapshot().AnimationClip, kUploadAnimationClip);
    TProgressAnimation* shown = DialogAnimation();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->Clip(), TProgressAnimation::kUploadClip);
    EXPECT_EQ(shown->FrameCount(), 26);
    window->PressCancel();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // A download's window keeps the transfer clip.
    job->Protocol = wpFtp;
    RunJobs(engine);
    EXPECT_EQ(engine.ProgressWindow()->Snapshot().AnimationClip, kTransferAnimationClip);
    engine.ProgressWindow()->PressCancel();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
