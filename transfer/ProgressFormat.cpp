#include "ProgressFormat.h"

#include <cmath>
#include <cstdio>

namespace {

QString FormatAmount(std::uint64_t n, const char* bytes, const char* kilo, const char* mega) {
    char text[64];
    if (n < 1000)
        std::snprintf(text, sizeof text, "%llu%s", static_cast<unsigned long long>(n), bytes);
    else if (n < 1000000)
        std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(n) / 1000.0, kilo);
    else
        std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(n) / 1000000.0, mega);
    return QString::fromLocal8Bit(text);
}

// Nearest integer, exact halves to the even neighbour (the default rounding mode).
double RoundEven(double value) {
    return std::nearbyint(value);
}

} // namespace

QString FormatSize(std::uint64_t n) {
    return FormatAmount(n, " bytes", " Kb", " Mb");
}

QString FormatRate(std::uint64_t bytesPerSecond) {
    return FormatAmount(bytesPerSecond, " bytes/sec", " Kb/sec", " Mb/sec");
}

QString FormatTimeLeft(std::uint32_t elapsedMs, std::uint64_t done, std::uint64_t total) {
    if (done == 0 || total == 0)
        return QString();
    const double rest =
        (static_cast<double>(total) - static_cast<double>(done)) * elapsedMs / static_cast<double>(done);
    const double ms = RoundEven(rest < 0 ? 0 : rest);
    const double secs = RoundEven(ms / 1000.0);
    const double mins = RoundEven(secs / 60.0);
    const double hours = RoundEven(mins / 60.0);
    const auto whole = static_cast<long long>(mins);
    if (mins == 0 && hours == 0)
        return QString::number(static_cast<long long>(secs)) + QStringLiteral(" sec.");
    // Hours are written only from a whole hour on, so that 31 to 59 minutes
    // read as minutes rather than "0h 45".
    if (whole >= 60)
        return QString::number(whole / 60) + QStringLiteral("h ") + QString::number(whole % 60);
    return QString::number(whole) + QStringLiteral(" minutes");
}
