#pragma once

#include "DateTime.h"

#include <string_view>

namespace quorvel {

// Reads an HTTP date (Last-Modified and the like) with libcurl's date parser,
// which takes every form a server may send: "Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994", and the
// looser spellings seen in practice (one-digit days, lower-case names). The
// result is the instant as calendar fields in UTC, millisecond 0. Text that is
// no date, and dates outside the years 1 to 9999, give false and leave fields
// untouched.
namespace HttpDate {

bool Parse(std::string_view text, TDateFields& fields);

} // namespace HttpDate

} // namespace quorvel
