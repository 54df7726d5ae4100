#pragma once

#include "DateTime.h"

#include <string_view>

// Reads an HTTP date in any of the three forms a server may send:
//   "Sun, 06 Nov 1994 08:49:37 GMT"   (the preferred form)
//   "Sunday, 06-Nov-94 08:49:37 GMT"  (two-digit year)
//   "Sun Nov  6 08:49:37 1994"        (C asctime form)
// Strict: the whole text must match one form and every field must be a real
// calendar value; otherwise it returns false and leaves fields untouched.
// The fields are the GMT values as written (a leap second reads as 59), with
// millisecond 0. currentYear resolves the century of a two-digit year: the
// year may lie at most 50 years ahead of it.
namespace HttpDate {

bool Parse(std::string_view text, TDateFields& fields, int currentYear);
// The same with the current year of the system clock.
bool Parse(std::string_view text, TDateFields& fields);

} // namespace HttpDate
