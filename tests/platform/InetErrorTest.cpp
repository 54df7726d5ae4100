#include "InetError.h"
#include "HttpDate.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

using namespace quorvel;

namespace {

TEST(InetError, MapsCurlCodes) {
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_OK), InetError::kNone);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_OPERATION_TIMEDOUT), InetError::kTimeout);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_PARTIAL_FILE), InetError::kConnectionAborted);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_RECV_ERROR), InetError::kConnectionReset);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_COULDNT_CONNECT), InetError::kCannotConnect);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_COULDNT_RESOLVE_HOST), InetError::kNameNotResolved);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_UNSUPPORTED_PROTOCOL), InetError::kUnrecognizedScheme);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_PEER_FAILED_VERIFICATION), InetError::kCertificateInvalid);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_SSL_CONNECT_ERROR), InetError::kSecureFailure);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_TOO_MANY_REDIRECTS), InetError::kRedirectFailed);
    EXPECT_EQ(InetErrorFromCurlCode(CURLE_OUT_OF_MEMORY), InetError::kInternal);
    EXPECT_EQ(InetErrorFromCurlCode(99999), InetError::kInternal);
    EXPECT_EQ(InetErrorFromCurlUrlCode(CURLUE_MALFORMED_INPUT), InetError::kInvalidUrl);
    EXPECT_EQ(InetErrorFromCurlUrlCode(CURLUE_BAD_SCHEME), InetError::kUnrecognizedScheme);
}

TEST(InetError, EveryCodeHasItsOwnText) {
    const InetError codes[] = {InetError::kNone,
                               InetError::kTimeout,
                               InetError::kInternal,
                               InetError::kInvalidUrl,
                               InetError::kUnrecognizedScheme,
                               InetError::kNameNotResolved,
                               InetError::kLoginFailure,
                               InetError::kOperationCancelled,
                               InetError::kCannotConnect,
                               InetError::kConnectionAborted,
                               InetError::kConnectionReset,
                               InetError::kRedirectFailed,
                               InetError::kInvalidServerResponse,
                               InetError::kSecureFailure,
                               InetError::kCertificateInvalid};
    std::set<std::string> texts;
    for (InetError code : codes) {
        const std::string text = InetErrorText(code);
        EXPECT_FALSE(text.empty()) << static_cast<int>(code);
        EXPECT_EQ(text.find("Unknown"), std::string::npos) << static_cast<int>(code);
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes));
    EXPECT_EQ(InetErrorText(InetError::kTimeout), "The operation timed out");
    EXPECT_EQ(InetErrorText(static_cast<InetError>(4711)), "Unknown internet error 4711");
    EXPECT_EQ(InetErrorText(static_cast<InetError>(-1)), "Unknown internet error -1");
}

std::string Fields(const TDateFields& f) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", f.year, f.month, f.day, f.hour,
                  f.minute, f.second, f.millisecond);
    return text;
}

TEST(HttpDate, ReadsEveryFormAServerMaySend) {
    for (const char* text :
         {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994",
          "Sun, 6 Nov 1994 08:49:37 GMT", "sun, 06 nov 1994 08:49:37 gmt", "Sun Nov 6 08:49:37 1994",
          // A zone other than GMT is turned into UTC.
          "Sun, 06 Nov 1994 09:49:37 +0100"}) {
        TDateFields f{1, 2, 3, 4, 5, 6, 7};
        ASSERT_TRUE(HttpDate::Parse(text, f)) << text;
        EXPECT_EQ(Fields(f), "1994-11-06 08:49:37.000") << text;
    }
    TDateFields f;
    ASSERT_TRUE(HttpDate::Parse("Thu, 29 Feb 2024 23:59:59 GMT", f));
    EXPECT_EQ(Fields(f), "2024-02-29 23:59:59.000");
    ASSERT_TRUE(HttpDate::Parse("Fri, 31 Dec 9999 23:59:59 GMT", f));
    EXPECT_NO_THROW(DateTime::Encode(f));
}

TEST(HttpDate, RefusesWhatIsNoDate) {
    for (const char* text :
         {"", "garbage", "yesterday at noon", "12345", "Sun, 06 Nov 1994 24:00:00 GMT",
          "Sun, 32 Nov 1994 08:49:37 GMT", "1994-11-06T08:49:37Z", "Sat, 01 Jan 10000 00:00:00 GMT"}) {
        TDateFields f{1, 2, 3, 4, 5, 6, 7};
        EXPECT_FALSE(HttpDate::Parse(text, f)) << text;
        EXPECT_EQ(Fields(f), "0001-02-03 04:05:06.007") << text;
    }
    TDateFields f;
    EXPECT_FALSE(HttpDate::Parse(std::string_view("Sun, 06 Nov 1994\0 08:49:37 GMT", 32), f));
}

} // namespace
