#include "SmbSuite.h"
#include "ShareConnection.h"
#include "ShareError.h"
#include "ShareFile.h"

#include <gtest/gtest.h>

#include <utime.h>

#include <memory>

using namespace quorvel;

namespace {

class ShareTest : public SmbSuite {};

std::string ReadAll(ShareFile& file) {
    std::string out;
    char block[16384];
    std::size_t got = 0;
    while (file.Read(block, sizeof block, got) && got > 0)
        out.append(block, got);
    return out;
}

TEST_F(ShareTest, ReadsAFileBelowTheShareWithItsSizeAndTime) {
    std::filesystem::create_directories(Server().ShareDir() / "sub dir");
    std::string payload(700000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i % 253);
    WriteFile(Server().ShareDir() / "sub dir" / "f.bin", payload);
    utimbuf times{1600000000, 1600000000};
    ::utime((Server().ShareDir() / "sub dir" / "f.bin").c_str(), &times);

    ShareError error = ShareError::kFailed;
    auto share = ShareConnection::Connect(Server().Unc(), kUser, kPassword, error);
    ASSERT_TRUE(share) << ShareErrorText(error);
    auto file = share->Open("sub dir\\f.bin", error);
    ASSERT_TRUE(file) << ShareErrorText(error);
    EXPECT_EQ(file->Size(), payload.size());
    EXPECT_EQ(file->LastWriteSeconds(), 1600000000);
    EXPECT_TRUE(ReadAll(*file) == payload);
    file.reset();
    EXPECT_FALSE(share->Open("none.bin", error));
    EXPECT_EQ(error, ShareError::kNotFound);
    EXPECT_FALSE(share->Open("sub dir", error));
    EXPECT_TRUE(share->Disconnect());
}

TEST_F(ShareTest, SlashFormAndRefusedConnections) {
    ShareError error = ShareError::kFailed;
    std::string slashed = Server().Unc();
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    EXPECT_TRUE(ShareConnection::Connect(slashed, kUser, kPassword, error));
    EXPECT_FALSE(ShareConnection::Connect(Server().Unc(), kUser, "wrong", error));
    EXPECT_EQ(error, ShareError::kAccessDenied);
    EXPECT_FALSE(ShareConnection::Connect("\\\\127.0.0.1:" + std::to_string(Server().Port()) + "\\nosuch",
                                          kUser, kPassword, error));
    for (const std::string bad : {"", "server\\share", "\\\\server", "\\\\server\\share\\deeper"}) {
        EXPECT_FALSE(ShareConnection::Connect(bad, kUser, kPassword, error)) << bad;
        EXPECT_EQ(error, ShareError::kBadName) << bad;
    }
}

} // namespace
