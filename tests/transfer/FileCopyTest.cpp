#include "EngineRecorder.h"
#include "TempDir.h"
#include "TestBytes.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <csignal>
#include <filesystem>

using namespace quorvel;

namespace {

using Events = std::vector<std::string>;
namespace fs = std::filesystem;

class FileCopyTest : public ::testing::Test {
protected:
    FileCopyTest() : rec(engine) {
        engine.ShowDialog = false;
        job = engine.Items().Add();
        job->Protocol = wpFile;
        job->TargetDir = QString::fromStdString((dir / "out").string());
    }

    void Copy(const std::string& source) {
        job->URL = QString::fromStdString(source);
        RunJobs(engine);
    }
    std::string Src(const std::string& name) const { return (dir / name).string(); }

    TempDir dir;
    TWebCopy engine;
    EngineRecorder rec;
    TWebCopyItem* job;
};

TEST_F(FileCopyTest, CopiesInRoundsIntoAMissingFolder) {
    const std::string payload = Pattern(600000);
    WriteFile(dir / "a.bin", payload);
    Copy(Src("a.bin"));
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "out" / "a.bin") == payload);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "FileDone 0", "CopyDone"}));
    // Local files move in rounds of 16 blocks of 16 KiB, the last one moving nothing.
    EXPECT_EQ(rec.Progress(), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{
                                  {262144, 600000}, {524288, 600000}, {600000, 600000}, {600000, 600000}}));
    const auto window = rec.AtDone();
    EXPECT_EQ(window.ProgressBar.Position, 100);
    EXPECT_EQ(Text(window.FileLabel.Caption), "File : a.bin from " + dir.Path().string());
    EXPECT_EQ(window.AnimationClip, kTransferAnimationClip);
}

TEST_F(FileCopyTest, EmptySourceGivesAnEmptyTargetAndAFullBar) {
    WriteFile(dir / "e.bin", "");
    WriteFile(dir / "out" / "e.bin", "previous");
    Copy(Src("e.bin"));
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "out" / "e.bin"), "");
    EXPECT_EQ(rec.Progress(), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{0, 0}}));
    EXPECT_EQ(rec.AtDone().ProgressBar.Position, 100);
    EXPECT_EQ(Text(rec.AtDone().ProgressLabel.Caption), "Progress : 0 bytes of 0 bytes");
}

TEST_F(FileCopyTest, TheSourceItselfIsNeverTheTarget) {
    fs::create_directories(dir / "out");
    WriteFile(dir / "out" / "s.bin", "precious");
    fs::create_symlink(dir / "out" / "s.bin", dir / "link.bin");
    job->TargetFilename = "s.bin";
    const std::string target = (dir / "out" / "s.bin").string();
    for (const std::string& spelling :
         {target, (dir / "out" / "." / "s.bin").string(), (dir / "out" / ".." / "out" / "s.bin").string(),
          dir.Path().string() + "//out//s.bin", (dir / "link.bin").string()}) {
        Copy(spelling);
        EXPECT_FALSE(job->CopySucceeded) << spelling;
        EXPECT_EQ(rec.EventsOf("ErrorInfo").back(), "ErrorInfo 0 Cannot copy identical files " + spelling);
        EXPECT_EQ(ReadFile(target), "precious") << spelling;
    }
}

TEST_F(FileCopyTest, UnopenableSourcesAndAnUncreatableTarget) {
    Copy(Src("missing.bin"));
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(), "ErrorInfo 1 Cannot open source file " + Src("missing.bin"));
    fs::create_directories(dir / "folder");
    Copy(Src("folder"));
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(), "ErrorInfo 1 Cannot open source file " + Src("folder"));
    ::mkfifo(Src("fifo").c_str(), 0600);
    Copy(Src("fifo"));
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(), "ErrorInfo 1 Cannot open source file " + Src("fifo"));

    WriteFile(dir / "ok.bin", "x");
    WriteFile(dir / "blocker", "a file where a folder should be");
    job->TargetDir = QString::fromStdString((dir / "blocker").string());
    Copy(Src("ok.bin"));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(),
              "ErrorInfo 3 Cannot create target file " + (dir / "blocker").string() + "/ok.bin");
}

// Paths written with "\\" are used, asked about and recorded for the Open
// buttons in the file system's spelling.
TEST_F(FileCopyTest, BackslashPathsAreAcceptedAndShownInTheFileSystemsSpelling) {
    WriteFile(dir / "w.bin", "win");
    WriteFile(dir / "out" / "w.bin", "old");
    std::string source = Src("w.bin");
    std::string folder = (dir / "out").string();
    std::replace(source.begin(), source.end(), '/', '\\');
    std::replace(folder.begin(), folder.end(), '/', '\\');
    job->TargetDir = QString::fromStdString(folder);
    std::string asked;
    engine.OnCopyOverWrite = [&](TWebCopy*, const QString& target, bool&) { asked = Text(target); };
    Copy(source);
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "out" / "w.bin"), "win");
    EXPECT_EQ(asked, (dir / "out" / "w.bin").string());
    EXPECT_EQ(Text(engine.LastTargetFile()), (dir / "out" / "w.bin").string());
    EXPECT_EQ(Text(engine.LastTargetDir()), (dir / "out").string());
    EXPECT_EQ(Text(rec.AtDone().FileLabel.Caption), "File : w.bin from " + dir.Path().string());
}

TEST_F(FileCopyTest, OverwriteQuestionBothWays) {
    WriteFile(dir / "o.bin", "new");
    WriteFile(dir / "out" / "o.bin", "old");
    bool allow = false;
    std::string asked;
    engine.OnCopyOverWrite = [&](TWebCopy*, const QString& target, bool& permit) {
        asked = Text(target);
        permit = allow;
    };
    Copy(Src("o.bin"));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(asked, (dir / "out").string() + "/o.bin");
    EXPECT_EQ(ReadFile(dir / "out" / "o.bin"), "old");
    allow = true;
    Copy(Src("o.bin"));
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "out" / "o.bin"), "new");
}

TEST_F(FileCopyTest, NewerOnlyUsesTheSourceDate) {
    WriteFile(dir / "d.bin", "dated");
    utimbuf times{1600000000, 1600000000};
    ::utime(Src("d.bin").c_str(), &times);
    const TDateTime sourceDate = DateTime::FromUnixUtc(1600000000);
    job->CopyNewerOnly = true;
    job->FileDate = sourceDate;
    Copy(Src("d.bin"));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_TRUE(job->NoNewFile);
    EXPECT_EQ(rec.EventsOf("NoNewFile"), (Events{"NoNewFile " + Src("d.bin")}));
    EXPECT_FALSE(fs::exists(dir / "out" / "d.bin"));

    job->FileDate = sourceDate - 0.5;
    Copy(Src("d.bin"));
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_DOUBLE_EQ(job->NewDate, sourceDate);

    // A date handler that refuses the copy leaves the date as it was.
    engine.OnFileDateCheck = [](TWebCopy*, int, TDateTime, bool& allow) { allow = false; };
    job->FileDate = 42;
    Copy(Src("d.bin"));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(job->NewDate, 42);
}

TEST_F(FileCopyTest, CancelLeavesThePreviousTarget) {
    WriteFile(dir / "big.bin", Pattern(1 << 20));
    WriteFile(dir / "out" / "big.bin", "previous");
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t, std::uint64_t) {
        sender->CancelTransfers();
    };
    Copy(Src("big.bin"));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "out" / "big.bin"), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

// A source that shrinks while it is copied is a read failure, never a
// success, and the previous target stays.
TEST_F(FileCopyTest, ASourceThatEndsEarlyIsAReadFailure) {
    static std::string path;
    path = Src("shrinks.bin");
    WriteFile(path, Pattern(1 << 20));
    engine.OnCopyProgress = [](TWebCopy*, int, std::uint64_t done, std::uint64_t) {
        if (done == 262144) {
            ASSERT_EQ(::truncate(path.c_str(), 300000), 0);
        }
    };
    WriteFile(dir / "out" / "shrinks.bin", "previous");
    Copy(path);
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"), (Events{"ErrorInfo 4 Error reading source file " + path}));
    EXPECT_EQ(ReadFile(dir / "out" / "shrinks.bin"), "previous");
}

// A target that cannot grow (here a file-size limit, as a full disk would)
// is a write failure, not taken for a source that ended early.
TEST_F(FileCopyTest, ATargetThatCannotGrowIsAWriteFailure) {
    WriteFile(dir / "big.bin", Pattern(1 << 20));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 300000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Copy(Src("big.bin"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(job->CopySucceeded);
    const std::string target = (dir / "out" / "big.bin").string();
    EXPECT_EQ(rec.EventsOf("ErrorInfo"), (Events{"ErrorInfo 5 Error writing to destination file " + target}));
}

TEST_F(FileCopyTest, LargeSizesAreNotCutTo32Bits) {
    // A sparse file of 4 GiB and a bit: only its size matters to the texts.
    const fs::path big = dir / "huge.bin";
    WriteFile(big, "");
    fs::resize_file(big, (std::uintmax_t{1} << 32) + 5);
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, (std::uint64_t{1} << 32) + 5);
        if (done > 0)
            sender->CancelTransfers();
    };
    Copy(big.string());
    EXPECT_EQ(Text(rec.AtDone().ProgressLabel.Caption), "Progress : 262.14 Kb of 4294.97 Mb");
}

} // namespace
