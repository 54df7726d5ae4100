#pragma once

#include "QuorvelExport.h"

#include <cstdint>
#include <ctime>
#include <stdexcept>

namespace quorvel {

// A date-time value: days since 1899-12-30 with the time of day as the fraction.
using TDateTime = double;

// Raised by the strict encoders for fields out of range.
class QUORVEL_EXPORT EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct QUORVEL_EXPORT TDateFields {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

namespace DateTime {

// Strict encoders: throw EConvertError for out-of-range fields (all zero included).
QUORVEL_EXPORT TDateTime EncodeDate(int year, int month, int day);
QUORVEL_EXPORT TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
QUORVEL_EXPORT TDateTime Encode(const TDateFields& fields);
QUORVEL_EXPORT TDateFields Decode(TDateTime value);

// Seconds since the Unix epoch, taken as calendar fields without a time-zone
// change (UTC fields in, UTC-fields value out).
QUORVEL_EXPORT TDateTime FromUnixUtc(std::int64_t seconds);
QUORVEL_EXPORT std::int64_t ToUnixUtc(TDateTime value);
// The same instant as the local wall-clock date-time value, and back.
QUORVEL_EXPORT TDateTime FromUnixLocal(std::int64_t seconds);
QUORVEL_EXPORT std::int64_t ToUnixLocal(TDateTime value);

} // namespace DateTime

} // namespace quorvel
