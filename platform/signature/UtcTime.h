#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Times in release statements: seconds since 1970-01-01T00:00:00Z, written
// as "YYYY-MM-DDTHH:MM:SSZ" (UTC, 1970 to 9999).
namespace UtcTime {

// Exactly that form with a real calendar date and time of day (no leap
// seconds); nullopt for anything else.
std::optional<std::int64_t> Parse(std::string_view text);
// The text of a time within the range; empty outside it.
std::string Format(std::int64_t seconds);
// The system clock, in the same unit.
std::int64_t Now();

} // namespace UtcTime

} // namespace quorvel
