#include "EngineRecorder.h"
#include "LocalHttpServer.h"
#include "ProgressDialog.h"
#include "Shell.h"
#include "TempDir.h"
#include "WebCopy.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

using namespace quorvel;

namespace {

std::shared_ptr<TProgressWindow> Build(const TWebCopy& engine) {
    return std::make_shared<TProgressWindow>(engine, 20);
}

TEST(ProgressWindowLayout, WithoutFileNameAndTime) {
    TWebCopy engine;
    engine.ShowFileName = false;
    const auto s = Build(engine)->Snapshot();
    EXPECT_EQ(s.Height, 20 + 188);
    EXPECT_EQ(s.Width, 300);
    EXPECT_EQ(s.CancelButton.Top, 120);
    EXPECT_EQ(s.CancelButton.Left, 215);
    EXPECT_FALSE(s.FileLabel.Visible);
    EXPECT_FALSE(s.TimeLabel.Visible);
    EXPECT_EQ(s.ProgressLabel.Top, 80);
    EXPECT_EQ(s.RateLabel.Top, 100);
    EXPECT_FALSE(s.OpenFileButton.Exists || s.OpenFolderButton.Exists);
    EXPECT_EQ(Text(s.Caption), "Downloading ...");
    EXPECT_FALSE(s.Visible);
}

TEST(ProgressWindowLayout, WithFileNameTimeAndBothOpenButtons) {
    TWebCopy engine;
    engine.ShowTime = true;
    engine.ShowOpenFile = true;
    engine.ShowOpenFolder = true;
    const auto s = Build(engine)->Snapshot();
    EXPECT_EQ(s.Height, 20 + 208);
    EXPECT_EQ(s.FileLabel.Top, 80);
    EXPECT_EQ(s.FileLabel.Width, 280);
    EXPECT_EQ(s.ProgressLabel.Top, 100);
    EXPECT_EQ(s.TimeLabel.Top, 140);
    EXPECT_EQ(s.CancelButton.Top, 160);
    EXPECT_EQ(s.OpenFolderButton.Left, 130);
    EXPECT_EQ(s.OpenFileButton.Left, 45);
    EXPECT_FALSE(s.OpenFileButton.Enabled);
    EXPECT_EQ(s.ProgressBar.Top, 60);
    EXPECT_EQ(s.ProgressBar.Height, 12);

    engine.ShowOpenFolder = false;
    engine.ShowFileName = false;
    const auto only = Build(engine)->Snapshot();
    EXPECT_EQ(only.OpenFileButton.Left, 130);
    EXPECT_EQ(only.CancelButton.Top, 140);
}

TEST(ProgressWindow, KeptWindowOffersItsButtonsAfterTheRun) {
    LocalHttpServer server;
    server.ServeBytes("/k.bin", "kept");
    TempDir dir;
    TWebCopy engine;
    engine.ShowDialog = false;
    engine.ShowOpenFile = true;
    engine.ShowOpenFolder = true;
    TWebCopyItem* job = engine.Items().Add();
    job->URL = QString::fromStdString(server.Url("/k.bin"));
    job->TargetDir = QString::fromStdString(dir.Slash());
    RunJobs(engine);
    const auto window = engine.ProgressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(window->CancelButton().Caption), "Close");
    EXPECT_TRUE(window->OpenFileButton().Enabled);
    EXPECT_TRUE(window->OpenFolderButton().Enabled);

    std::vector<QString> opened;
    const ShellOpenHandler previous =
        SetShellOpenHandler([&](const QString& path) { opened.push_back(path); });
    window->PressOpenFile();
    SetShellOpenHandler(previous);
    EXPECT_EQ(opened, (std::vector<QString>{QString::fromStdString((dir / "k.bin").string())}));
    EXPECT_TRUE(window->Snapshot().Closed);

    // Close on a kept window while a later run goes on closes that window
    // and nothing else.
    RunJobs(engine);
    const auto kept = engine.ProgressWindow();
    bool cancelRaised = false;
    engine.OnCopyCancel = [&](TWebCopy*) { cancelRaised = true; };
    engine.OnCopyProgress = [&](TWebCopy*, int, std::uint64_t, std::uint64_t) { kept->PressCancel(); };
    std::filesystem::remove(dir / "k.bin");
    RunJobs(engine);
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "k.bin"), "kept");
    EXPECT_FALSE(cancelRaised);
    EXPECT_TRUE(kept->Snapshot().Closed);
}

TEST(ProgressWindow, CancelButtonStopsARunAndRaisesOnCopyCancelOnTheWorker) {
    LocalHttpServer server;
    server.ServeBytes("/c.bin", std::string(400000, 'c'));
    TempDir dir;
    std::promise<void> done;
    std::atomic<int> blocks{0};
    std::thread::id cancelThread;
    std::shared_ptr<TProgressWindow> window;
    {
        TWebCopy engine;
        engine.ShowDialog = false;
        std::promise<std::shared_ptr<TProgressWindow>> firstBlock;
        engine.OnCopyProgress = [&](TWebCopy* sender, int, std::uint64_t, std::uint64_t) {
            if (blocks++ == 0) {
                firstBlock.set_value(sender->ProgressWindow());
                // Hold the worker until the press has been made.
                while (!sender->IsCancelled())
                    std::this_thread::yield();
            }
        };
        engine.OnCopyCancel = [&](TWebCopy*) { cancelThread = std::this_thread::get_id(); };
        engine.OnCopyDone = [&](TWebCopy*) { done.set_value(); };
        TWebCopyItem* job = engine.Items().Add();
        job->URL = QString::fromStdString(server.Url("/c.bin"));
        job->TargetDir = QString::fromStdString(dir.Slash());
        engine.StartTransfers();
        window = firstBlock.get_future().get();
        window->PressCancel();
        EXPECT_TRUE(engine.IsCancelled()); // at once
        done.get_future().wait();
        EXPECT_FALSE(job->CopySucceeded);
    }
    EXPECT_EQ(blocks, 1);
    EXPECT_NE(cancelThread, std::thread::id());
    EXPECT_NE(cancelThread, std::this_thread::get_id());
    EXPECT_FALSE(window->Visible());
}

TEST(ProgressDialog, MirrorsTheLatestStateAfterManyUpdates) {
    TWebCopy engine;
    engine.ShowTime = true;
    auto window = std::make_shared<TProgressWindow>(engine, 20);
    std::thread worker([&] {
        window->Show();
        for (int i = 0; i <= 100; ++i) {
            window->SetBarPosition(i);
            window->SetProgressLabel(QString("Progress : %1 bytes").arg(i));
        }
    });
    worker.join();
    QCoreApplication::processEvents();
    QList<TProgressDialog*> dialogs;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<TProgressDialog*>(w); d && d->isVisible())
            dialogs.push_back(d);
    ASSERT_EQ(dialogs.size(), 1);
    TProgressDialog* dialog = dialogs.front();
    bool found = false;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        found |= label->text() == "Progress : 100 bytes";
    EXPECT_TRUE(found);

    // Closing the state closes the dialog.
    window->Detach();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ProgressDialog, LaysOutItsControlsAndRendersThem) {
    TWebCopy engine;
    engine.ShowTime = true;
    engine.ShowOpenFile = true;
    engine.ShowOpenFolder = true;
    auto window = std::make_shared<TProgressWindow>(engine, 20);
    window->SetFileLabel("File : DirevidUreziv.cab from 127.0.0.1:8642");
    window->SetBarPosition(45);
    window->SetProgressLabel("Progress : 1.50 Mb of 3.33 Mb");
    window->SetRateLabel("Transfer rate : 750.00 Kb/sec");
    window->SetTimeLabel("Estimated time left : 2 sec.");
    window->Show();
    auto* dialog = new TProgressDialog(window);
    EXPECT_EQ(dialog->size(), QSize(300, 208));
    EXPECT_EQ(dialog->windowTitle(), "Downloading ...");
    QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 3);
    for (QPushButton* b : buttons) {
        EXPECT_EQ(b->geometry().top(), 160);
        if (b->text() == "Cancel")
            EXPECT_EQ(b->geometry().left(), 215);
        else
            EXPECT_FALSE(b->isEnabled());
    }
    const QImage image = dialog->grab().toImage();
    EXPECT_EQ(image.size(), QSize(300, 208));
    image.save(QString::fromStdString(std::filesystem::temp_directory_path() / "progress_dialog.png"));

    // The Cancel button hides the dialog and cancels.
    for (QPushButton* b : buttons)
        if (b->text() == "Cancel")
            b->click();
    EXPECT_TRUE(engine.IsCancelled());
    EXPECT_FALSE(dialog->isVisible());
    window->Detach();
    delete dialog;
}

// Escape and a close by the window manager do what the Cancel button does:
// the run is cancelled, and the window stays hidden through later updates.
TEST(ProgressDialog, EscapeOrACloseCancelsTheRun) {
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close");
        TWebCopy engine;
        engine.ShowDialog = false; // no mirror of its own: this test drives the dialog
        auto window = std::make_shared<TProgressWindow>(engine, 20);
        window->Show();
        auto* dialog = new TProgressDialog(window);
        ASSERT_TRUE(dialog->isVisible());
        if (escape) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dialog, &key);
        } else {
            dialog->close();
        }
        EXPECT_TRUE(engine.IsCancelled());
        EXPECT_TRUE(window->TakeCancelPress()); // OnCopyCancel follows on the worker
        window->SetProgressLabel("Progress : 8.19 Kb");
        dialog->Refresh(window->Snapshot());
        EXPECT_FALSE(dialog->isVisible());
        window->Detach();
        delete dialog;
    }
}

} // namespace
