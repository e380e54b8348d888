#include "media/datecode.h"

#include <chrono>
#include <cmath>

namespace velinor {

namespace {

using namespace std::chrono;

// Day 0 of the datecode scale.
constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

}  // namespace

std::optional<Datecode> MakeDatecode(const DatecodeFields& f) {
    if (f.Year < 1 || f.Year > 9999 || f.Hour > 23 || f.Minute > 59 || f.Second > 59) return std::nullopt;
    const year_month_day date{year{f.Year}, month{f.Month}, day{f.Day}};
    if (!date.ok()) return std::nullopt;
    const double days = static_cast<double>((sys_days{date} - kEpoch).count());
    const double time = (f.Hour * 3600 + f.Minute * 60 + f.Second) / kSecondsPerDay;
    // Before the epoch the fraction still counts forward from midnight, as the day count does not.
    return days >= 0 ? days + time : days - time;
}

DatecodeParts DecodeDatecode(Datecode value) {
    // Whole milliseconds since the epoch's midnight; negative values count the time of day
    // as a positive fraction of the (negative) day part.
    double dayPart = std::trunc(value);
    double fraction = std::fabs(value - dayPart);
    int64_t ms = std::llround(fraction * kSecondsPerDay * 1000.0);
    if (ms >= 86'400'000) {  // rounding reached the next day
        ms -= 86'400'000;
        dayPart += value >= 0 ? 1 : -1;
    }
    const sys_days d = kEpoch + days{static_cast<int64_t>(dayPart)};
    const year_month_day ymd{d};
    DatecodeParts p;
    p.Year = static_cast<int>(ymd.year());
    p.Month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    p.Day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    p.Hour = static_cast<int>(ms / 3'600'000);
    p.Minute = static_cast<int>(ms / 60'000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Millisecond = static_cast<int>(ms % 1000);
    p.DayOfWeek = static_cast<int>(weekday{d}.c_encoding()) + 1;
    return p;
}

}  // namespace velinor
