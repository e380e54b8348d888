#include "actions/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace velinor::text {
namespace {

TEST(FormatGeneral, FifteenDigitsFixedOrExponent) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {1, "1"},
        {-2.5, "-2.5"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {25, "25"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"},
        {1e20, "1E20"},
        {0.00001, "0.00001"},
        {0.0000015, "1.5E-6"},
        {-1e-7, "-1E-7"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatGeneral(c.value), c.text) << c.value;
}

TEST(ParseNumbers, AcceptedAndRefusedTexts) {
    struct IntCase {
        const char* text;
        std::optional<int32_t> value;
    };
    const IntCase ints[] = {{"25", 25},
                            {" -3 ", -3},
                            {"+7", 7},
                            {"", std::nullopt},
                            {"abc", std::nullopt},
                            {"12x", std::nullopt},
                            {"2147483647", 2147483647},
                            {"2147483648", std::nullopt},
                            {"1.5", std::nullopt},
                            {"+-1", std::nullopt}};
    for (const auto& c : ints) EXPECT_EQ(ParseInt32(c.text), c.value) << c.text;

    struct DoubleCase {
        const char* text;
        std::optional<double> value;
    };
    const DoubleCase doubles[] = {
        {"1.5", 1.5},           {"1,5", 1.5},          {" 2 ", 2.0},       {"1E20", 1e20},
        {"-1.5E-6", -1.5e-6},   {"abc", std::nullopt}, {"", std::nullopt}, {"1.5.2", std::nullopt},
        {"1,5,2", std::nullopt}};
    for (const auto& c : doubles) EXPECT_EQ(ParseDouble(c.text), c.value) << c.text;
}

TEST(FormatExact, EveryDoubleReadsBackBitForBit) {
    const double values[] = {0.1, 1.0 / 3, -0.0, 5e-324, std::numeric_limits<double>::max(), 123456.789e-300,
                             -42};
    for (double v : values) {
        const auto back = ParseDouble(FormatExact(v));
        ASSERT_TRUE(back) << FormatExact(v);
        EXPECT_EQ(std::memcmp(&v, &*back, sizeof v), 0) << FormatExact(v);
    }
}

TEST(Utf16, DamagedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(u"Derni\u00E8re \U0001F3A5"), "Derni\xC3\xA8re \xF0\x9F\x8E\xA5");
    EXPECT_EQ(Utf8ToUtf16("Derni\xC3\xA8re \xF0\x9F\x8E\xA5"), u"Derni\u00E8re \U0001F3A5");
    const std::u16string loneHigh = {u'a', char16_t(0xD800), u'b'};
    const std::u16string loneLow = {char16_t(0xDC00)};
    EXPECT_EQ(Utf16ToUtf8(loneHigh),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16ToUtf8(loneLow), "\xEF\xBF\xBD");
    // Truncated, overlong and surrogate encodings in UTF-8.
    EXPECT_EQ(SanitizeUtf8("a\xC3"), "a\xEF\xBF\xBD");
    EXPECT_EQ(SanitizeUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(DecodeUtf16Bytes(std::string("A\0B", 3), false), u"A");
    EXPECT_EQ(DecodeUtf16Bytes(std::string("\0A\0B", 4), true), u"AB");
}

TEST(Lower, AsciiAndLatinLetters) {
    EXPECT_EQ(Lower("FS"), "fs");
    EXPECT_EQ(Lower("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");  // ÉTÉ
    EXPECT_EQ(Lower("\xC3\x97"), "\xC3\x97");                    // × has no lower case
    EXPECT_TRUE(SameTextNoCase("FormatDuree", "formatDUREE"));
}

}  // namespace
}  // namespace velinor::text
