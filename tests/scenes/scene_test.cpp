#include "scenes/scene.h"

#include <gtest/gtest.h>

#include <map>

namespace velinor {
namespace {

TEST(DureeText, FollowsTheChosenStyle) {
    const CurrentVideo pal{"", 25.0, 720, 576, 0};
    const CurrentVideo ntsc{"", 30000.0 / 1001, 720, 480, 0};
    const CurrentVideo noRate{"", 0.0, 720, 576, 0};
    struct Case {
        const CurrentVideo* video;
        int64_t frames;
        int style;
        const char* text;
    };
    const Case cases[] = {
        {&pal, 30, 0, "01.05"},
        {&pal, 30, 1, "01:05"},
        {&pal, 30, 2, "1s 05fr"},
        {&pal, 20, 2, "20fr"},
        {&pal, 90000, 0, "1:00:00.00"},
        {&pal, 90000, 1, "1:00:00:00"},
        {&pal, 90000, 2, "1h 00mn 00s 00fr"},
        {&pal, 1530, 0, "01:01.05"},
        {&pal, 1530, 1, "01:01:05"},
        {&pal, 1530, 2, "1mn 01s 05fr"},
        {&pal, 0, 0, "00.00"},
        {&ntsc, 1000, 1, "33:11"},
        {&noRate, 30, 0, "??"},
        {nullptr, 30, 0, ""},
        {&pal, 30, 3, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DureeText(c.frames, c.video, c.style), c.text) << c.frames << " " << c.style;
}

TEST(ThumbnailSize, FitsTheBoxKeepingProportions) {
    struct Case {
        int w, h, tw, th;
    };
    const Case cases[] = {{720, 576, 300, 240}, {720, 480, 320, 213}, {1024, 576, 320, 180},
                          {320, 240, 320, 240}, {0, 0, 320, 240},     {1, 10000, 1, 240}};
    for (const auto& c : cases) {
        int w = 0, h = 0;
        ThumbnailSize(c.w, c.h, w, h);
        EXPECT_EQ(w, c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.th) << c.w << "x" << c.h;
    }
}

// A preview stand-in that gives each frame's values and a picture whose colour is the frame number.
class FakePreview : public SceneDetailsSource {
public:
    std::map<uint32_t, SceneFrameValues> values;
    uint32_t shown = 0;
    std::optional<SceneFrameValues> seekFrame(uint32_t frame) override {
        shown = frame;
        const auto it = values.find(frame);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    ScenePicture snapshot() override {
        ScenePicture p(8, 6);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) p.rowFromTop(y)[3 * x] = uint8_t(shown);
        return p;
    }
};

TEST(SceneDetails, FillsTextsAndThumbnailFromThePreview) {
    const CurrentVideo pal{"/v/a.avi", 25.0, 720, 576, 2000};
    FakePreview preview;
    SceneFrameValues dated;
    dated.datecodeValid = true;
    dated.datecode = *MakeDatecode({2026, 7, 14, 10, 20, 30});
    dated.timecodeValid = true;
    dated.tcHours = 1, dated.tcMinutes = 2, dated.tcSeconds = 3, dated.tcFrames = 4;
    preview.values[1530] = dated;
    preview.values[1540] = SceneFrameValues{};
    preview.values[0] = SceneFrameValues{};

    TSceneClass s(1530, 1560, &pal);
    s.ImageOffset = 10;
    ASSERT_TRUE(s.LoadDetails(preview, pal.fps));
    EXPECT_TRUE(s.Loaded);
    EXPECT_EQ(s.DatecodeText, " 14/07/2026 10:20:30");
    EXPECT_EQ(s.DatecodeValue, dated.datecode);
    EXPECT_EQ(s.TimecodeText, "01.02.03.04");
    EXPECT_EQ(s.TimeStamp, "0:01:01:05");
    EXPECT_EQ(s.TimeStampFin, "0:01:02:09");
    EXPECT_EQ(s.Duree, "01.05");
    ASSERT_EQ(s.Image.width, 300);
    EXPECT_EQ(s.Image.rowFromTop(100)[0], uint8_t(1540));

    TSceneClass blank(0, 0, &pal);
    ASSERT_TRUE(blank.LoadDetails(preview, pal.fps));
    EXPECT_EQ(blank.DatecodeText, "N/A");
    EXPECT_EQ(blank.TimecodeText, "N/A");
    EXPECT_EQ(blank.TimeStampFin, "0:00:00:00");

    TSceneClass unreachable(5, 10, &pal);
    EXPECT_FALSE(unreachable.LoadDetails(preview, pal.fps));
    EXPECT_FALSE(unreachable.Loaded);
}

}  // namespace
}  // namespace velinor
