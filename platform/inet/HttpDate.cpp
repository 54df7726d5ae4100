#include "HttpDate.h"

#include <array>
#include <cctype>
#include <ctime>

namespace HttpDate {
namespace {

constexpr std::array<std::string_view, 7> kShortDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDays = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                       "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A cursor over the text; every step consumes exactly what it matched.
class Scanner {
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_pos == m_text.size(); }

    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }

    // Exactly count decimal digits.
    bool Digits(int count, int& value) {
        if (m_pos + count > m_text.size())
            return false;
        value = 0;
        for (int i = 0; i < count; ++i) {
            const char c = m_text[m_pos + i];
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return false;
            value = value * 10 + (c - '0');
        }
        m_pos += count;
        return true;
    }

    // One of the names (case-sensitive, as the grammar requires); its index.
    template <std::size_t N> bool Name(const std::array<std::string_view, N>& names, int& index) {
        for (std::size_t i = 0; i < N; ++i) {
            if (Literal(names[i])) {
                index = static_cast<int>(i);
                return true;
            }
        }
        return false;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

bool Time(Scanner& s, TDateFields& f) {
    return s.Digits(2, f.hour) && s.Literal(":") && s.Digits(2, f.minute) && s.Literal(":") &&
           s.Digits(2, f.second);
}

bool PreferredForm(std::string_view text, TDateFields& f) {
    Scanner s(text);
    int day = 0;
    return s.Name(kShortDays, day) && s.Literal(", ") && s.Digits(2, f.day) && s.Literal(" ") &&
           s.Name(kMonths, f.month) && s.Literal(" ") && s.Digits(4, f.year) && s.Literal(" ") &&
           Time(s, f) && s.Literal(" GMT") && s.AtEnd();
}

bool TwoDigitYearForm(std::string_view text, TDateFields& f, int currentYear) {
    Scanner s(text);
    int day = 0;
    if (!(s.Name(kLongDays, day) && s.Literal(", ") && s.Digits(2, f.day) && s.Literal("-") &&
          s.Name(kMonths, f.month) && s.Literal("-") && s.Digits(2, f.year) && s.Literal(" ") && Time(s, f) &&
          s.Literal(" GMT") && s.AtEnd()))
        return false;
    // The most recent year with these last two digits that is not more than
    // 50 years ahead.
    int year = currentYear - currentYear % 100 + f.year;
    if (year > currentYear + 50)
        year -= 100;
    f.year = year;
    return true;
}

bool AsctimeForm(std::string_view text, TDateFields& f) {
    Scanner s(text);
    int day = 0;
    if (!(s.Name(kShortDays, day) && s.Literal(" ") && s.Name(kMonths, f.month) && s.Literal(" ")))
        return false;
    // The day is two digits or a blank and one digit.
    if (!(s.Digits(2, f.day) || (s.Literal(" ") && s.Digits(1, f.day))))
        return false;
    return s.Literal(" ") && Time(s, f) && s.Literal(" ") && s.Digits(4, f.year) && s.AtEnd();
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool Valid(const TDateFields& f) {
    static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (f.year < 1 || f.month < 1 || f.month > 12 || f.day < 1)
        return false;
    const int days = kDaysIn[f.month - 1] + (f.month == 2 && IsLeap(f.year) ? 1 : 0);
    return f.day <= days && f.hour <= 23 && f.minute <= 59 && f.second <= 60;
}

} // namespace

bool Parse(std::string_view text, TDateFields& fields, int currentYear) {
    TDateFields f;
    const bool matched = PreferredForm(text, f) || (f = {}, TwoDigitYearForm(text, f, currentYear)) ||
                         (f = {}, AsctimeForm(text, f));
    if (!matched)
        return false;
    ++f.month; // the scanner gave the 0-based index
    if (!Valid(f))
        return false;
    if (f.second == 60)
        f.second = 59; // a date value has no leap second
    f.millisecond = 0;
    fields = f;
    return true;
}

bool Parse(std::string_view text, TDateFields& fields) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    return Parse(text, fields, tm.tm_year + 1900);
}

} // namespace HttpDate
