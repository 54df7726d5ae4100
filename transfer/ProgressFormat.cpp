#include "ProgressFormat.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <string_view>

namespace quorvel {

namespace {

// The decimal separator of the user's locale (Qt's default locale, which is
// the system's unless the program sets another), looked up again only when
// the default locale changes.
struct Separator {
    QLocale locale = QLocale::c();
    QString text = QStringLiteral(".");
    unsigned generation = 0; // changes with the separator
};

const Separator& DecimalSeparator() {
    thread_local Separator current;
    const QLocale locale;
    if (locale != current.locale) {
        current.locale = locale;
        const QString text = locale.decimalPoint();
        if (text != current.text) {
            current.text = text;
            ++current.generation;
        }
    }
    return current;
}

// The last text made for each unit set on this thread. Texts are asked for
// after every 4 KB block, but a two-decimal amount changes only every 10
// bytes (Kb) or 10000 bytes (Mb), so most calls reuse the previous text.
struct AmountMemo {
    const char* units = nullptr;
    std::uint64_t bucket = ~0ULL;
    unsigned generation = 0;
    QString text;
};

// Whole units, the separator, two decimals and the unit text.
QString AmountText(std::string_view whole, const QString& separator, std::string_view hundredths,
                   std::string_view units) {
    QString text;
    text.reserve(static_cast<qsizetype>(whole.size() + hundredths.size() + units.size()) + separator.size());
    text.append(QLatin1StringView(whole.data(), static_cast<qsizetype>(whole.size())));
    text.append(separator);
    text.append(QLatin1StringView(hundredths.data(), static_cast<qsizetype>(hundredths.size())));
    text.append(QLatin1StringView(units.data(), static_cast<qsizetype>(units.size())));
    return text;
}

QString FormatAmount(std::uint64_t n, const char* bytes, const char* kilo, const char* mega) {
    char text[64];
    if (n < 1000) {
        std::snprintf(text, sizeof text, "%llu%s", static_cast<unsigned long long>(n), bytes);
        return QString::fromLatin1(text);
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
    const Separator& separator = DecimalSeparator();
    // A few entries, so that sizes done, totals and rates do not evict each other.
    thread_local AmountMemo memo[8];
    thread_local unsigned next = 0;
    if (memoable)
        for (const AmountMemo& m : memo)
            if (m.units == units && m.bucket == bucket && m.generation == separator.generation)
                return m.text;
    QString result;
    if (memoable) {
        // The nearest hundredth is the bucket itself: written with integers,
        // the same digits "%.2f" gives, without the cost of printf.
        char* end = text + sizeof text;
        char* p = end;
        std::uint64_t hundredths = bucket;
        for (int i = 0; i < 2; ++i) {
            *--p = static_cast<char>('0' + hundredths % 10);
            hundredths /= 10;
        }
        char* decimals = p;
        do {
            *--p = static_cast<char>('0' + hundredths % 10);
            hundredths /= 10;
        } while (hundredths > 0);
        result =
            AmountText({p, static_cast<std::size_t>(decimals - p)}, separator.text, {decimals, 2}, units);
    } else {
        // printf's radix character follows the C library's locale; only its
        // digits are taken, and the separator is the one of all other texts.
        const int length =
            std::snprintf(text, sizeof text, "%.2f", static_cast<double>(n) / (isKilo ? 1000.0 : 1000000.0));
        std::size_t whole = 0;
        while (text[whole] >= '0' && text[whole] <= '9')
            ++whole;
        result = AmountText({text, whole}, separator.text, {text + length - 2, 2}, units);
    }
    if (memoable) {
        AmountMemo& m = memo[next++ % 8];
        m.units = units;
        m.bucket = bucket;
        m.generation = separator.generation;
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

int ProgressPercent(std::uint64_t done, std::uint64_t total) {
    if (total == 0)
        return 0;
    return static_cast<int>(RoundEven(static_cast<double>(done) * 100.0 / static_cast<double>(total)));
}

std::uint64_t BytesPerSecond(std::uint64_t bytes, std::uint32_t elapsedMs) {
    return static_cast<std::uint64_t>(
        RoundEven(static_cast<double>(bytes) / (static_cast<double>(elapsedMs) + 1.0) * 1000.0));
}

} // namespace quorvel
