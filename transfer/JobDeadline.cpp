#include "JobDeadline.h"

#include "WebCopyItem.h"

#include <atomic>

namespace quorvel {

namespace JobDeadline {

namespace {

std::atomic<long long> graceMs{std::chrono::milliseconds(kGrace).count()};

// Longer than any download runs: a job whose rate gives more has no deadline.
constexpr long double kLongestMs = 10.0L * 365 * 24 * 3600 * 1000;

} // namespace

std::optional<std::chrono::steady_clock::time_point> For(const TWebCopyItem& job) {
    if (job.MaxSize == 0 || job.MinAverageRate == 0)
        return std::nullopt;
    const long double transferMs = static_cast<long double>(job.MaxSize) * 1000 / job.MinAverageRate;
    if (transferMs > kLongestMs)
        return std::nullopt;
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs.load()) +
           std::chrono::milliseconds(static_cast<long long>(transferMs) + 1);
}

void SetGrace(std::chrono::milliseconds grace) {
    graceMs = grace.count() > 0 ? grace.count() : std::chrono::milliseconds(kGrace).count();
}

} // namespace JobDeadline

} // namespace quorvel
