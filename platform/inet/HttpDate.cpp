#include "HttpDate.h"

#include <curl/curl.h>

#include <cstdint>
#include <string>

namespace quorvel {

namespace HttpDate {
namespace {

// 0001-01-01 00:00:00 and 9999-12-31 23:59:59 UTC, in Unix seconds: the range
// a date-time value holds.
constexpr std::int64_t kFirstSecond = -62135596800LL;
constexpr std::int64_t kLastSecond = 253402300799LL;

} // namespace

bool Parse(std::string_view text, TDateFields& fields) {
    // curl_getdate needs a terminated string; a header value never holds a
    // zero byte, but a caller's view may.
    if (text.empty() || text.find('\0') != std::string_view::npos)
        return false;
    const std::string terminated(text);
    const time_t when = curl_getdate(terminated.c_str(), nullptr);
    // -1 is the parser's failure value (it is also 1969-12-31 23:59:59 GMT,
    // which no server sends as a modification date).
    if (when == -1)
        return false;
    const auto seconds = static_cast<std::int64_t>(when);
    if (seconds < kFirstSecond || seconds > kLastSecond)
        return false;
    fields = DateTime::Decode(DateTime::FromUnixUtc(seconds));
    fields.millisecond = 0;
    return true;
}

} // namespace HttpDate

} // namespace quorvel
