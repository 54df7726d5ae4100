#include "UtcTime.h"

#include <chrono>
#include <cstdio>

namespace quorvel {

namespace UtcTime {

namespace {

using namespace std::chrono;

constexpr int kFirstYear = 1970;
constexpr std::int64_t kLastSecond = 253402300799; // 9999-12-31T23:59:59Z

// The decimal number of text[at, at + width), digits only.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t width) {
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<std::int64_t> Parse(std::string_view text) {
    // 0123456789012345678901234
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const auto h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    if (!y || !mo || !d || !h || !mi || !s || *y < kFirstYear || *h > 23 || *mi > 59 || *s > 59)
        return std::nullopt;
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)}, day{static_cast<unsigned>(*d)}};
    if (!date.ok())
        return std::nullopt;
    const seconds since = sys_days(date).time_since_epoch() + hours{*h} + minutes{*mi} + seconds{*s};
    return since.count();
}

std::string Format(std::int64_t value) {
    if (value < 0 || value > kLastSecond)
        return std::string();
    const sys_seconds time{seconds{value}};
    const sys_days date = floor<days>(time);
    const year_month_day ymd{date};
    const hh_mm_ss clock{time - date};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::int64_t Now() {
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace UtcTime

} // namespace quorvel
