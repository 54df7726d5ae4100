#include "InetError.h"
#include "InetFtpConnection.h"
#include "InetFtpFile.h"
#include "LocalFtpServer.h"
#include "TempDir.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <filesystem>

using namespace quorvel;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(InetFtpFile& file) {
    std::string out;
    char block[4096];
    std::size_t got = 0;
    while (file.Read(block, sizeof block, got) && got > 0)
        out.append(block, got);
    return out;
}

class InetFtpTest : public ::testing::TestWithParam<bool> {
protected:
    InetFtpConnection::Login LoginTo(const LocalFtpServer& server) const {
        InetFtpConnection::Login login;
        login.host = "127.0.0.1";
        login.port = server.Port();
        login.passive = GetParam();
        return login;
    }

    TempDir root;
    std::atomic<bool> cancel{false};
};

TEST_P(InetFtpTest, ListsReadsAndWritesThroughOneLogin) {
    WriteFile(root / "pub" / "a.bin", "");
    fs::create_directories(root / "pub");
    const std::string payload = Pattern(300000);
    WriteFile(root / "pub" / "a.bin", payload);
    utimbuf times{1600000000, 1600000000};
    ::utime((root / "pub" / "a.bin").c_str(), &times);
    LocalFtpServer server(root.Path());
    ASSERT_GT(server.Port(), 0);

    InetError error = InetError::kNone;
    auto ftp = InetFtpConnection::Connect(LoginTo(server), &cancel, error);
    ASSERT_TRUE(ftp) << InetErrorText(error);
    EXPECT_FALSE(ftp->SetCurrentDirectory("/missing/"));
    ASSERT_TRUE(ftp->SetCurrentDirectory("/pub/"));
    InetFtpEntry entry;
    ASSERT_TRUE(ftp->FindFile("a.bin", entry));
    EXPECT_EQ(entry.size, payload.size());
    ASSERT_TRUE(entry.hasTime);
    EXPECT_EQ(entry.time, 1600000000);
    EXPECT_FALSE(ftp->FindFile("none.bin", entry));
    {
        auto file = ftp->OpenRead("a.bin");
        ASSERT_TRUE(file);
        EXPECT_EQ(ReadAll(*file), payload);
    }
    EXPECT_FALSE(ftp->OpenRead("none.bin"));

    // Relative folders are taken from the current one.
    ASSERT_TRUE(ftp->CreateDirectory("new"));
    EXPECT_FALSE(ftp->CreateDirectory("x/y"));
    ASSERT_TRUE(ftp->SetCurrentDirectory("new"));
    {
        auto file = ftp->OpenWrite("b.bin");
        ASSERT_TRUE(file);
        std::size_t written = 0;
        for (std::size_t at = 0; at < payload.size(); at += 4096)
            ASSERT_TRUE(
                file->Write(payload.data() + at, std::min<std::size_t>(4096, payload.size() - at), written));
        ASSERT_TRUE(file->Finish());
    }
    EXPECT_EQ(ReadFile(root / "pub" / "new" / "b.bin"), payload);
}

// Names with bytes that URLs treat specially (spaces, "#", "%", "?", ";")
// reach the server as they are, not cut at or decoded from those bytes.
TEST_P(InetFtpTest, NamesWithUrlSpecialBytesAreSentAsTheyAre) {
    const std::string folder = "a b#1", name = "x%41 y?z;type=a.bin";
    WriteFile(root / folder / name, "special");
    LocalFtpServer server(root.Path());
    InetError error = InetError::kNone;
    auto ftp = InetFtpConnection::Connect(LoginTo(server), &cancel, error);
    ASSERT_TRUE(ftp) << InetErrorText(error);
    ASSERT_TRUE(ftp->SetCurrentDirectory(folder));
    InetFtpEntry entry;
    ASSERT_TRUE(ftp->FindFile(name, entry));
    EXPECT_EQ(entry.size, 7u);
    auto file = ftp->OpenRead(name);
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadAll(*file), "special");
    file.reset();
    ASSERT_TRUE(ftp->CreateDirectory("new %2F dir"));
    EXPECT_TRUE(fs::is_directory(root / folder / "new %2F dir"));
}

TEST_P(InetFtpTest, UserLoginAndWrongPassword) {
    LocalFtpServer server(root.Path(), {.user = "vendor", .password = "s3cret", .noSize = false});
    ASSERT_GT(server.Port(), 0);
    auto login = LoginTo(server);
    InetError error = InetError::kNone;
    EXPECT_FALSE(InetFtpConnection::Connect(login, &cancel, error)); // anonymous is refused
    login.user = "vendor";
    login.password = "wrong";
    EXPECT_FALSE(InetFtpConnection::Connect(login, &cancel, error));
    EXPECT_EQ(error, InetError::kLoginFailure);
    login.password = "s3cret";
    EXPECT_TRUE(InetFtpConnection::Connect(login, &cancel, error));
}

TEST_P(InetFtpTest, ServerWithoutSizeQueriesListsNothingButServesTheFile) {
    WriteFile(root / "c.bin", "content");
    LocalFtpServer server(root.Path(), {.user = "", .password = "", .noSize = true});
    InetError error = InetError::kNone;
    auto ftp = InetFtpConnection::Connect(LoginTo(server), &cancel, error);
    ASSERT_TRUE(ftp);
    InetFtpEntry entry;
    EXPECT_FALSE(ftp->FindFile("c.bin", entry));
    auto file = ftp->OpenRead("c.bin");
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadAll(*file), "content");
}

TEST_P(InetFtpTest, NoServerAndACancelledWait) {
    InetFtpConnection::Login login;
    login.host = "127.0.0.1";
    login.port = 1;
    InetError error = InetError::kNone;
    EXPECT_FALSE(InetFtpConnection::Connect(login, &cancel, error));
    EXPECT_EQ(error, InetError::kCannotConnect);

    WriteFile(root / "d.bin", Pattern(1 << 20));
    LocalFtpServer server(root.Path());
    auto ftp = InetFtpConnection::Connect(LoginTo(server), &cancel, error);
    ASSERT_TRUE(ftp);
    auto file = ftp->OpenRead("d.bin");
    ASSERT_TRUE(file);
    cancel = true;
    std::string got;
    char block[4096];
    std::size_t n = 0;
    bool ok = true;
    while ((ok = file->Read(block, sizeof block, n)) && n > 0)
        got.append(block, n);
    // What was buffered before the cancel may still come, then the read fails.
    EXPECT_FALSE(ok);
    EXPECT_EQ(file->LastError(), InetError::kOperationCancelled);
    EXPECT_LT(got.size(), std::size_t{1} << 20);
}

INSTANTIATE_TEST_SUITE_P(Modes, InetFtpTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

} // namespace
