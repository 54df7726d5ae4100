#pragma once

#include "QuorvelExport.h"

#include <QString>

#include <cstdint>

namespace quorvel {

// Texts of the progress window. Sizes use decimal thousands ("1.50 Kb" is
// 1500 bytes) and two decimals with the decimal separator of the user's
// locale (Qt's default locale), whichever way the digits were made.
QUORVEL_EXPORT QString FormatSize(std::uint64_t n);
QUORVEL_EXPORT QString FormatRate(std::uint64_t bytesPerSecond);
// Time left from the elapsed milliseconds and the bytes done and expected:
// "29 sec.", "2 minutes", "2h 30"; empty while nothing is done or when the
// total is unknown.
QUORVEL_EXPORT QString FormatTimeLeft(std::uint32_t elapsedMs, std::uint64_t done, std::uint64_t total);
// The bar's position: done in whole percent of total, to the nearest (an
// exact half to the even neighbour); 0 while the total is unknown.
QUORVEL_EXPORT int ProgressPercent(std::uint64_t done, std::uint64_t total);
// The rate of `bytes` moved in elapsedMs milliseconds, one millisecond added
// so that the first block has a rate too.
QUORVEL_EXPORT std::uint64_t BytesPerSecond(std::uint64_t bytes, std::uint32_t elapsedMs);

} // namespace quorvel
