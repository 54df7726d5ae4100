#include "ShareName.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvel;

namespace {

TEST(ShareNameTest, BothSeparatorFormsGiveOneUrl) {
    EXPECT_EQ(ShareName::Url("\\\\server\\share"), "smb://server/share");
    EXPECT_EQ(ShareName::Url("//server/share/"), "smb://server/share");
    EXPECT_EQ(ShareName::Url("\\\\127.0.0.1:4455\\my share"), "smb://127.0.0.1:4455/my%20share");
    EXPECT_EQ(ShareName::Url("\\\\[::1]:445\\s"), "smb://[::1]:445/s");
    EXPECT_EQ(ShareName::Url("\\\\file-server_2.example\\s"), "smb://file-server_2.example/s");
}

// The server part reaches the library's URL unencoded, so anything that
// would change what the URL means there (a user, a query, a fragment, a
// second port) is refused rather than passed on.
TEST(ShareNameTest, ServerPartsThatWouldChangeTheUrlAreRefused) {
    for (const std::string bad :
         {"", "server\\share", "\\\\server", "\\\\\\share", "\\\\server\\share\\deeper", "\\\\evil@server\\s",
          "\\\\server?x=1\\s", "\\\\server#f\\s", "\\\\server:\\s", "\\\\server:123456\\s", "\\\\server:44a\\s",
          "\\\\server:1:2\\s", "\\\\[::1\\s", "\\\\[]\\s", "\\\\[::1]x\\s", "\\\\ser ver\\s", "\\\\server%41\\s"})
        EXPECT_EQ(ShareName::Url(bad), "") << bad;
}

TEST(ShareNameTest, PathSegmentsAreEncodedAndEmptyOnesDropped) {
    EXPECT_EQ(ShareName::EncodePath("sub dir\\f.bin"), "/sub%20dir/f.bin");
    EXPECT_EQ(ShareName::EncodePath("//a//b/"), "/a/b");
    EXPECT_EQ(ShareName::EncodePath("100%?#.txt"), "/100%25%3F%23.txt");
    EXPECT_EQ(ShareName::EncodePath("\xC3\xA9t\xC3\xA9"), "/%C3%A9t%C3%A9");
    EXPECT_EQ(ShareName::EncodePath(""), "");
}

} // namespace
