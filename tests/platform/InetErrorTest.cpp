#include "InetError.h"
#include "HttpDate.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

namespace {

TEST(InetError, MapsCurlCodes) {
    EXPECT_EQ(InetError::FromCurlCode(CURLE_OK), InetError::kNone);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_OPERATION_TIMEDOUT), InetError::kTimeout);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_PARTIAL_FILE), InetError::kConnectionAborted);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_RECV_ERROR), InetError::kConnectionReset);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_COULDNT_CONNECT), InetError::kCannotConnect);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_COULDNT_RESOLVE_HOST), InetError::kNameNotResolved);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_UNSUPPORTED_PROTOCOL), InetError::kUnrecognizedScheme);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_PEER_FAILED_VERIFICATION), InetError::kSecureFailure);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_TOO_MANY_REDIRECTS), InetError::kRedirectFailed);
    EXPECT_EQ(InetError::FromCurlCode(CURLE_OUT_OF_MEMORY), InetError::kInternal);
    EXPECT_EQ(InetError::FromCurlCode(99999), InetError::kInternal);
    EXPECT_EQ(InetError::FromCurlUrlCode(CURLUE_MALFORMED_INPUT), InetError::kInvalidUrl);
    EXPECT_EQ(InetError::FromCurlUrlCode(CURLUE_BAD_SCHEME), InetError::kUnrecognizedScheme);
}

TEST(InetError, EveryCodeHasItsOwnText) {
    const int codes[] = {InetError::kNone,
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
                         InetError::kSecureFailure};
    std::set<std::string> texts;
    for (int code : codes) {
        const std::string text = InetError::Text(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find("Unknown"), std::string::npos) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes));
    EXPECT_EQ(InetError::Text(InetError::kTimeout), "The operation timed out");
    EXPECT_EQ(InetError::Text(4711), "Unknown internet error 4711");
    EXPECT_EQ(InetError::Text(-1), "Unknown internet error -1");
}

TEST(HttpDate, ReadsTheThreeForms) {
    const TDateFields expected{1994, 11, 6, 8, 49, 37, 0};
    for (const char* text :
         {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"}) {
        TDateFields f;
        ASSERT_TRUE(HttpDate::Parse(text, f, 2026)) << text;
        EXPECT_EQ(std::tie(f.year, f.month, f.day, f.hour, f.minute, f.second, f.millisecond),
                  std::tie(expected.year, expected.month, expected.day, expected.hour, expected.minute,
                           expected.second, expected.millisecond))
            << text;
    }
}

TEST(HttpDate, ResolvesTwoDigitYearsWithinFiftyYears) {
    TDateFields f;
    ASSERT_TRUE(HttpDate::Parse("Monday, 01-Jan-76 00:00:00 GMT", f, 2026));
    EXPECT_EQ(f.year, 2076);
    ASSERT_TRUE(HttpDate::Parse("Monday, 01-Jan-77 00:00:00 GMT", f, 2026));
    EXPECT_EQ(f.year, 1977);
    ASSERT_TRUE(HttpDate::Parse("Monday, 01-Jan-25 00:00:00 GMT", f, 2026));
    EXPECT_EQ(f.year, 2025);
}

TEST(HttpDate, RejectsMalformedAndImpossibleDates) {
    const TDateFields untouched{1, 2, 3, 4, 5, 6, 7};
    for (const char* text :
         {"", "garbage", "Sun, 06 Nov 1994 08:49:37", "Sun, 06 Nov 1994 08:49:37 GMT ",
          " Sun, 06 Nov 1994 08:49:37 GMT", "Sun, 6 Nov 1994 08:49:37 GMT", "Sun, 06 nov 1994 08:49:37 GMT",
          "Xyz, 06 Nov 1994 08:49:37 GMT", "Sun, 30 Feb 2024 08:49:37 GMT", "Sun, 29 Feb 2023 08:49:37 GMT",
          "Sun, 06 Nov 1994 24:00:00 GMT", "Sun, 06 Nov 1994 08:60:00 GMT", "Sun, 00 Nov 1994 08:49:37 GMT",
          "Sun, 06 Nov 0000 08:49:37 GMT", "Sun Nov 6 08:49:37 1994", "Sun, 06 Nov 1994 08:49:37 UTC",
          "1994-11-06T08:49:37Z"}) {
        TDateFields f = untouched;
        EXPECT_FALSE(HttpDate::Parse(text, f, 2026)) << text;
        EXPECT_EQ(f.year, 1) << text;
        EXPECT_EQ(f.millisecond, 7) << text;
    }
}

TEST(HttpDate, AcceptsLeapDayAndFoldsLeapSecond) {
    TDateFields f;
    ASSERT_TRUE(HttpDate::Parse("Thu, 29 Feb 2024 23:59:60 GMT", f, 2026));
    EXPECT_EQ(f.day, 29);
    EXPECT_EQ(f.second, 59);
    EXPECT_NO_THROW(DateTime::Encode(f));
}

} // namespace
