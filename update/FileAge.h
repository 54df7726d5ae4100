#pragma once

#include "DateTime.h"

#include <string>

namespace quorvel {

// The last-write time of a file as a UTC date-time value with the two-second
// resolution of a DOS file stamp (an odd second is rounded down). UTC, so
// that it compares with a server's GMT date whatever the machine's time zone.
// Returns false when the file does not exist.
bool FileAgeDate(const std::string& path, TDateTime& age);

} // namespace quorvel
