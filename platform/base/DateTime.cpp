#include "DateTime.h"

#include <cmath>

namespace quorvel {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Days from 1899-12-30 to 1970-01-01.
constexpr std::int64_t kUnixEpochDays = 25569;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

} // namespace

namespace DateTime {

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        throw EConvertError("Invalid argument to time encode");
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / (kSecondsPerDay * 1000.0);
}

TDateTime Encode(const TDateFields& f) {
    const TDateTime date = EncodeDate(f.year, f.month, f.day);
    const TDateTime time = EncodeTime(f.hour, f.minute, f.second, f.millisecond);
    return date >= 0 ? date + time : date - time;
}

TDateFields Decode(TDateTime value) {
    TDateFields f;
    const double days = std::floor(value);
    std::int64_t ms = std::llround((value - days) * kSecondsPerDay * 1000.0);
    std::int64_t wholeDays = static_cast<std::int64_t>(days);
    if (ms >= kSecondsPerDay * 1000) {
        ms -= kSecondsPerDay * 1000;
        ++wholeDays;
    }
    CivilFromDays(wholeDays - kUnixEpochDays, f.year, f.month, f.day);
    f.millisecond = static_cast<int>(ms % 1000);
    f.second = static_cast<int>(ms / 1000 % 60);
    f.minute = static_cast<int>(ms / 60000 % 60);
    f.hour = static_cast<int>(ms / 3600000);
    return f;
}

TDateTime FromUnixUtc(std::int64_t seconds) {
    return static_cast<double>(kUnixEpochDays) + static_cast<double>(seconds) / kSecondsPerDay;
}

std::int64_t ToUnixUtc(TDateTime value) {
    return std::llround((value - static_cast<double>(kUnixEpochDays)) * kSecondsPerDay);
}

TDateTime FromUnixLocal(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return FromUnixUtc(seconds + local.tm_gmtoff);
}

std::int64_t ToUnixLocal(TDateTime value) {
    const TDateFields f = Decode(value);
    std::tm local{};
    local.tm_year = f.year - 1900;
    local.tm_mon = f.month - 1;
    local.tm_mday = f.day;
    local.tm_hour = f.hour;
    local.tm_min = f.minute;
    local.tm_sec = f.second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

} // namespace DateTime

} // namespace quorvel
