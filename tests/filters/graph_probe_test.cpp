#include "filters/graph_probe.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graph/dv_avi_files.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int64_t Le64(const uint8_t* p) {
    return int64_t(Le32(p)) | int64_t(Le32(p + 4)) << 32;
}
constexpr uint32_t kDvsd = 0x64737664;

// What a DV file's probe must report, whatever its type and system.
struct DvCase {
    const char* name;
    bool type1;
    bool is525;
    int undatedFrames;  // the clip opens with frames that carry no date
};

TEST(GraphProbe, DvFilesReportTheirStreamsAndFirstDatedFrame) {
    const DvCase cases[] = {
        {"type 1 625", true, false, 0},
        {"type 2 525", false, true, 0},
        {"type 1, two undated frames first", true, false, 2},
        {"type 2, two undated frames first", false, false, 2},
    };
    GraphProbe probe;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::DvStreamRecipe recipe;
        recipe.is525 = c.is525;
        recipe.scenes = {DvScene{c.undatedFrames, std::nullopt, 0}, DvScene{10, test::kClipStart, 1}};
        if (c.undatedFrames == 0) recipe.scenes.erase(recipe.scenes.begin());
        recipe.timecode = test::kClipTimecode;
        recipe.audio = AudioInfo{48'000, 2, 16};
        const auto frames = test::BuildDvStream(recipe);
        const std::string path = dir.file("clip.avi");
        if (c.type1) {
            test::WriteType1(path, frames, c.is525);
        } else {
            const auto clip = test::MakeDvAviClip(int(frames.size()), c.is525);
            test::WriteType2(path, frames, clip.pcm, c.is525);
        }
        const auto before = test::ReadFileBytes(path);

        ASSERT_TRUE(probe.ProbeFile(path));
        const auto& r = probe.Result;
        const int64_t frameDuration = c.is525 ? 333'667 : 400'000;
        EXPECT_EQ(r.StreamCount, c.type1 ? 1 : 2);
        EXPECT_TRUE(r.DVFound);
        EXPECT_EQ(r.DVInfoFound, c.type1);
        ASSERT_TRUE(r.VideoFound);
        EXPECT_EQ(Le32(&r.VideoInfo[52]), 720u);
        EXPECT_EQ(Le32(&r.VideoInfo[56]), c.is525 ? 480u : 576u);
        EXPECT_EQ(Le32(&r.VideoInfo[64]), kDvsd);
        EXPECT_NEAR(double(Le64(&r.VideoInfo[40])), double(frameDuration), 1.0);
        ASSERT_TRUE(r.AudioFound);
        EXPECT_EQ(Le32(&r.AudioFormat[4]), 48'000u);
        EXPECT_EQ(r.AudioFormat[2], 2);
        EXPECT_NEAR(double(r.VideoDuration), double(frames.size()) * double(frameDuration), 10.0);
        EXPECT_NEAR(double(r.AudioDuration), double(r.VideoDuration), double(frameDuration));
        EXPECT_TRUE(r.DatecodeValid);
        EXPECT_EQ(r.DatecodeValue, *MakeDatecode(test::kClipStart));
        EXPECT_TRUE(r.TimecodeValid);
        Timecode expected = test::kClipTimecode;
        expected.Frames = uint8_t(expected.Frames + c.undatedFrames);
        EXPECT_EQ(r.TimecodeValue, expected);
        EXPECT_FALSE(r.Wide);
        EXPECT_EQ(test::ReadFileBytes(path), before) << "the probe wrote the file";
    }
}

TEST(GraphProbe, OtherCodecsAndTheDvsdRetry) {
    test::TempDir dir;
    GraphProbe probe;
    // A dated DV probe first: a later non-DV probe leaves those values as they were.
    const auto clip = test::MakeDvAviClip(6, false);
    test::WriteType2(dir.file("dv.avi"), clip.frames, clip.pcm, false);
    ASSERT_TRUE(probe.ProbeFile(dir.file("dv.avi")));

    // DV under another vendor's DV code is read as DV, and the video format keeps the code.
    const std::string cdvc = dir.file("cdvc.avi");
    test::WriteType2(cdvc, clip.frames, clip.pcm, false, 0x43564443);  // "CDVC"
    ASSERT_TRUE(probe.ProbeFile(cdvc));
    EXPECT_TRUE(probe.Result.DVFound);
    EXPECT_TRUE(probe.Result.DatecodeValid);
    EXPECT_EQ(Le32(&probe.Result.VideoInfo[64]), 0x43564443u);

    // DV frames under an unrelated code: found only when taken as "dvsd", in memory.
    const std::string odd = dir.file("odd.avi");
    test::WriteType2(odd, clip.frames, clip.pcm, false, 0x44495658);  // "XVID"
    const auto before = test::ReadFileBytes(odd);
    ASSERT_TRUE(probe.ProbeFile(odd));
    EXPECT_FALSE(probe.Result.DVFound);
    EXPECT_EQ(Le32(&probe.Result.VideoInfo[64]), 0x44495658u);
    ASSERT_TRUE(probe.ProbeFile(odd, true));
    EXPECT_TRUE(probe.Result.DVFound);
    EXPECT_TRUE(probe.Result.DatecodeValid);
    EXPECT_EQ(Le32(&probe.Result.VideoInfo[64]), kDvsd);
    EXPECT_EQ(test::ReadFileBytes(odd), before) << "the retry wrote the file";

    if (test::HaveProgram("ffmpeg")) {
        const std::string mjpeg = dir.file("mjpeg.avi");
        int status = 0;
        test::RunCommand(
            "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=320x240:rate=25 -t 0.4 -c:v mjpeg " +
                test::ShellQuote(mjpeg) + " 2>&1",
            &status);
        ASSERT_EQ(status, 0);
        probe.Result.DatecodeValue = 12345;
        ASSERT_TRUE(probe.ProbeFile(mjpeg));
        EXPECT_EQ(probe.Result.StreamCount, 1);
        EXPECT_FALSE(probe.Result.DVFound);
        EXPECT_FALSE(probe.Result.AudioFound);
        ASSERT_TRUE(probe.Result.VideoFound);
        EXPECT_EQ(Le32(&probe.Result.VideoInfo[64]), 0x47504A4Du);  // "MJPG"
        EXPECT_EQ(probe.Result.VideoDuration, 4'000'000);
        EXPECT_EQ(probe.Result.DatecodeValue, 12345) << "kept from before, unused without DV";
    }

    struct Bad {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Bad bad[] = {{"empty", {}},
                       {"wave", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
                       {"text", {'h', 'e', 'l', 'l', 'o'}}};
    for (const auto& b : bad) {
        test::WriteFileBytes(dir.file(b.name), b.bytes);
        EXPECT_FALSE(probe.ProbeFile(dir.file(b.name))) << b.name;
    }
    EXPECT_FALSE(probe.ProbeFile(dir.file("missing.avi")));
}

}  // namespace
}  // namespace velinor
