#pragma once

#include <chrono>
#include <optional>

namespace quorvel {

class TWebCopyItem;

// The time by which a download job must have ended: a fixed grace for
// connecting and the server's first answer, plus what the job's expected size
// (MaxSize) takes at its least average rate (MinAverageRate). A transfer that
// trickles just above the low-speed limit would otherwise go on for days.
namespace JobDeadline {

constexpr std::chrono::seconds kGrace{60};

// From now; nullopt when the job has no size or no rate.
std::optional<std::chrono::steady_clock::time_point> For(const TWebCopyItem& job);

// Test seam: the grace of deadlines computed afterwards; 0 restores kGrace.
void SetGrace(std::chrono::milliseconds grace);

} // namespace JobDeadline

} // namespace quorvel
