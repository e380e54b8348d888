#pragma once
// The datecode: the recording date and time of a DV frame, as a day count.
#include <cstdint>
#include <optional>

namespace velinor {

// Days since 30 December 1899 00:00; the fraction is the time of day (one second = 1/86 400).
// Every holder keeps a separate valid flag beside the value, which is 0 when absent.
using Datecode = double;

constexpr double kSecondsPerDay = 86'400.0;
constexpr double kOneSecond = 1.0 / kSecondsPerDay;

// The six fields of a recording date and time, in this order.
struct DatecodeFields {
    int32_t Year = 0;  // four digits
    uint8_t Month = 0;
    uint8_t Day = 0;
    uint8_t Hour = 0;
    uint8_t Minute = 0;
    uint8_t Second = 0;
    bool operator==(const DatecodeFields&) const = default;
};

// A datecode from its fields with milliseconds 0; empty when a field is outside its calendar
// range (year 1-9999, month 1-12, day within the month, hour 0-23, minute and second 0-59).
std::optional<Datecode> MakeDatecode(const DatecodeFields& fields);

// A datecode split into calendar fields, to the millisecond (rounded to the nearest one).
struct DatecodeParts {
    int32_t Year = 0;
    int Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int DayOfWeek = 0;  // 1 = Sunday ... 7 = Saturday
};
DatecodeParts DecodeDatecode(Datecode value);

}  // namespace velinor
