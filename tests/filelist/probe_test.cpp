#include "filters/probe.h"

#include <gtest/gtest.h>

#include <mutex>

#include "filelist/avi_fichier.h"
#include "fixtures.h"
#include "media/avi_param.h"

namespace velinor {
namespace {

int32_t I32(const uint8_t* p) {
    return int32_t(Le32(p));
}

TEST(Probe, ReportsWhatTheSplittersWouldGive) {
    struct Case {
        const char* name;
        bool type1;
        bool pal;
        int32_t streams;
        bool dvInfo;
        int32_t height;
        int64_t frameDuration;
    };
    const Case cases[] = {
        {"type1-pal", true, true, 1, true, 576, 400'000},
        {"type2-pal", false, true, 2, false, 576, 400'000},
        {"type1-ntsc", true, false, 1, true, 480, 333'667},
        {"type2-ntsc", false, false, 2, false, 480, 333'667},
    };
    test::FileListDir dir;
    std::lock_guard lock(RecordConstructionLock());
    TdmList& probe = SharedProbe();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::DvFileRecipe recipe;
        recipe.type1 = c.type1;
        recipe.pal = c.pal;
        recipe.frames = 8;
        recipe.wide = !c.pal;
        const std::string path = dir.file(std::string(c.name) + ".avi");
        test::WriteDvAvi(path, recipe);
        ASSERT_TRUE(probe.ProbeFile(path));
        const ProbeResult& r = probe.Result;
        EXPECT_EQ(r.StreamCount, c.streams);
        EXPECT_TRUE(r.DVFound);
        EXPECT_EQ(r.DVInfoFound, c.dvInfo);
        ASSERT_TRUE(r.VideoFound);
        ASSERT_TRUE(r.AudioFound);
        EXPECT_EQ(I32(&r.VideoInfo[52]), 720);
        EXPECT_EQ(I32(&r.VideoInfo[56]), c.height);
        EXPECT_EQ(FourCCText(FourCCAt(&r.VideoInfo[64])), "dvsd");
        EXPECT_NEAR(double(Le64(&r.VideoInfo[40])), double(c.frameDuration), 1.0);
        EXPECT_NEAR(double(r.VideoDuration), 8.0 * double(c.frameDuration), 10.0);
        EXPECT_NEAR(double(r.AudioDuration), double(r.VideoDuration), 400'000.0);
        if (c.type1) {
            EXPECT_EQ(r.AudioDuration, r.VideoDuration);
        }
        EXPECT_EQ(Le16(&r.AudioFormat[0]), 1);  // PCM
        EXPECT_EQ(Le16(&r.AudioFormat[2]), 2);
        EXPECT_EQ(Le32(&r.AudioFormat[4]), 48'000u);
        EXPECT_EQ(Le16(&r.AudioFormat[14]), 16);
        EXPECT_TRUE(r.DatecodeValid);
        EXPECT_DOUBLE_EQ(r.DatecodeValue, *MakeDatecode(*recipe.date));
        EXPECT_TRUE(r.TimecodeValid);
        EXPECT_EQ(r.Wide, recipe.wide);
    }

    // A WAVE file is one audio stream; a file that cannot be opened fails, and a failed probe
    // leaves nothing of the previous one behind.
    const std::string wave = dir.file("son.wav");
    test::WriteWave(wave, 32'000, 1, 1);
    ASSERT_TRUE(probe.ProbeFile(wave));
    EXPECT_EQ(probe.Result.StreamCount, 1);
    EXPECT_FALSE(probe.Result.VideoFound);
    EXPECT_EQ(probe.Result.AudioDuration, 10'000'000);
    EXPECT_FALSE(probe.ProbeFile(dir.file("absent.avi")));
    EXPECT_FALSE(probe.Result.AudioFound);
    EXPECT_FALSE(probe.Result.DatecodeValid);
}

}  // namespace
}  // namespace velinor
