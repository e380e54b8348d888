#include "graph/dv_frame_maker.h"

#include <gtest/gtest.h>

#include "support/dv_builder.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

// The packs our readers find in a frame, in the form the clip describes them.
DvFramePacks readPacks(const std::vector<uint8_t>& frame) {
    const int n = DifSequenceCount(frame.size());
    DvFramePacks packs;
    packs.datecode = ReadDatecode(frame, n);
    packs.timecode = ReadTimecode(frame, n);
    packs.audio = ReadAudioInfo(frame, n);
    return packs;
}

TEST(DvFrameMaker, ClipsCarryTheirScenesTimecodeAndAudio) {
    struct Case {
        bool is525, wide;
        AudioInfo audio;
    };
    const Case kCases[] = {
        {false, false, {48'000, 2, 16}},
        {true, true, {32'000, 4, 12}},
        {false, true, {44'100, 1, 16}},
    };
    for (const auto& c : kCases) {
        const int fps = c.is525 ? 30 : 25;
        test::DvStreamRecipe clip;
        clip.is525 = c.is525;
        clip.wide = c.wide;
        // Two recordings, the second crossing midnight, and a stretch without a date.
        clip.scenes = {{fps + 3, DatecodeFields{2026, 5, 17, 14, 3, 9}, 0},
                       {2 * fps, DatecodeFields{2007, 12, 31, 23, 59, 59}, 5},
                       {2, std::nullopt, 1}};
        clip.timecode = Timecode{23, 59, 59, static_cast<uint8_t>(fps - 2)};
        clip.audio = c.audio;
        const auto frames = test::BuildDvStream(clip);
        ASSERT_EQ(frames.size(), size_t(3 * fps + 5));

        struct Expected {
            int index;
            std::optional<DatecodeFields> datecode;
            Timecode timecode;
        };
        const uint8_t f = static_cast<uint8_t>(fps);
        const Expected kFrames[] = {
            {0, DatecodeFields{2026, 5, 17, 14, 3, 9}, {23, 59, 59, static_cast<uint8_t>(f - 2)}},
            {1, DatecodeFields{2026, 5, 17, 14, 3, 9}, {23, 59, 59, static_cast<uint8_t>(f - 1)}},
            {2, DatecodeFields{2026, 5, 17, 14, 3, 9}, {0, 0, 0, 0}},  // the timecode wraps at 24 h
            {fps, DatecodeFields{2026, 5, 17, 14, 3, 10}, {0, 0, 0, static_cast<uint8_t>(f - 2)}},
            {fps + 3, DatecodeFields{2007, 12, 31, 23, 59, 59}, {0, 0, 1, 1}},
            {2 * fps + 3, DatecodeFields{2008, 1, 1, 0, 0, 0}, {0, 0, 2, 1}},
            {3 * fps + 3, std::nullopt, {0, 0, 3, 1}},
            {3 * fps + 4, std::nullopt, {0, 0, 3, 2}},
        };
        for (const auto& e : kFrames) {
            const auto& frame = frames[static_cast<size_t>(e.index)];
            const auto packs = readPacks(frame);
            EXPECT_EQ(packs.datecode, e.datecode) << e.index;
            EXPECT_EQ(packs.timecode, e.timecode) << e.index;
            EXPECT_EQ(packs.audio, c.audio) << e.index;
            EXPECT_EQ(ReadSystem(frame), c.is525);
            EXPECT_EQ(ReadWideFlag(frame, DifSequenceCount(frame.size())), c.wide);
        }
        // Every frame reads back as the clip describes it.
        for (size_t i = 0; i < frames.size(); ++i)
            ASSERT_EQ(readPacks(frames[i]), ClipFramePacks(clip, static_cast<int>(i))) << i;
        // Scenes keep their own picture.
        EXPECT_NE(std::vector<uint8_t>(frames[0].begin() + 20'000, frames[0].end()),
                  std::vector<uint8_t>(frames[fps + 3].begin() + 20'000, frames[fps + 3].end()));
    }
}

TEST(DvFrameMaker, FramesWithoutPacksHaveNone) {
    const auto frame = test::BuildDvFrame({});
    const auto packs = readPacks(frame);
    EXPECT_EQ(packs, DvFramePacks{});
    EXPECT_EQ(frame.size(), kDvFrameBytes625);
    // The recording date lands in the fixed VAUX slots as well (frame bytes 458 and 463).
    test::DvFrameOptions options;
    options.packs.datecode = DatecodeFields{1998, 7, 14, 9, 5, 0};
    const auto dated = test::BuildDvFrame(options);
    EXPECT_EQ(dated[458], kPackRecordingDate);
    EXPECT_EQ(dated[463], kPackRecordingTime);
}

TEST(DvFrameMaker, OutsideReadersSeeOurPacks) {
    test::TempDir dir;
    const std::string path = dir.file("clip.dv");
    test::DvStreamRecipe clip;
    clip.is525 = true;
    clip.wide = true;
    clip.scenes = {{10, DatecodeFields{2007, 3, 4, 10, 11, 12}, 0}};
    clip.timecode = Timecode{1, 2, 3, 4};
    clip.audio = AudioInfo{32'000, 2, 16};
    test::WriteRawDv(path, test::BuildDvStream(clip));
    int status = 0;
    const std::string info =
        test::RunCommand("mediainfo '--Inform=General;%Recorded_Date%' " + test::ShellQuote(path), &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(info.find("2007-03-04 10:11:12"), std::string::npos) << info;
    const std::string video = test::RunCommand(
        "mediainfo '--Inform=Video;%TimeCode_FirstFrame%|%Standard%|"
        "%DisplayAspectRatio/String%' " +
            test::ShellQuote(path),
        &status);
    EXPECT_EQ(video, "01:02:03:04|NTSC|16:9\n");
    const std::string audio = test::RunCommand(
        "ffprobe -v fatal -select_streams a -show_entries stream=sample_rate,channels -of csv=p=0 " +
            test::ShellQuote(path),
        &status);
    EXPECT_EQ(audio, "32000,2\n");
}

TEST(DvFrameMaker, SinglePacks) {
    const Timecode kTimecodes[] = {{0, 0, 0, 0}, {23, 59, 59, 29}, {1, 2, 3, 4}, {12, 34, 56, 24}};
    for (const auto& tc : kTimecodes) {
        test::DvFrameOptions options;
        options.packs.timecode = tc;
        const auto frame = test::BuildDvFrame(options);
        EXPECT_EQ(ReadTimecode(frame, 12), tc) << int(tc.Hours);
    }
    EXPECT_EQ(MakeTimecodePack({1, 2, 3, 4}, true)[1], 0x44);
    struct Case {
        int32_t frequency;
        bool is525;
        int samples;
        uint8_t pc1;
    };
    // Samples above the rate's minimum go in PC1 bits 0-5.
    const Case kCases[] = {{48'000, false, 1920, 0xC0 | 24},
                           {48'000, true, 1602, 0xC0 | 22},
                           {44'100, false, 1764, 0xC0 | 22},
                           {32'000, true, 1068, 0xC0 | 15}};
    for (const auto& c : kCases) {
        EXPECT_EQ(AudioSamplesPerFrame(c.frequency, c.is525), c.samples) << c.frequency;
        EXPECT_EQ(MakeAudioSourcePack({c.frequency, 2, 16}, c.is525, c.samples)[1], c.pc1) << c.frequency;
    }
    // Values the pack cannot say read back as unknown.
    test::DvFrameOptions odd;
    odd.packs.audio = AudioInfo{22'050, 3, 8};
    EXPECT_EQ(ReadAudioInfo(test::BuildDvFrame(odd), 12), (AudioInfo{0, 0, 0}));
}

TEST(DvFrameMaker, MakeClipHandsOverTheSameFramesAndStopsWhenAsked) {
    test::DvStreamRecipe clip;
    clip.scenes = {{3, DatecodeFields{2001, 2, 3, 4, 5, 6}, 1}, {2, std::nullopt, 2}};
    clip.timecode = Timecode{0, 0, 10, 0};
    const auto expected = test::BuildDvStream(clip);
    std::vector<std::vector<uint8_t>> made;
    EXPECT_TRUE(MakeClip(clip, [&](const std::vector<uint8_t>& frame) {
        made.push_back(frame);
        return true;
    }));
    EXPECT_EQ(made, expected);
    int calls = 0;
    EXPECT_FALSE(MakeClip(clip, [&](const std::vector<uint8_t>&) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace velinor
