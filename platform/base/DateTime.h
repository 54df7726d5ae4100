#pragma once

#include <cstdint>
#include <ctime>
#include <stdexcept>

namespace quorvel {

// A date-time value: days since 1899-12-30 with the time of day as the fraction.
using TDateTime = double;

// Raised by the strict encoders for fields out of range.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TDateFields {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

namespace DateTime {

// Strict encoders: throw EConvertError for out-of-range fields (all zero included).
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime Encode(const TDateFields& fields);
TDateFields Decode(TDateTime value);

// Seconds since the Unix epoch, taken as calendar fields without a time-zone
// change (UTC fields in, UTC-fields value out).
TDateTime FromUnixUtc(std::int64_t seconds);
std::int64_t ToUnixUtc(TDateTime value);
// The same instant as the local wall-clock date-time value, and back.
TDateTime FromUnixLocal(std::int64_t seconds);
std::int64_t ToUnixLocal(TDateTime value);

} // namespace DateTime

} // namespace quorvel
