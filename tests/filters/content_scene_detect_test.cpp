#include "filters/content_scene_detect.h"

#include <gtest/gtest.h>

#include <vector>

#include "graph/dv_codec.h"
#include "support/dv_builder.h"

namespace velinor {
namespace {

constexpr size_t kPalPictureBytes = 720 * 576 * 3;  // 1 244 160 bytes: 3 133 samples

// Pictures whose next one differs from it in exactly `changed` sampled bytes.
class PictureSequence {
public:
    explicit PictureSequence(size_t bytes = kPalPictureBytes) : picture_(bytes, 0) {}
    const std::vector<uint8_t>& next(int changed, int step = 100) {
        for (int k = 0; k < changed; ++k) {
            uint8_t& byte = picture_[size_t(k) * TSceneDetectContenu::kStride];
            byte = byte == 0 ? uint8_t(step) : 0;
        }
        return picture_;
    }

private:
    std::vector<uint8_t> picture_;
};

struct Run {
    std::vector<int32_t> cuts;
    std::vector<int> counts;
};

Run Feed(TSceneDetectContenu& detector, const std::vector<int>& changes, int step = 100) {
    Run run;
    detector.OnCut = [&run](int32_t frame) { run.cuts.push_back(frame); };
    PictureSequence pictures;
    TDV_MediaStamper stamper;
    detector.Stamper = &stamper;
    detector.StartStreaming();
    int frame = 0;
    detector.Transform(pictures.next(0));  // the first picture has nothing to compare with
    for (const int changed : changes) {
        ++frame;
        stamper.Transform(frame, frame + 1);
        run.counts.push_back(detector.Transform(pictures.next(changed, step)));
    }
    detector.OnCut = nullptr;
    detector.Stamper = nullptr;
    return run;
}

TEST(ContentSceneDetect, CutsNeedASuddenLargeChange) {
    struct SequenceCase {
        const char* name;
        std::vector<int> changes;
        std::vector<int32_t> cuts;
    };
    const SequenceCase kCases[] = {
        {"identical pictures", {0, 0, 0, 0}, {}},
        {"calm, then a different picture", {0, 0, 0, 3133}, {4}},
        {"under twice the recent counts", {1000, 1000, 1000, 1900}, {1}},
        {"over a third and twice the recent", {100, 100, 100, 1000}, {4}},
        {"too few samples changed", {0, 0, 0, 939}, {}},
        {"just over 0.3 of the samples", {0, 0, 0, 940}, {4}},
        {"a pan keeps raising the history", {0, 2000, 2000, 2000, 2000, 0, 0, 0, 2000}, {2, 9}},
    };
    for (const auto& c : kCases) {
        TSceneDetectContenu detector;
        EXPECT_EQ(Feed(detector, c.changes).cuts, c.cuts) << c.name;
    }
}

TEST(ContentSceneDetect, ABytesMustMoveByMoreThanSixteen) {
    for (const auto& [step, counted] : {std::pair{16, 0}, std::pair{17, 1000}}) {
        TSceneDetectContenu detector;
        EXPECT_EQ(Feed(detector, {1000}, step).counts, std::vector<int>{counted}) << step;
    }
}

TEST(ContentSceneDetect, ShortPicturesSampleTheirFirstByte) {
    TSceneDetectContenu detector;
    std::vector<int32_t> cuts;
    detector.OnCut = [&cuts](int32_t frame) { cuts.push_back(frame); };
    detector.StartStreaming();
    std::vector<uint8_t> tiny(10, 0);
    detector.Transform(tiny);
    tiny[0] = 200;
    EXPECT_EQ(detector.Transform(tiny), 1);
    EXPECT_EQ(cuts, std::vector<int32_t>{1});
    EXPECT_EQ(detector.Transform({}), 0);
}

TEST(ContentSceneDetect, StopClosesTheLastSceneAtTheFrameCountThenEnds) {
    TSceneDetectContenu detector;
    std::vector<std::string> calls;
    TDV_MediaStamper stamper;
    detector.Stamper = &stamper;
    detector.OnCut = [&calls](int32_t frame) { calls.push_back("cut " + std::to_string(frame)); };
    detector.OnStop = [&calls] { calls.push_back("stop"); };
    detector.StartStreaming();
    PictureSequence pictures;
    for (int frame = 0; frame < 5; ++frame) {
        stamper.Transform(frame, frame + 1);
        detector.Transform(pictures.next(0));
    }
    detector.Stop();
    EXPECT_EQ(calls, (std::vector<std::string>{"cut 5", "stop"}));
}

TEST(ContentSceneDetect, EachRunStartsWithoutAPreviousPicture) {
    TSceneDetectContenu detector;
    Feed(detector, {0, 3133, 3133, 3133});
    // The next file's first picture differs from everything the last run saw: no cut at frame 0,
    // and the history of the last run does not hide a cut at frame 1.
    std::vector<int32_t> cuts;
    detector.OnCut = [&cuts](int32_t frame) { cuts.push_back(frame); };
    detector.StartStreaming();
    std::vector<uint8_t> other(kPalPictureBytes, 77);
    detector.Transform(other);
    std::fill(other.begin(), other.end(), 0);
    detector.Transform(other);
    EXPECT_EQ(cuts, std::vector<int32_t>{1});
}

TEST(ContentSceneDetect, FindsTheTwoCutsOfARealClip) {
    DvClip clip;
    clip.scenes = {DvScene{30, DatecodeFields{2007, 3, 4, 10, 0, 0}, 0},
                   DvScene{30, DatecodeFields{2007, 3, 4, 10, 0, 1}, 3},
                   DvScene{30, DatecodeFields{2007, 3, 4, 10, 0, 2}, 6}};
    const auto frames = test::BuildDvStream(clip);
    DvDecoder decoder;
    TSceneDetectContenu detector;
    TDV_MediaStamper stamper;
    detector.Stamper = &stamper;
    std::vector<int32_t> cuts;
    detector.OnCut = [&cuts](int32_t frame) { cuts.push_back(frame); };
    detector.StartStreaming();
    BgrPicture picture;
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(decoder.decode(frames[i], picture));
        stamper.Transform(int64_t(i), int64_t(i) + 1);
        detector.Transform(picture.pixels);
    }
    detector.Stop();
    EXPECT_EQ(cuts, (std::vector<int32_t>{30, 60, 90}));
}

}  // namespace
}  // namespace velinor
