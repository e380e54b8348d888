#include "filters/dv_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "graph/dv_codec.h"
#include "support/dv_builder.h"

namespace velinor {
namespace {

using test::BuildDvFrame;
using test::DvFrame;
using test::DvFrameOptions;

constexpr DatecodeFields kMarch4{2007, 3, 4, 10, 11, 12};

int Bcd(uint8_t value) {
    return (value >> 4) * 10 + (value & 0x0F);
}

// Every pack of the frame with this ID: 12 subcode packs (pack j of subcode block 1 + j / 6 at
// byte 6 + 8 (j % 6)) and 45 VAUX packs (pack k of block 3 + k / 15 at byte 3 + 5 (k % 15)).
std::vector<const uint8_t*> PacksWithId(const DvFrame& frame, uint8_t id, bool subcode = true,
                                        bool vaux = true) {
    std::vector<const uint8_t*> packs;
    const int n = DifSequenceCount(frame.size());
    for (int s = 0; s < n; ++s) {
        const uint8_t* seq = frame.data() + size_t(s) * kDifSequenceBytes;
        for (int j = 0; j < 12 && subcode; ++j) {
            const uint8_t* pack = seq + (1 + j / 6) * kDifBlockBytes + 6 + 8 * (j % 6);
            if (pack[0] == id) packs.push_back(pack);
        }
        for (int k = 0; k < 45 && vaux; ++k) {
            const uint8_t* pack = seq + (3 + k / 15) * kDifBlockBytes + 3 + 5 * (k % 15);
            if (pack[0] == id) packs.push_back(pack);
        }
    }
    return packs;
}

// Date and time of every 0x62 and 0x63 pack, as "yyyy-mm-dd" and "hh:mm:ss".
std::vector<std::string> DateTexts(const DvFrame& frame) {
    std::vector<std::string> texts;
    char text[32];
    for (const uint8_t* pack : PacksWithId(frame, kPackRecordingDate)) {
        const int year2 = Bcd(pack[4]);
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", year2 < 95 ? 2000 + year2 : 1900 + year2,
                      Bcd(pack[3] & 0x1F), Bcd(pack[2] & 0x3F));
        texts.push_back(text);
    }
    for (const uint8_t* pack : PacksWithId(frame, kPackRecordingTime)) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", Bcd(pack[4] & 0x3F), Bcd(pack[3] & 0x7F),
                      Bcd(pack[2] & 0x7F));
        texts.push_back(text);
    }
    return texts;
}

DvFrame Frame(bool is525, std::optional<DatecodeFields> date, bool wide = false, int picture = 0) {
    DvFrameOptions options;
    options.is525 = is525;
    options.wide = wide;
    options.packs.datecode = date;
    options.packs.timecode = Timecode{0, 12, 34, 5};
    options.pictureIndex = picture;
    return BuildDvFrame(options);
}

TEST(DvHeader, RestoresSourceHeadersIntoFramesOfEitherSystem) {
    struct SystemCase {
        bool sourceIs525, outputIs525;
    };
    const SystemCase kCases[] = {{true, false}, {false, true}, {false, false}, {true, true}};
    DvDecoder decoder;
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.sourceIs525) + " -> " + std::to_string(c.outputIs525));
        OverlayTextSettingsStore settings;
        Tdv_sceneDetect detector(nullptr, &settings);
        Tdv_DVheader header(detector);
        const DvFrame source = Frame(c.sourceIs525, kMarch4, true);
        detector.StartStreaming(std::nullopt);
        detector.Transform(source);
        DvFrame output = Frame(c.outputIs525, std::nullopt, false, 3);  // re-encoded, empty subcode
        const DvFrame before = output;
        ASSERT_TRUE(header.Transform(output));

        const int n = DifSequenceCount(output.size());
        EXPECT_EQ(ReadDatecode(output, n), kMarch4);
        EXPECT_EQ(ReadTimecode(output, n), (Timecode{0, 12, 34, 5}));
        EXPECT_EQ(ReadWideFlag(output, n), true);
        EXPECT_EQ(ReadSystem(output), c.outputIs525);
        for (int s = 0; s < n; ++s) {
            const uint8_t* seq = output.data() + size_t(s) * kDifSequenceBytes;
            const uint8_t* old = before.data() + size_t(s) * kDifSequenceBytes;
            // What the source saved, with its VAUX source packs moved to the output's system.
            std::vector<uint8_t> saved(
                source.begin() + ptrdiff_t(s < 10 ? s : 0) * ptrdiff_t(kDifSequenceBytes),
                source.begin() + ptrdiff_t(s < 10 ? s : 0) * ptrdiff_t(kDifSequenceBytes) + 480);
            for (int k = 0; k < 45; ++k) {
                uint8_t* pack = saved.data() + (3 + k / 15) * kDifBlockBytes + 3 + 5 * (k % 15);
                if (pack[0] == 0x60) pack[3] = uint8_t((pack[3] & 0xC0) | (c.outputIs525 ? 0 : 0x20));
            }
            EXPECT_EQ(seq[3], c.outputIs525 ? 0x3F : 0xBF) << s;
            for (int b = 0; b < 6; ++b) {
                const size_t at = size_t(b) * kDifBlockBytes;
                // The block IDs (sequence and block numbers) stay the frame's own.
                EXPECT_EQ(0, std::memcmp(seq + at, old + at, 3)) << s << " " << b;
                if (b > 0) {
                    EXPECT_EQ(0, std::memcmp(seq + at + 3, saved.data() + at + 3, 77)) << s << " " << b;
                }
            }
            EXPECT_EQ(0, std::memcmp(seq + 480, old + 480, kDifSequenceBytes - 480)) << "picture and sound";
        }
        for (const uint8_t* pack : PacksWithId(output, 0x60, false, true))
            EXPECT_EQ(pack[3] & 0x3F, c.outputIs525 ? 0x00 : 0x20)
                << "50/60 and STYPE of the VAUX source pack";
        BgrPicture picture;
        EXPECT_TRUE(decoder.decode(output, picture));
        EXPECT_EQ(picture.height, c.outputIs525 ? 480 : 576);
    }
}

TEST(DvHeader, RestoresOnlyWhatThisRunSaved) {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    Tdv_DVheader header(detector);
    detector.StartStreaming(std::nullopt);
    detector.Transform(Frame(false, kMarch4));
    detector.Stop();
    // A new run that has not seen a DV frame yet: the previous run's headers must not be used.
    detector.StartStreaming(std::nullopt);
    detector.Transform(std::vector<uint8_t>(500, 0));
    DvFrame output = Frame(false, std::nullopt);
    const DvFrame before = output;
    EXPECT_TRUE(header.Transform(output));
    EXPECT_EQ(output, before);

    std::vector<uint8_t> notDv(1000, 0x55);
    EXPECT_FALSE(header.Transform(notDv));
    EXPECT_EQ(notDv, std::vector<uint8_t>(1000, 0x55));
}

TEST(DvHeader, ShiftMovesEveryDateAndTimePack) {
    struct ShiftCase {
        DatecodeFields from;
        double shift;
        const char* date;
        const char* time;
    };
    const ShiftCase kCases[] = {
        {{2006, 12, 31, 23, 30, 0}, 1.0 / 24, "2007-01-01", "00:30:00"},  // midnight and the new year
        {{2007, 3, 4, 0, 0, 10}, -20 * kOneSecond, "2007-03-03", "23:59:50"},
        {{2008, 2, 28, 23, 59, 59}, kOneSecond, "2008-02-29", "00:00:00"},
        {{2007, 3, 4, 10, 11, 12}, 365.0, "2008-03-03", "10:11:12"},
        {{1999, 12, 31, 12, 0, 0}, 1.0, "2000-01-01", "12:00:00"},
    };
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    Tdv_DVheader header(detector);
    header.RestoreHeaders = false;
    for (const bool is525 : {false, true})
        for (const auto& c : kCases) {
            header.SetShift(c.shift);
            DvFrame frame = Frame(is525, c.from);
            ASSERT_TRUE(header.Transform(frame));
            const auto texts = DateTexts(frame);
            ASSERT_FALSE(texts.empty());
            for (const auto& text : texts)
                EXPECT_TRUE(text == c.date || text == c.time) << text << " for " << c.date;
        }
    // A frame without date packs is left as it is.
    header.SetShift(1.0 / 24);
    DvFrame undated = Frame(false, std::nullopt);
    const DvFrame before = undated;
    header.Transform(undated);
    EXPECT_EQ(undated, before);
}

TEST(DvHeader, SetsTheDisplayFormat) {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    Tdv_DVheader header(detector);
    header.RestoreHeaders = false;
    header.SetAspect = true;
    for (const bool is525 : {false, true})
        for (const bool wide : {true, false}) {
            header.Wide = wide;
            DvFrame frame = Frame(is525, kMarch4, !wide);
            // Without the header's display hint, 16:9 is written as display select 7.
            for (size_t s = 0; s < frame.size(); s += kDifSequenceBytes) frame[s + 12] &= 0xF8;
            header.Transform(frame);
            EXPECT_EQ(ReadWideFlag(frame, DifSequenceCount(frame.size())), wide);
            const auto packs = PacksWithId(frame, kPackVauxSourceControl);
            ASSERT_FALSE(packs.empty());
            for (const uint8_t* pack : packs) EXPECT_EQ(pack[2] & 7, wide ? 7 : 0);
        }
}

TEST(DvHeader, InsertsARunningDatecodeIntoEmptySubcode) {
    struct SystemCase {
        bool is525;
        double framesPerSecond;
    };
    for (const auto& c : {SystemCase{false, 25.0}, SystemCase{true, 30000.0 / 1001.0}}) {
        OverlayTextSettingsStore settings;
        Tdv_sceneDetect detector(nullptr, &settings);
        Tdv_DVheader header(detector);
        header.RestoreHeaders = false;
        header.InsertDatecode = true;
        header.SetInsertValue(*MakeDatecode(kMarch4));
        int lastSecond = 12;
        for (int i = 0; i < 100; ++i) {
            DvFrame frame = Frame(c.is525, std::nullopt);
            const DvFrame before = frame;
            header.Transform(frame);
            const int n = DifSequenceCount(frame.size());
            const auto read = ReadDatecode(frame, n);
            ASSERT_TRUE(read) << i;
            EXPECT_EQ(read->Day, 4);
            // The second changes on the frame where the elapsed time reaches it, give or take one.
            if (read->Second != lastSecond) {
                EXPECT_EQ(read->Second, lastSecond + 1) << i;
                EXPECT_NEAR(i, std::ceil((read->Second - 12) * c.framesPerSecond), 1.0) << i;
                lastSecond = read->Second;
            }
            // Date and time packs fill the empty subcode slots; VAUX is not touched.
            for (int s = 0; s < n; ++s) {
                const size_t at = size_t(s) * kDifSequenceBytes;
                EXPECT_EQ(0, std::memcmp(frame.data() + at + 3 * kDifBlockBytes,
                                         before.data() + at + 3 * kDifBlockBytes, 3 * kDifBlockBytes));
            }
            EXPECT_EQ(PacksWithId(frame, kPackRecordingDate, true, false).size(),
                      PacksWithId(frame, kPackRecordingTime, true, false).size());
            EXPECT_GE(PacksWithId(frame, kPackRecordingDate, true, false).size(), size_t(n));
        }
        EXPECT_EQ(lastSecond, c.is525 ? 15 : 15);
    }
}

TEST(DvHeader, InsertionOutsideTheCalendarWritesNothingButAdvances) {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    Tdv_DVheader header(detector);
    header.RestoreHeaders = false;
    header.InsertDatecode = true;
    for (const double value : {-800'000.0, 3'000'000.0, 1e300}) {
        header.SetInsertValue(value);
        DvFrame frame = Frame(false, std::nullopt);
        const DvFrame before = frame;
        header.Transform(frame);
        EXPECT_EQ(frame, before) << value;
        EXPECT_DOUBLE_EQ(header.InsertValue, value + 1.0 / (25 * kSecondsPerDay));
    }
}

}  // namespace
}  // namespace velinor
