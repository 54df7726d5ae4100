#include "ProgressFormat.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The last text made for each unit set on this thread. Texts are asked for
// after every 4 KB block, but a two-decimal amount changes only every 10
// bytes (Kb) or 10000 bytes (Mb), so most calls reuse the previous text.
struct AmountMemo {
    const char* units = nullptr;
    std::uint64_t bucket = ~0ULL;
    QString text;
};

QString FormatAmount(std::uint64_t n, const char* bytes, const char* kilo, const char* mega) {
    char text[64];
    if (n < 1000) {
        std::snprintf(text, sizeof text, "%llu%s", static_cast<unsigned long long>(n), bytes);
        return QString::fromLocal8Bit(text);
    }
    const bool isKilo = n < 1000000;
    const std::uint64_t step = isKilo ? 10 : 10000; // one hundredth of the unit
    // Values exactly halfway between two hundredths are always formatted, so
    // that "%.2f" alone decides their rounding; any other value rounds to the
    // nearest hundredth, which is its bucket.
    // (Up to 2^53 the quotient as a double cannot cross a halfway point.)
    const bool memoable = n % step != step / 2 && n < (1ULL << 53);
    const std::uint64_t bucket = (n + step / 2) / step;
    const char* units = isKilo ? kilo : mega;
    // A few entries, so that sizes done, totals and rates do not evict each other.
    thread_local AmountMemo memo[8];
    thread_local unsigned next = 0;
    if (memoable)
        for (const AmountMemo& m : memo)
            if (m.units == units && m.bucket == bucket)
                return m.text;
    QString result;
    if (memoable) {
        // The nearest hundredth is the bucket itself: written with integers,
        // the same digits "%.2f" gives, without the cost of printf.
        const std::size_t unitsLength = std::strlen(units);
        char* end = text + sizeof text;
        char* p = end - unitsLength;
        std::memcpy(p, units, unitsLength);
        std::uint64_t hundredths = bucket;
        for (int i = 0; i < 2; ++i) {
            *--p = static_cast<char>('0' + hundredths % 10);
            hundredths /= 10;
        }
        *--p = '.';
        do {
            *--p = static_cast<char>('0' + hundredths % 10);
            hundredths /= 10;
        } while (hundredths > 0);
        result = QString::fromLatin1(p, end - p);
    } else {
        std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(n) / (isKilo ? 1000.0 : 1000000.0),
                      units);
        result = QString::fromLocal8Bit(text);
    }
    if (memoable) {
        AmountMemo& m = memo[next++ % 8];
        m.units = units;
        m.bucket = bucket;
        m.text = result;
    }
    return result;
}

// Nearest integer, exact halves to the even neighbour (the default rounding mode).
double RoundEven(double value) {
    return std::nearbyint(value);
}

QString TimeLeftText(long long secs, long long whole, bool underAMinute) {
    if (underAMinute)
        return QString::number(secs) + QStringLiteral(" sec.");
    // Hours are written only from a whole hour on, so that 31 to 59 minutes
    // read as minutes rather than "0h 45".
    if (whole >= 60)
        return QString::number(whole / 60) + QStringLiteral("h ") + QString::number(whole % 60);
    return QString::number(whole) + QStringLiteral(" minutes");
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
    // Asked for after every block, the text changes about once a second:
    // the last one made on this thread is reused while its inputs hold.
    struct TimeMemo {
        long long secs = -1, whole = -1;
        QString text;
    };
    thread_local TimeMemo memo;
    const auto wholeSecs = static_cast<long long>(secs);
    if (memo.secs == wholeSecs && memo.whole == whole && !memo.text.isNull())
        return memo.text;
    memo.secs = wholeSecs;
    memo.whole = whole;
    memo.text = TimeLeftText(wholeSecs, whole, mins == 0 && hours == 0);
    return memo.text;
}
