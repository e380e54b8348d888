#include "media/datetime_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace velinor {
namespace {

Datecode at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    const auto d = MakeDatecode({year, static_cast<uint8_t>(month), static_cast<uint8_t>(day),
                                 static_cast<uint8_t>(hour), static_cast<uint8_t>(minute),
                                 static_cast<uint8_t>(second)});
    EXPECT_TRUE(d) << year << '-' << month << '-' << day;
    return d.value_or(0) + ms / (kSecondsPerDay * 1000.0);
}

struct PatternCase {
    const char* pattern;
    Datecode value;
    const char* text;
};

void expectAll(const PatternCase* begin, const PatternCase* end) {
    for (const PatternCase* c = begin; c != end; ++c) {
        EXPECT_EQ(DatePattern(c->pattern).format(c->value), c->text) << "pattern [" << c->pattern << "]";
        EXPECT_EQ(FormatDateTime(c->pattern, c->value), c->text) << "pattern [" << c->pattern << "]";
    }
}

// Sunday 4 March 2007, 14:05:09.045.
const Datecode kAfternoon = at(2007, 3, 4, 14, 5, 9, 45);

TEST(DatePattern, ProgramPatterns) {
    const PatternCase kCases[] = {
        {"yyyymmddhhnnss", kAfternoon, "20070304140509"},
        {"ddddd", kAfternoon, "04/03/2007"},
        {"tt", kAfternoon, "14:05:09"},
        {" ddddd tt", kAfternoon, " 04/03/2007 14:05:09"},
        {"d/mm/yyyy", kAfternoon, "4/03/2007"},
        {"h:mm:ss", kAfternoon, "14:05:09"},
        {"h:mm:ss", at(1998, 12, 31, 7, 0, 3), "7:00:03"},
        {"yyyymmdd", kAfternoon, "20070304"},
        {"yyyymmddhhnnss", at(2026, 1, 2, 3, 4, 5), "20260102030405"},
    };
    expectAll(std::begin(kCases), std::end(kCases));
}

TEST(DatePattern, FieldsAndRegionalFormats) {
    const PatternCase kCases[] = {
        {"d dd", at(2007, 3, 4), "4 04"},
        {"d dd", at(2007, 3, 14), "14 14"},
        {"m mm", at(2007, 3, 4), "3 03"},
        {"m mm", at(2007, 11, 4), "11 11"},
        {"y yy yyy yyyy", kAfternoon, "07 07 2007 2007"},
        {"yyyy yy", at(5, 1, 1), "0005 05"},
        {"h hh n nn s ss", at(2007, 3, 4, 9, 5, 7), "9 09 5 05 7 07"},
        {"z zz zzz", kAfternoon, "45 045 045"},
        {"ss.zzz", at(2007, 3, 4, 0, 0, 1, 7), "01.007"},
        {"z", at(2007, 3, 4, 0, 0, 1, 999), "999"},
        {"t", kAfternoon, "14:05"},
        {"dddddd", kAfternoon, "dimanche 4 mars 2007"},
        {"dddddddd", at(2026, 12, 10), "jeudi 10 décembre 2026"},
        {"c", kAfternoon, "04/03/2007 14:05:09"},
        {"", kAfternoon, "04/03/2007 14:05:09"},
        {"dd.mm.yy", kAfternoon, "04.03.07"},
        {"DDDD D MMMM YYYY", kAfternoon, "dimanche 4 mars 2007"},
    };
    expectAll(std::begin(kCases), std::end(kCases));
}

TEST(DatePattern, FrenchNames) {
    struct NameCase {
        Datecode value;
        const char* text;
    };
    // 4-10 March 2007 is a week from Sunday to Saturday.
    const NameCase kDays[] = {
        {at(2007, 3, 4), "dim. dimanche"}, {at(2007, 3, 5), "lun. lundi"}, {at(2007, 3, 6), "mar. mardi"},
        {at(2007, 3, 7), "mer. mercredi"}, {at(2007, 3, 8), "jeu. jeudi"}, {at(2007, 3, 9), "ven. vendredi"},
        {at(2007, 3, 10), "sam. samedi"},
    };
    for (const auto& c : kDays) EXPECT_EQ(FormatDateTime("ddd dddd", c.value), c.text);
    const char* const kMonths[] = {
        "janv. janvier", "févr. février", "mars mars",       "avr. avril",   "mai mai",       "juin juin",
        "juil. juillet", "août août",     "sept. septembre", "oct. octobre", "nov. novembre", "déc. décembre",
    };
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(FormatDateTime("mmm mmmm", at(2007, m, 1)), kMonths[m - 1]) << m;
}

TEST(DatePattern, MinutesAfterHours) {
    const PatternCase kCases[] = {
        {"hh:mm", kAfternoon, "14:05"},
        {"HH:MM", kAfternoon, "14:05"},
        {"h:m", at(2007, 3, 4, 9, 7), "9:7"},
        {"hhmm", kAfternoon, "1405"},
        {"hhmmm", kAfternoon, "1405"},     // any run of m right after hours is minutes
        {"hh'h'mm", kAfternoon, "14h05"},  // quoted text keeps the link
        {"hh mm", kAfternoon, "14 05"},    // only letters break it
        {"mm hh", kAfternoon, "03 14"},
        {"hh:nn mm", kAfternoon, "14:05 03"},  // n came between
        {"hh:mm:ss mm", kAfternoon, "14:05:09 03"},
        {"tt mm", kAfternoon, "14:05:09 03"},
    };
    expectAll(std::begin(kCases), std::end(kCases));
}

TEST(DatePattern, QuotedAndOtherText) {
    const PatternCase kCases[] = {
        {"'le' d mmmm", kAfternoon, "le 4 mars"},
        {"\"dd\" dd", kAfternoon, "dd 04"},
        {"'l''an' yyyy", kAfternoon, "lan 2007"},
        {"\"it's\" yy", kAfternoon, "it's 07"},
        {"dd 'le mm", kAfternoon, "04 le mm"},  // an unmatched quote runs to the end
        {"dd \"", kAfternoon, "04 "},
        {"''", kAfternoon, ""},
        {"yyyy-mm-dd_hhnnss", kAfternoon, "2007-03-04_140509"},
        {"xqb [yy] #", kAfternoon, "xqb [07] #"},
        {"Ab", kAfternoon, "Ab"},            // an a that starts no indicator is copied
        {"où yyyy", kAfternoon, "où 2007"},  // UTF-8 passes through
        {"/:", kAfternoon, "/:"},
    };
    expectAll(std::begin(kCases), std::end(kCases));
}

TEST(DatePattern, TwelveHourClock) {
    const PatternCase kCases[] = {
        {"hh:nn am/pm", kAfternoon, "02:05 pm"},
        {"hh:nn am/pm", at(2007, 3, 4, 0, 30), "12:30 am"},
        {"hh:nn am/pm", at(2007, 3, 4, 12, 0), "12:00 pm"},
        {"hh:nn am/pm", at(2007, 3, 4, 11, 59), "11:59 am"},
        {"h a/p", at(2007, 3, 4, 0, 0), "12 a"},
        {"h A/P", at(2007, 3, 4, 23, 0), "11 P"},
        {"h AM/PM", at(2007, 3, 4, 1, 0), "1 AM"},
        {"h Am/pM", at(2007, 3, 4, 13, 0), "1 pM"},
        {"am/pm h", at(2007, 3, 4, 13, 0), "pm 1"},  // the indicator may come first
        {"hh ampm", kAfternoon, "02 "},              // French settings have no AM/PM strings
        {"h", at(2007, 3, 4, 0, 0), "0"},
        {"h", at(2007, 3, 4, 12, 0), "12"},
        {"hh 'am/pm'", kAfternoon, "14 am/pm"},   // quoted indicators count for nothing
        {"tt am/pm", kAfternoon, "14:05:09 pm"},  // the regional time format keeps 24 hours
    };
    expectAll(std::begin(kCases), std::end(kCases));
}

TEST(DatePattern, ShortDateAloneAtMidnight) {
    const PatternCase kCases[] = {
        {"c", at(2007, 3, 4), "04/03/2007"},
        {"c", at(2007, 3, 4, 0, 0, 0, 500), "04/03/2007"},  // milliseconds do not count
        {"c", at(2007, 3, 4, 0, 0, 1), "04/03/2007 00:00:01"},
        {"c|", at(2007, 3, 4), "04/03/2007|"},
        {"c|", at(2007, 3, 4, 0, 1), "04/03/2007 00:01:00|"},
        {"cc'x'", at(2007, 3, 4), "04/03/2007x"},
        {"", at(1899, 12, 30), "30/12/1899"},
    };
    expectAll(std::begin(kCases), std::end(kCases));
}

TEST(DatePattern, RoundsToTheMillisecond) {
    // 23:59:59.9996 rounds into the next day.
    const Datecode late = at(2007, 12, 31, 23, 59, 59) + 0.9996 / kSecondsPerDay;
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", late), "2008-01-01 00:00:00.000");
}

TEST(DatePattern, UnrepresentableValuesGiveZeroFields) {
    const Datecode kValues[] = {std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                1e300,
                                -1e300,
                                2'958'466.0,
                                -693'594.0};
    for (const Datecode v : kValues) {
        EXPECT_EQ(FormatDateTime("c|dddd|mmmm|hh", v), "00/00/0000|||00") << v;
    }
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", 2'958'465.0), "9999-12-31");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", -693'593.0), "0001-01-01");
}

TEST(DatePattern, AppendsAndCopies) {
    const DatePattern p(" ddddd tt");
    EXPECT_EQ(p.pattern(), " ddddd tt");
    std::string out = "[";
    p.formatTo(out, kAfternoon);
    p.formatTo(out, at(2026, 1, 2, 3, 4, 5));
    EXPECT_EQ(out, "[ 04/03/2007 14:05:09 02/01/2026 03:04:05");

    DatePattern copy = p;
    DatePattern other("yyyy");
    other = copy;
    DatePattern moved = std::move(copy);
    EXPECT_EQ(other.format(kAfternoon), " 04/03/2007 14:05:09");
    EXPECT_EQ(moved.format(kAfternoon), " 04/03/2007 14:05:09");
    EXPECT_EQ(moved.pattern(), " ddddd tt");
}

}  // namespace
}  // namespace velinor
