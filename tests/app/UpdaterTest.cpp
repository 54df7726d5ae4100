#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "SilentServer.h"
#include "TempDir.h"

#include "MessageBoxRecorder.h"
#include "WebCopy.h"
#include "softwareupdate.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kError = "Error Updating the Quorvel! Please try again.";
const char* const kSuccess = "Quorvel has been successfully updated!";
const std::int64_t kServerTime = 1767225600; // 2026-01-01 00:00:00 UTC, an even second

void SetMTime(const fs::path& file, std::int64_t unixTime) {
    timeval times[2] = {{static_cast<time_t>(unixTime), 0}, {static_cast<time_t>(unixTime), 0}};
    ASSERT_EQ(::utimes(file.c_str(), times), 0);
}

// Makes a cabinet of the given files (name -> content) with gcab.
std::string MakeCabinet(const TempDir& work, const std::map<std::string, std::string>& files) {
    const fs::path source = work / "package-source";
    std::string command = "cd '" + source.string() + "' && gcab -c -z '" + (work / "pkg.cab").string() + "'";
    for (const auto& [name, bytes] : files) {
        WriteFile(source / name, bytes);
        command += " '" + name + "'";
    }
    EXPECT_EQ(std::system((command + " >/dev/null").c_str()), 0);
    return ReadFile(work / "pkg.cab");
}

class Updater : public testing::Test {
protected:
    void SetUp() override {
        // Dates are compared without time-zone conversion; pin the zone so
        // that local file times and server dates line up.
        setenv("TZ", "UTC", 1);
        tzset();
        m_previousBox = RecordMessageBoxes(messages, boxes);
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        package = MakeCabinet(work, {{"version.txt", "Quorvel 2.0"},
                                     {"docs/changes.txt", "new things"},
                                     {"quorvel.dat", std::string(70000, 'q')}});
    }
    void TearDown() override { SetMessageBoxHandler(m_previousBox); }

    std::unique_ptr<TForm1> MakeForm(const std::string& path = "/downloads/DirevidUreziv.cab") {
        return std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                        QString::fromStdString(server.Url(path)));
    }
    // A dated body that trickles out in 16 KiB pieces for up to ~3 seconds,
    // so that the test can act while the download runs.
    void ServeSlowly() {
        server.Server().Get("/slow.cab", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Last-Modified", LocalHttpServer::HttpDate(kServerTime));
            res.set_content_provider(300 * 16384, "application/octet-stream",
                                     [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                         const std::string piece(
                                             16384, static_cast<char>('a' + offset / 16384 % 26));
                                         return sink.write(piece.data(), piece.size());
                                     });
        });
    }
    void ServePackage(std::int64_t lastModified = kServerTime) {
        HttpReply reply;
        reply.lastModified = lastModified;
        server.ServeBytes("/downloads/DirevidUreziv.cab", package, reply);
    }
    // Runs "Start"; `during` is polled while the wait runs and may press buttons.
    void Start(TForm1& form, std::function<void()> during = {}) {
        QTimer poll;
        if (during) {
            QObject::connect(&poll, &QTimer::timeout, during);
            poll.start(5);
        }
        form.BitBtn1Click();
    }
    // Serves a dated cabinet of about 300 pieces of 16 KiB; each piece
    // waits 10 ms while `slow` holds, so that a test can act during the
    // download.
    void ServeSlowlyWhile(const std::shared_ptr<std::atomic<bool>>& slow) {
        std::string noise(300 * 16384, '\0');
        for (std::size_t i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>((i * 2654435761u) >> 13);
        auto body = std::make_shared<std::string>(MakeCabinet(work, {{"quorvel.dat", noise}}));
        server.Server().Get("/slow/DirevidUreziv.cab", [slow, body](const httplib::Request&,
                                                                    httplib::Response& res) {
            res.set_header("Last-Modified", LocalHttpServer::HttpDate(kServerTime));
            res.set_content_provider(body->size(), "application/octet-stream",
                                     [slow, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (*slow)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                         const std::size_t size =
                                             std::min<std::size_t>(16384, body->size() - offset);
                                         return sink.write(body->data() + offset, size);
                                     });
        });
        slowPackage = body;
    }
    bool Installed() const { return ReadFile(folder / "version.txt") == "Quorvel 2.0"; }

    TempDir work;
    TempDir folder;
    LocalHttpServer server;
    std::string package;
    std::shared_ptr<std::string> slowPackage;
    std::vector<std::string> messages;
    TShownBoxes boxes;

private:
    MessageBoxHandler m_previousBox;
};

TEST_F(Updater, DownloadsWithoutLocalPackageAndInstallsOnClose) {
    ServePackage();
    auto form = MakeForm();
    Start(*form);
    EXPECT_EQ(boxes, TShownBoxes{InformationBox(kSuccess)});
    EXPECT_TRUE(form->transferDone && form->fileReceived);
    EXPECT_FALSE(form->dateChecked);
    EXPECT_TRUE(form->HTMLButton1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->BitBtn1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->BitBtn2->isVisibleTo(form.get()));
    EXPECT_EQ(ReadFile(folder / "DirevidUreziv.cab"), package);
    // The progress line carries the engine's text with the total.
    EXPECT_TRUE(form->Label4->text().startsWith("Progress : ")) << form->Label4->text().toStdString();
    EXPECT_TRUE(form->Label4->text().contains(" of ")) << form->Label4->text().toStdString();
    EXPECT_EQ(form->XiProgressBar2->Position(), 100);

    form->close();
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ReadFile(folder / "docs/changes.txt"), "new things");
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv_bu.cab"));
    EXPECT_TRUE(fs::exists(folder / "DirevidUreziv.cab"));
}

TEST_F(Updater, LocalPackageAsOldAsServerCopyCountsAsUpdate) {
    ServePackage();
    WriteFile(folder / "DirevidUreziv.cab", "old package");
    SetMTime(folder / "DirevidUreziv.cab", kServerTime);
    auto form = MakeForm();
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_TRUE(form->dateChecked);
    EXPECT_FALSE(form->upToDate);
    EXPECT_EQ(ReadFile(folder / "DirevidUreziv.cab"), package);
}

TEST_F(Updater, NewerLocalPackageShowsUpToDateAndInstallsNothing) {
    ServePackage(kServerTime - 3600);
    WriteFile(folder / "DirevidUreziv.cab", "current package");
    SetMTime(folder / "DirevidUreziv.cab", kServerTime);
    auto form = MakeForm();
    bool sawText = false;
    Start(*form, [&] {
        // The wait goes on after the up-to-date text; the user ends it with "Cancel".
        if (form->InstructionText() == "There is not available update.\rYour version is current!" &&
            form->BitBtn1->isEnabled() && !sawText) {
            sawText = true;
            form->BitBtn2Click();
        }
    });
    EXPECT_TRUE(sawText);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(form->upToDate);
    EXPECT_FALSE(form->transferDone);
    EXPECT_TRUE(form->HTMLButton1->isVisibleTo(form.get()));
    EXPECT_EQ(ReadFile(folder / "DirevidUreziv.cab"), "current package");
    form->close();
    EXPECT_FALSE(Installed());
}

TEST_F(Updater, StatusOf404DeletesPackageAndReportsError) {
    server.ServeStatus("/downloads/DirevidUreziv.cab", 404);
    WriteFile(folder / "DirevidUreziv.cab", "old package");
    auto form = MakeForm();
    Start(*form);
    EXPECT_EQ(boxes, TShownBoxes{InformationBox(kError)});
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
    EXPECT_TRUE(form->BitBtn1->isVisibleTo(form.get()));
    EXPECT_TRUE(form->BitBtn1->isEnabled());
    EXPECT_FALSE(form->HTMLButton1->isVisibleTo(form.get()));
    form->close();
    EXPECT_FALSE(Installed());
}

TEST_F(Updater, UnreachableServerReportsErrorAndAllowsAnotherStart) {
    auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                         QStringLiteral("http://127.0.0.1:1/downloads/DirevidUreziv.cab"));
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kError});
    EXPECT_TRUE(form->BitBtn1->isEnabled());

    // A second "Start" clears the result flags but not the cancel request.
    form->cancelRequested = false;
    form->updateFailed = true;
    messages.clear();
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kError});
    EXPECT_TRUE(form->updateFailed);
}

TEST_F(Updater, ShortOrDroppedDownloadIsAnErrorAndLeavesNoPackage) {
    server.ServeTruncated("/downloads/DirevidUreziv.cab", package.size(), package.substr(0, 5000));
    auto form = MakeForm();
    Start(*form);
    EXPECT_EQ(boxes, TShownBoxes{InformationBox(kError)});
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
    form->close();
    EXPECT_FALSE(Installed());
}

TEST_F(Updater, MissingServerDateWithLocalPackageEndsInErrorInsteadOfWaiting) {
    server.ServeBytes("/downloads/DirevidUreziv.cab", package); // no Last-Modified
    WriteFile(folder / "DirevidUreziv.cab", "old package");
    auto form = MakeForm();
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kError});
    EXPECT_TRUE(form->updateFailed);
}

TEST_F(Updater, CancelDuringDownloadShowsCloseAndInstallsNothing) {
    ServeSlowly();
    auto form = MakeForm("/slow.cab");
    Start(*form, [&] {
        if (form->Label4->text() != "Progress:" && !form->cancelRequested)
            form->BitBtn2Click();
    });
    EXPECT_TRUE(messages.empty()) << messages.front();
    EXPECT_TRUE(form->cancelRequested);
    EXPECT_FALSE(form->transferDone);
    EXPECT_TRUE(form->HTMLButton1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->BitBtn1->isVisibleTo(form.get()));
    form->close();
    EXPECT_FALSE(Installed());
}

TEST_F(Updater, CancelBeforeStartLeavesOnlyClose) {
    auto form = MakeForm();
    form->BitBtn2Click();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(form->HTMLButton1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->BitBtn1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->BitBtn2->isVisibleTo(form.get()));
}

TEST_F(Updater, StaleBackupIsReplacedBeforeUnpacking) {
    ServePackage();
    WriteFile(folder / "DirevidUreziv_bu.cab", "stale backup from an earlier run");
    auto form = MakeForm();
    Start(*form);
    form->close();
    EXPECT_TRUE(Installed());
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv_bu.cab"));
}

TEST_F(Updater, FailedBackupCopyInstallsNothing) {
    ServePackage();
    auto form = MakeForm();
    Start(*form);
    // A folder where the backup goes makes the copy fail.
    WriteFile(folder / "DirevidUreziv_bu.cab" / "in-the-way", "x");
    form->close();
    EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(fs::exists(folder / "docs/changes.txt"));
}

TEST_F(Updater, PackageRemovedBeforeCloseInstallsNothing) {
    ServePackage();
    auto form = MakeForm();
    Start(*form);
    fs::remove(folder / "DirevidUreziv.cab");
    form->close();
    EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
    EXPECT_FALSE(Installed());
}

TEST_F(Updater, CloseDuringWaitEndsTheWaitWithoutMessages) {
    ServeSlowly();
    auto form = MakeForm("/slow.cab");
    form->show();
    Start(*form, [&] {
        if (form->Label4->text() != "Progress:" && form->isVisible())
            form->close();
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Updater, WindowHasItsFixedSizeTitleAndFirstTexts) {
    auto form = MakeForm();
    EXPECT_EQ(form->windowTitle(), "Quorvel Software Update");
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->size(), QSize(471, 319));
    EXPECT_EQ(form->Label4->text(), "Progress:");
    EXPECT_EQ(form->Label5->text(), "Transfer Rate:");
    EXPECT_FALSE(form->HTMLButton1->isVisibleTo(form.get()));
    EXPECT_EQ(form->WebCopy1->ShowDialog, false);
    const QImage shot = form->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    shot.save(QString::fromStdString((fs::temp_directory_path() / "quorvel-updater.png").string()));
}

TEST_F(Updater, StartClearsExactlyTheFourResultFlags) {
    SilentServer silent(SilentServer::kNeverAnswers); // the run raises nothing while we look
    auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                         QString::fromStdString(silent.Url("/downloads/DirevidUreziv.cab")));
    for (std::atomic<bool>* flag : {&form->transferDone, &form->fileReceived, &form->updateFailed,
                                    &form->upToDate, &form->cancelRequested, &form->dateChecked})
        *flag = true;
    form->BitBtn1Click(); // cancelRequested ends the wait at once
    EXPECT_FALSE(form->transferDone);
    EXPECT_FALSE(form->fileReceived);
    EXPECT_FALSE(form->updateFailed);
    EXPECT_FALSE(form->upToDate);
    EXPECT_TRUE(form->cancelRequested);
    EXPECT_TRUE(form->dateChecked);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Updater, CancelledDownloadLeavesThePreviousPackageAndTheNextStartDownloads) {
    auto slow = std::make_shared<std::atomic<bool>>(true);
    ServeSlowlyWhile(slow);
    WriteFile(folder / "DirevidUreziv.cab", "old package");
    SetMTime(folder / "DirevidUreziv.cab", kServerTime - 3600);
    {
        auto form = MakeForm("/slow/DirevidUreziv.cab");
        bool closeShownByCancel = true;
        Start(*form, [&] {
            if (form->Label4->text() != "Progress:" && !form->cancelRequested) {
                form->BitBtn2Click();
                // The date check ran: "Cancel" itself does not show "Close" ...
                closeShownByCancel = form->HTMLButton1->isVisibleTo(form.get());
            }
        });
        EXPECT_TRUE(form->dateChecked);
        EXPECT_FALSE(closeShownByCancel);
        // ... the ending wait does.
        EXPECT_TRUE(form->HTMLButton1->isVisibleTo(form.get()));
        EXPECT_TRUE(messages.empty());
        form->close();
    }
    // The part that came is kept aside for the next "Start" to go on from
    // (a hidden file and its record beside the package); the previous
    // package is as it was, its date untouched.
    EXPECT_EQ(ReadFile(folder / "DirevidUreziv.cab"), "old package");
    EXPECT_EQ(EntriesBesideTheLock(folder.Path()), 4);
    EXPECT_FALSE(Installed());

    // The program is started again: the server's copy is newer, "Start"
    // downloads the rest, and nothing of the download is left.
    *slow = false;
    auto form = MakeForm("/slow/DirevidUreziv.cab");
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(ReadFile(folder / "DirevidUreziv.cab"), *slowPackage);
    EXPECT_EQ(EntriesBesideTheLock(folder.Path()), 2);
}

// Whatever the server sends that is not a whole package is a failed update:
// the error message, "Start" offered again, nothing of the download left and
// nothing installed at the close.
TEST_F(Updater, AnEmptyShortForeignOrOversizedBodyIsAFailedUpdate) {
    const std::string path = "/downloads/DirevidUreziv.cab";
    HttpReply dated;
    dated.lastModified = kServerTime;
    const struct {
        const char* what;
        std::function<void(LocalHttpServer&)> serve;
        std::uint64_t limit;
    } cases[] = {
        {"empty body", [&](LocalHttpServer& s) { s.ServeBytes(path, "", dated); }, 0},
        {"short body",
         [&](LocalHttpServer& s) {
             s.ServeTruncated(path, package.size(), package.substr(0, package.size() / 2));
         },
         0},
        {"not a cabinet", [&](LocalHttpServer& s) { s.ServeBytes(path, "<html>moved</html>", dated); }, 0},
        {"a cabinet cut short, sent whole",
         [&](LocalHttpServer& s) { s.ServeBytes(path, package.substr(0, package.size() - 10), dated); }, 0},
        {"larger than the limit", [&](LocalHttpServer& s) { s.ServeBytes(path, package, dated); },
         package.size() - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer caseServer;
        c.serve(caseServer);
        messages.clear();
        TForm1 form(QString::fromStdString(folder.Slash()), QString::fromStdString(caseServer.Url(path)));
        if (c.limit)
            form.MaxPackageSize = c.limit;
        Start(form);
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_TRUE(form.BitBtn1->isVisibleTo(&form) && form.BitBtn1->isEnabled());
        EXPECT_FALSE(form.HTMLButton1->isVisibleTo(&form));
        EXPECT_EQ(EntriesBesideTheLock(folder.Path()), 1) << "only version.txt";
        form.close();
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_FALSE(Installed());
    }
}

TEST_F(Updater, CancelInTheFailedStateAfterADateCheckLeavesCloseHidden) {
    // A dated answer whose body breaks off: the date check runs, then the run fails.
    server.Server().Get("/downloads/DirevidUreziv.cab", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", LocalHttpServer::HttpDate(kServerTime));
        res.set_content_provider(100000, "application/octet-stream",
                                 [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset > 0)
                                         return false;
                                     return sink.write(std::string(5000, 'p').data(), 5000);
                                 });
    });
    WriteFile(folder / "DirevidUreziv.cab", "old package");
    SetMTime(folder / "DirevidUreziv.cab", kServerTime - 3600);
    auto form = MakeForm();
    Start(*form);
    ASSERT_EQ(messages, std::vector<std::string>{kError});
    ASSERT_TRUE(form->dateChecked);
    form->BitBtn2Click();
    EXPECT_FALSE(form->BitBtn1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->BitBtn2->isVisibleTo(form.get()));
    EXPECT_FALSE(form->HTMLButton1->isVisibleTo(form.get()));
}

// Closing the window while the download waits on a server that stalls, or on
// a connect that never completes, ends the updater at once: the window's end
// (which ends the program) does not wait for the 30-second limits.
TEST_F(Updater, CloseDuringAStallEndsTheUpdaterAtOnce) {
    HttpReply dated;
    dated.lastModified = kServerTime;
    server.ServeStall("/stall/DirevidUreziv.cab", 100000, "abc", dated);
    SilentServer hanging(SilentServer::kConnectHangs);
    for (const std::string& url :
         {server.Url("/stall/DirevidUreziv.cab"), hanging.Url("/downloads/DirevidUreziv.cab")}) {
        SCOPED_TRACE(url);
        auto form =
            std::make_unique<TForm1>(QString::fromStdString(folder.Slash()), QString::fromStdString(url));
        form->show();
        std::chrono::steady_clock::time_point closed;
        int ticks = 0;
        Start(*form, [&] {
            // About a quarter of a second in, well inside the wait.
            if (++ticks == 50) {
                closed = std::chrono::steady_clock::now();
                form->close();
            }
        });
        form.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(3));
        EXPECT_TRUE(messages.empty()) << messages.front();
        // The three bytes that came are no package.
        EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
    }
}

} // namespace

namespace {

// The window and the command line on one folder: whoever pressed "Start"
// first holds it, and the other is refused with nothing touched; a folder
// the updater cannot trust is said so when the window opens.
TEST_F(Updater, OneUpdaterPerFolderAndAnUntrustedFolderIsSaidAtStart) {
    ServePackage();
    auto form = MakeForm();
    Start(*form);
    ASSERT_EQ(messages, std::vector<std::string>{kSuccess});
    const std::string command = "LSAN_OPTIONS=\"$LSAN_OPTIONS:print_suppressions=0\" env -u DISPLAY -u QT_QPA_PLATFORM '" QUORVEL_UPDATER
                                "' --update --folder '" +
                                folder.Slash() + "' --url '" + server.Url("/downloads/DirevidUreziv.cab") +
                                "' 2>'" + (work / "err.txt").string() + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
    EXPECT_EQ(ReadFile(work / "err.txt"), "Another update is running in this folder.\n");
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 1.0");
    form->close(); // closing installs, and the window's end lets the folder go
    form.reset();
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");

    messages.clear();
    fs::permissions(folder.Path(), fs::perms::all);
    MakeForm().reset();
    fs::permissions(folder.Path(), fs::perms::owner_all);
    EXPECT_EQ(messages,
              std::vector<std::string>{"The last update of the Quorvel could not be checked or undone. "
                                       "Please try again, or reinstall the Quorvel."});
}

} // namespace
