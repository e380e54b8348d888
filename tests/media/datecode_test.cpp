#include "media/datecode.h"

#include <gtest/gtest.h>

namespace velinor {
namespace {

TEST(Datecode, KnownDaysRoundTrip) {
    struct Case {
        DatecodeFields fields;
        double value;
    };
    // 1899-12-30 is day 0; 2007-03-04 10:11:12 is the usual example of the overlay texts.
    const Case kCases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0}, 2.0},
        {{2000, 1, 1, 12, 0, 0}, 36526.5},
        {{2007, 3, 4, 10, 11, 12}, 39145.0 + (10 * 3600 + 11 * 60 + 12) / 86400.0},
        {{2026, 12, 10, 23, 59, 59}, 46366.0 + 86399 / 86400.0},
    };
    for (const auto& c : kCases) {
        const auto made = MakeDatecode(c.fields);
        ASSERT_TRUE(made) << c.fields.Year;
        EXPECT_DOUBLE_EQ(*made, c.value) << c.fields.Year;
        const auto p = DecodeDatecode(*made);
        EXPECT_EQ(p.Year, c.fields.Year);
        EXPECT_EQ(p.Month, c.fields.Month);
        EXPECT_EQ(p.Day, c.fields.Day);
        EXPECT_EQ(p.Hour, c.fields.Hour);
        EXPECT_EQ(p.Minute, c.fields.Minute);
        EXPECT_EQ(p.Second, c.fields.Second);
        EXPECT_EQ(p.Millisecond, 0);
    }
    EXPECT_EQ(DecodeDatecode(39145.0).DayOfWeek, 1);  // 4 March 2007 was a Sunday
}

TEST(Datecode, ImpossibleFieldsAreAbsent) {
    const DatecodeFields kBad[] = {
        {2007, 13, 1, 0, 0, 0}, {2007, 2, 29, 0, 0, 0}, {2007, 1, 0, 0, 0, 0}, {2007, 1, 1, 24, 0, 0},
        {2007, 1, 1, 0, 60, 0}, {2007, 1, 1, 0, 0, 60}, {0, 1, 1, 0, 0, 0},    {10000, 1, 1, 0, 0, 0},
        {2007, 0, 1, 0, 0, 0},  {2065, 4, 32, 0, 0, 0},
    };
    for (const auto& f : kBad)
        EXPECT_FALSE(MakeDatecode(f)) << f.Year << '-' << int(f.Month) << '-' << int(f.Day);
    EXPECT_TRUE(MakeDatecode({2024, 2, 29, 0, 0, 0}));
}

}  // namespace
}  // namespace velinor
