#include "server/store/AuditTime.h"

#include <cstdio>

namespace warden {

namespace {

// Reads exactly `digits` decimal digits at `pos`; nullopt otherwise.
std::optional<int> Digits(std::string_view text, size_t& pos, size_t digits) {
    if (text.size() < pos + digits) return std::nullopt;
    int value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    pos += digits;
    return value;
}

bool Take(std::string_view text, size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

}  // namespace

std::string FormatAuditTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(when);
    const auto day = floor<days>(ms);
    const year_month_day date(day);
    const hh_mm_ss clock(ms - day);
    char text[80];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::optional<std::string> ParseAuditTimeBound(std::string_view text, bool upper) {
    size_t pos = 0;
    auto year = Digits(text, pos, 4);
    if (!year || !Take(text, pos, '-')) return std::nullopt;
    auto month = Digits(text, pos, 2);
    if (!month || !Take(text, pos, '-')) return std::nullopt;
    auto day = Digits(text, pos, 2);
    if (!day) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) return std::nullopt;

    // Each part after the date, with the value that stands in when it is left out.
    int hour = upper ? 23 : 0, minute = upper ? 59 : 0, second = upper ? 59 : 0;
    int millis = upper ? 999 : 0;
    if (Take(text, pos, 'T') || Take(text, pos, ' ')) {
        auto h = Digits(text, pos, 2);
        if (!h || *h > 23) return std::nullopt;
        hour = *h;
        if (Take(text, pos, ':')) {
            auto m = Digits(text, pos, 2);
            if (!m || *m > 59) return std::nullopt;
            minute = *m;
            if (Take(text, pos, ':')) {
                auto s = Digits(text, pos, 2);
                if (!s || *s > 59) return std::nullopt;
                second = *s;
                if (Take(text, pos, '.')) {
                    auto f = Digits(text, pos, 3);
                    if (!f) return std::nullopt;
                    millis = *f;
                }
            }
        }
    }
    Take(text, pos, 'Z');
    if (pos != text.size()) return std::nullopt;
    char out[80];
    std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", *year, *month, *day, hour,
                  minute, second, millis);
    return out;
}

}  // namespace warden
