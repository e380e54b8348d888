#include "media/fpsunit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace velinor {
namespace {

constexpr int64_t kPalFrame = 400'000;  // 1/25 s
constexpr int64_t kNtscFrame = 333'667;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FpsUnit, FramesDurationText) {
    struct Case {
        int64_t frameDuration;
        int64_t duration;
        const char* text;
    };
    const Case kCases[] = {
        {kPalFrame, 36'000'000'000, "1h 00mn 00s 00fr"},
        {kPalFrame, 900'000'000, "1mn 30s 00fr"},
        {kPalFrame, 9'200'000, "23fr"},
        {kPalFrame, 12'400'000, "1s 06fr"},
        {kPalFrame, 0, "0fr"},
        {kPalFrame, 9'999'999, "24fr"},
        {kPalFrame, 10'000'000, "1s 00fr"},
        {kPalFrame, 599'999'999, "59s 24fr"},
        {kPalFrame, 11 * 36'000'000'000 + 59 * 600'000'000LL + 59 * 10'000'000LL + 4'800'000,
         "11h 59mn 59s 12fr"},
        {kPalFrame, 100 * 36'000'000'000, "100h 00mn 00s 00fr"},
        {kNtscFrame, 9'999'999, "29fr"},
        {kNtscFrame, 600'000'000 + 3'336'670, "1mn 00s 10fr"},
        // Without a frame duration the rate is unknown: the millisecond text instead of a crash.
        {0, 12'345'678, "1s 234ms"},
        {0, 9'999'999, "999millièmes"},
        {-1, 900'000'000, "1mn 30s 000ms"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(FramesDurationText(c.frameDuration, c.duration), c.text)
            << c.frameDuration << ' ' << c.duration;
}

TEST(FpsUnit, MsDurationText) {
    struct Case {
        int64_t duration;
        const char* text;
    };
    const Case kCases[] = {
        {12'345'678, "1s 234ms"},
        {9'999'999, "999millièmes"},
        {0, "0millièmes"},
        {50'000, "5millièmes"},
        {10'050'000, "1s 005ms"},
        {900'000'000, "1mn 30s 000ms"},
        {36'000'000'000 + 10'000, "1h 00mn 00s 001ms"},
        {std::numeric_limits<int64_t>::max(), "256204778h 48mn 05s 477ms"},
    };
    for (const auto& c : kCases) EXPECT_EQ(MsDurationText(c.duration), c.text) << c.duration;
}

TEST(FpsUnit, FramePositions) {
    struct Case {
        int32_t frame;
        double fps;
        const char* dotted;
        const char* text;
    };
    const Case kCases[] = {
        {0, 25.0, "00.00.00.00", "00:00"},
        {30, 25.0, "00.00.01.05", "01:05"},
        {1'530, 25.0, "00.01.01.05", "01:01:05"},
        {90'000, 25.0, "01.00.00.00", "1:00:00:00"},
        {90'030, 25.0, "01.00.01.05", "1:00:01:05"},
        {1'000, 29.97, "00.00.33.11", "33:11"},  // 1000 - 29.97 * 33 = 10.99
        {2'500'000, 25.0, "27.46.40.00", "27:46:40:00"},
        {13, 12.5, "00.00.01.00", "01:00"},  // 0.5 frame rounds to the even 0
        {14, 12.5, "00.00.01.02", "01:02"},  // 1.5 rounds to 2
        // A rate that is not a positive finite number is no rate.
        {1'000, 0.0, "0:00:00:00", "??"},
        {1'000, -25.0, "0:00:00:00", "??"},
        {1'000, kNaN, "0:00:00:00", "??"},
        {1'000, kInf, "0:00:00:00", "??"},
        {std::numeric_limits<int32_t>::max(), 1e-300, "0:00:00:00", "??"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(FramePositionDotted(c.frame, c.fps), c.dotted) << c.frame << " @ " << c.fps;
        EXPECT_EQ(FramePositionText(c.frame, c.fps), c.text) << c.frame << " @ " << c.fps;
    }
}

TEST(FpsUnit, SrtTimeText) {
    struct Case {
        int32_t frame;
        double fps;
        const char* text;
    };
    const Case kCases[] = {
        {125, 25.0, "00:00:05,000"},      {1, 29.97, "00:00:00,033"},
        {0, 25.0, "00:00:00,000"},        {90'001, 25.0, "01:00:00,040"},
        {107'892, 29.97, "01:00:00,000"}, {std::numeric_limits<int32_t>::max(), 25.0, "23860:55:45,880"},
        {1, 2000.0, "00:00:00,000"},  // 0.5 ms rounds to the even 0
        {3, 2000.0, "00:00:00,002"},  // 1.5 ms rounds to 2
        {125, 0.0, "00:00:00,000"},       {125, -25.0, "00:00:00,000"},
        {125, kNaN, "00:00:00,000"},      {125, 1e-300, "00:00:00,000"},
    };
    for (const auto& c : kCases) EXPECT_EQ(SrtTimeText(c.frame, c.fps), c.text) << c.frame << " @ " << c.fps;
}

TEST(FpsUnit, WaveFormatName) {
    struct Case {
        uint16_t tag;
        const char* name;
    };
    const Case kCases[] = {
        {0x0001, "PCM"},     {0x0002, "ADPCM"},   {0x0003, "IEEE_FLOAT"}, {0x0055, "MP3"},
        {0x0050, "MPEG"},    {0x0062, "VOXWARE"}, {0x0075, "VOXWARE"},    {0x0031, "GSM610"},
        {0x1000, "OLIGSM"},  {0x1004, "OLIOPR"},  {0x1400, "NORRIS"},     {0x0000, "Inconnu"},
        {0x0004, "Inconnu"}, {0x0161, "Inconnu"}, {0x2000, "Inconnu"},    {0xFFFE, "Inconnu"},
        {0xFFFF, "Inconnu"},
    };
    for (const auto& c : kCases) EXPECT_EQ(WaveFormatName(c.tag), c.name) << c.tag;
}

}  // namespace
}  // namespace velinor
