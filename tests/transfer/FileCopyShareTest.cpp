#include "EngineRecorder.h"
#include "SmbSuite.h"
#include "TempDir.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvel;

namespace {

using Events = std::vector<std::string>;

// The share's name as texts show it: "/" where it was given with "\\".
std::string Slashed(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// File copies from a share served by one smbd for the suite.
class FileCopyShareTest : public SmbSuite {
protected:
    void SetUp() override {
        SmbSuite::SetUp();
        if (IsSkipped())
            return;
        engine.ShowDialog = false;
        job = engine.Items().Add();
        job->Protocol = wpFile;
        job->FTPHost = QString::fromStdString(Server().Unc());
        job->FTPUserID = kUser;
        job->FTPPassword = kPassword;
        job->TargetDir = QString::fromStdString(dir.Slash());
    }

    TempDir dir;
    TWebCopy engine;
    EngineRecorder rec{engine};
    TWebCopyItem* job = nullptr;
};

TEST_F(FileCopyShareTest, CopiesFromTheShare) {
    std::filesystem::create_directories(Server().ShareDir() / "pkg");
    WriteFile(Server().ShareDir() / "pkg" / "update.cab", std::string(50000, 'u'));
    job->URL = "pkg\\update.cab";
    RunJobs(engine);
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "update.cab"), std::string(50000, 'u'));
    // A share is read through the block buffer: 16 KiB rounds, the last one empty.
    EXPECT_EQ(rec.Progress().size(), 50000u / 16384 + 2);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "FileDone 0", "CopyDone"}));
    EXPECT_EQ(Text(rec.AtDone().FileLabel.Caption), "File : update.cab from " + Slashed(Server().Unc()));

    job->URL = "pkg\\missing.cab";
    RunJobs(engine);
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(),
              "ErrorInfo 1 Cannot open source file " + Slashed(Server().Unc()) + "/pkg/missing.cab");
}

TEST_F(FileCopyShareTest, AShareFileThatEndsEarlyIsAReadFailure) {
    static std::filesystem::path path;
    path = Server().ShareDir() / "shrinks.bin";
    WriteFile(path, std::string(1 << 20, 's'));
    job->URL = "shrinks.bin";
    engine.OnCopyProgress = [](TWebCopy*, int, std::uint64_t done, std::uint64_t) {
        if (done == 16384)
            std::filesystem::resize_file(path, 300000);
    };
    RunJobs(engine);
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"),
              (Events{"ErrorInfo 4 Error reading source file " + Slashed(Server().Unc()) + "/shrinks.bin"}));
}

TEST_F(FileCopyShareTest, WrongPasswordIsAConnectError) {
    WriteFile(Server().ShareDir() / "x.bin", "x");
    job->URL = "x.bin";
    job->FTPPassword = "nope";
    RunJobs(engine);
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "ConnectError", "FileDone 0", "CopyDone"}));
}

} // namespace
