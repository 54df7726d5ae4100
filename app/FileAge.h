#pragma once

#include "DateTime.h"

#include <string>

// The last-write time of a file as a local date-time value with the two-second
// resolution of a DOS file stamp. Returns false when the file does not exist.
bool FileAgeDate(const std::string& path, TDateTime& age);
