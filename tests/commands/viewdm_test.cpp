#include "commands/viewdm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "commands/viewdm_fixtures.h"
#include "filelist/avi_fichier.h"
#include "filters/deinterlace.h"
#include "filters/dv_scene_detect.h"
#include "filters/graph_filters.h"
#include "filters/overlay_texts.h"
#include "graph/dv_avi_files.h"
#include "graph/dv_codec.h"
#include "graph/graph.h"
#include "graph/sinks.h"
#include "platform/event_loop_dispatcher.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using test::PreviewFrameDate;
using test::PreviewFrameTimecode;

constexpr int kFrames = 12;

struct Window {
    std::shared_ptr<graph::HeadlessVideoSurface> video = std::make_shared<graph::HeadlessVideoSurface>();
    std::shared_ptr<graph::HeadlessAudioDevice> audio = std::make_shared<graph::HeadlessAudioDevice>();
    PreviewWindow window() const { return {video, audio, nullptr}; }
};

Tviewdm::FileFacts DvFacts(const std::string& path) {
    Tviewdm::FileFacts facts;
    facts.path = path;
    facts.isDV = true;
    facts.fps = 25;
    return facts;
}

// The picture the overlay keeps for frame `frame` with its texts off: the decoded frame with its
// combing removed.
BgrPicture ExpectedSnapshot(const std::vector<uint8_t>& frame) {
    DvDecoder decoder;
    BgrPicture decoded;
    EXPECT_TRUE(decoder.decode(frame, decoded));
    BgrPicture out;
    out.resize(decoded.width, decoded.height);
    Deinterlacer().DeinterlaceBitmap(decoded, out);
    return out;
}

// Whether the process holds a descriptor on `path`.
bool ProcessHoldsOpen(const std::string& path) {
    const auto wanted = std::filesystem::weakly_canonical(path);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target == wanted) return true;
    }
    return false;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    }
    test::TempDir dir_;
    Window window_;
    test::RecordedMessages messages_;
};

TEST_F(PreviewTest, SeekMakesThatFrameCurrentInTheDatecodeFilterAndTheSnapshot) {
    for (const bool type1 : {true, false}) {
        SCOPED_TRACE(type1 ? "type 1" : "type 2");
        const std::string path = dir_.file(type1 ? "t1.avi" : "t2.avi");
        const auto frames = test::WritePreviewDvAvi(path, kFrames, type1);
        Tviewdm preview(SharedOverlayTextSettings(), nullptr, &messages_);
        preview.Overlay().Overlay.SetShowText(false);
        auto facts = DvFacts(path);
        ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
        EXPECT_TRUE(preview.VideoShown);
        EXPECT_TRUE(preview.AudioRendered);
        EXPECT_EQ(preview.ShownNotice, kNoticeNone);
        EXPECT_TRUE(preview.FrameFormat());
        EXPECT_EQ(preview.Duration(), kFrames);
        EXPECT_EQ(preview.RangeFirst, 0);
        EXPECT_EQ(preview.RangeLast, kFrames - 1);  // the last picture, not one past it
        EXPECT_EQ(preview.State(), Tviewdm::kStatePaused);
        EXPECT_TRUE(preview.PictureShown());  // the opening shows the first picture

        // Out-of-range targets land on the ends of the range.
        struct SeekCase {
            int64_t target;
            int frame;
        };
        const SeekCase kSeeks[] = {{7, 7}, {0, 0}, {11, 11}, {3, 3}, {4, 4}, {-5, 0}, {500, 11}, {1, 1}};
        for (const auto& c : kSeeks) {
            SCOPED_TRACE(c.target);
            preview.SeekTo(c.target);
            ASSERT_TRUE(preview.PictureShown());
            EXPECT_EQ(preview.CurrentPosition(), c.frame);
            const TDVFrameInfo info = preview.CurrentFrameValues();
            ASSERT_TRUE(info.DatecodeValid);
            EXPECT_EQ(info.Datecode, *MakeDatecode(PreviewFrameDate(c.frame)));
            ASSERT_TRUE(info.TimecodeValid);
            EXPECT_EQ(info.Timecode, PreviewFrameTimecode(c.frame));
            int w = 0, h = 0;
            std::vector<uint8_t> pixels;
            ASSERT_TRUE(preview.SnapshotPicture(w, h, pixels));
            const BgrPicture expected = ExpectedSnapshot(frames[size_t(c.frame)]);
            ASSERT_EQ(w, expected.width);
            ASSERT_EQ(h, expected.height);
            EXPECT_TRUE(pixels == expected.pixels);
            // A neighbour's picture differs, so equality above names the frame.
            const BgrPicture neighbour = ExpectedSnapshot(frames[size_t(c.frame == 0 ? 1 : c.frame - 1)]);
            EXPECT_FALSE(pixels == neighbour.pixels);
        }
        EXPECT_EQ(preview.State(), Tviewdm::kStatePaused);
    }
}

TEST_F(PreviewTest, StepsByFramesAndByTimeStayInsideTheRange) {
    const std::string path = dir_.file("steps.avi");
    test::WritePreviewDvAvi(path, kFrames, true);
    Tviewdm preview(SharedOverlayTextSettings());
    TaviFichier record(path);
    ASSERT_TRUE(record.IsDV);
    ASSERT_TRUE(preview.OpenRecord(&record, window_.window()));
    EXPECT_EQ(record.Fps, 25);
    constexpr int64_t kFrame100ns = 400'000;
    struct StepCase {
        bool byTime;
        int64_t delta;  // frames, or 100 ns
        int64_t position;
    };
    const StepCase kSteps[] = {
        {false, -1, 0},
        {false, 1, 1},
        {false, 1, 2},
        {false, 100, 11},
        {false, 1, 11},
        {false, -3, 8},
        {true, -2 * kFrame100ns, 6},
        {true, kFrame100ns * 50, 11},
        {true, -kFrame100ns * 50, 0},
        {false, -1, 0},
    };
    for (const auto& c : kSteps) {
        SCOPED_TRACE(::testing::Message() << (c.byTime ? "time " : "frames ") << c.delta);
        if (c.byTime)
            preview.StepTime(c.delta);
        else
            preview.StepFrames(int32_t(c.delta));
        ASSERT_TRUE(preview.PictureShown());
        EXPECT_EQ(preview.CurrentPosition(), c.position);
        EXPECT_EQ(preview.CurrentFrameValues().Datecode, *MakeDatecode(PreviewFrameDate(int(c.position))));
    }
    // A range narrowed to a scene bounds the steps too.
    preview.RangeFirst = 4;
    preview.RangeLast = 6;
    preview.SeekTo(0);
    EXPECT_EQ(preview.CurrentPosition(), 4);
    preview.StepFrames(-1);
    EXPECT_EQ(preview.CurrentPosition(), 4);
    preview.StepFrames(5);
    EXPECT_EQ(preview.CurrentPosition(), 6);
}

// Runs the owner's loop until `done`, for at most a minute.
void RunLoopUntil(EventLoopDispatcher& loop, const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    loop.RunUntil([&] { return done() || std::chrono::steady_clock::now() > limit; });
}

TEST_F(PreviewTest, PlaysToTheEndThenRestsOnTheFirstPictureOrLoopsWhenEditing) {
    const std::string path = dir_.file("play.avi");
    test::WritePreviewDvAvi(path, kFrames, true);
    EventLoopDispatcher loop;
    Tviewdm preview(SharedOverlayTextSettings(), &loop, &messages_);
    auto facts = DvFacts(path);
    ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
    EXPECT_EQ(messages_.playStates(), std::vector<intptr_t>{0});  // the opening pauses
    preview.SeekTo(5);
    preview.Graph().setClock(nullptr);  // as fast as the filters go

    for (const bool editing : {false, true}) {
        SCOPED_TRACE(editing ? "overlay editing" : "normal");
        preview.SetOverlayEditing(editing);
        const auto before = messages_.playStates().size();
        const int64_t shownBefore = window_.video->framesShown();
        ASSERT_TRUE(preview.PlayPreview());
        EXPECT_EQ(preview.State(), Tviewdm::kStateRunning);
        RunLoopUntil(loop, [&] { return messages_.playStates().size() > before; });
        ASSERT_EQ(messages_.playStates().size(), before + 1);
        EXPECT_EQ(messages_.playStates().back(), editing ? 1 : 0);
        // Back on the start of the range, paused, with its picture.
        EXPECT_EQ(preview.State(), Tviewdm::kStatePaused);
        EXPECT_EQ(preview.CurrentPosition(), 0);
        EXPECT_EQ(preview.CurrentFrameValues().Datecode, *MakeDatecode(PreviewFrameDate(0)));
        EXPECT_GE(window_.video->framesShown() - shownBefore, editing ? kFrames : kFrames - 5);
    }
    EXPECT_GT(window_.audio->bytesWritten(), 0u);

    preview.PausePreview();  // already paused: nothing posted
    const auto posted = messages_.playStates().size();
    preview.StopPreview();
    EXPECT_EQ(preview.State(), Tviewdm::kStateStopped);
    preview.PausePreview();
    EXPECT_EQ(preview.State(), Tviewdm::kStatePaused);
    EXPECT_EQ(messages_.playStates().size(), posted + 1);
    // A seek from a stopped graph shows its picture too.
    preview.StopPreview();
    preview.SeekTo(9);
    EXPECT_TRUE(preview.PictureShown());
    EXPECT_EQ(preview.CurrentFrameValues().Datecode, *MakeDatecode(PreviewFrameDate(9)));
}

TEST_F(PreviewTest, RefreshDrawsTheCurrentPictureAgainWithNewSettings) {
    const std::string path = dir_.file("refresh.avi");
    const auto frames = test::WritePreviewDvAvi(path, kFrames, false);
    OverlayTextSettingsStore settings;
    settings.setTemplates("%D1", "%T");
    Tviewdm preview(settings);
    auto facts = DvFacts(path);
    ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
    preview.SeekTo(6);
    int w = 0, h = 0;
    std::vector<uint8_t> withText, without;
    ASSERT_TRUE(preview.SnapshotPicture(w, h, withText));
    EXPECT_FALSE(preview.Overlay().Overlay.Line1().empty());
    const BgrPicture plain = ExpectedSnapshot(frames[6]);
    EXPECT_FALSE(withText == plain.pixels);  // the datecode is drawn

    preview.Overlay().Overlay.SetShowText(false);
    preview.RefreshPreview();
    ASSERT_TRUE(preview.PictureShown());
    EXPECT_EQ(preview.CurrentPosition(), 6);
    ASSERT_TRUE(preview.SnapshotPicture(w, h, without));
    EXPECT_TRUE(without == plain.pixels);
}

TEST_F(PreviewTest, ReleaseClosesTheFileSoACommandCanRenameAndDeleteIt) {
    const std::string path = dir_.file("release.avi");
    test::WritePreviewDvAvi(path, 4, true);
    Tviewdm preview(SharedOverlayTextSettings());
    auto facts = DvFacts(path);
    ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
    ASSERT_TRUE(ProcessHoldsOpen(path));
    preview.ReleasePreview();
    EXPECT_TRUE(preview.ReleasedForCommand);
    EXPECT_FALSE(preview.Opened);
    EXPECT_FALSE(ProcessHoldsOpen(path));
    // Nothing to show afterwards, and no wait.
    preview.SeekTo(2);
    EXPECT_FALSE(preview.PictureShown());
    int w = 0, h = 0;
    std::vector<uint8_t> pixels;
    EXPECT_FALSE(preview.SnapshotPicture(w, h, pixels));

    const std::string renamed = dir_.file("renamed.avi");
    std::filesystem::rename(path, renamed);
    // The command's file is gone from its old name: the opening says it was released.
    ASSERT_FALSE(preview.OpenFile(facts, window_.window()));
    EXPECT_EQ(preview.ShownNotice, kNoticeReleased);
    facts.path = renamed;
    ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
    preview.ReleasePreview();
    EXPECT_TRUE(std::filesystem::remove(renamed));
}

// An AVI file in another codec, made by ffmpeg: `args` give its streams.
std::string MakeOtherAvi(const test::TempDir& dir, const std::string& name, const std::string& args) {
    const std::string path = dir.file(name);
    int status = 0;
    test::RunCommand("ffmpeg -v error -nostdin -y " + args + " " + test::ShellQuote(path) + " 2>&1", &status);
    return status == 0 ? path : std::string();
}

TEST_F(PreviewTest, OtherCodecPlaysThroughTheOtherBuildWithoutTheLastDatecode) {
    const std::string dvPath = dir_.file("dv.avi");
    test::WritePreviewDvAvi(dvPath, 4, true);
    const std::string path =
        MakeOtherAvi(dir_, "mjpeg.avi",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=0.4 "
                     "-f lavfi -i sine=frequency=440:duration=0.4 -c:v mjpeg -c:a pcm_s16le");
    ASSERT_FALSE(path.empty());
    EventLoopDispatcher loop;
    Tviewdm preview(SharedOverlayTextSettings(), &loop, &messages_);
    auto dv = DvFacts(dvPath);
    ASSERT_TRUE(preview.OpenFile(dv, window_.window()));
    ASSERT_TRUE(preview.CurrentFrameValues().DatecodeValid);

    Tviewdm::FileFacts facts;
    facts.path = path;
    facts.fps = 25;
    ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
    EXPECT_TRUE(preview.VideoShown);
    EXPECT_TRUE(preview.AudioRendered);
    EXPECT_EQ(preview.ShownNotice, kNoticeNone);
    EXPECT_EQ(facts.fps, 25);
    EXPECT_EQ(preview.RangeLast, 9);
    EXPECT_TRUE(preview.PictureShown());
    // The previous DV file's datecode is not drawn over this one.
    EXPECT_FALSE(preview.CurrentFrameValues().DatecodeValid);
    EXPECT_TRUE(preview.Overlay().Overlay.Line1().empty());

    preview.SeekTo(6);
    EXPECT_TRUE(preview.PictureShown());
    EXPECT_EQ(preview.CurrentPosition(), 6);
    int w = 0, h = 0;
    std::vector<uint8_t> pixels;
    ASSERT_TRUE(preview.SnapshotPicture(w, h, pixels));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);

    preview.Graph().setClock(nullptr);
    const auto before = messages_.playStates().size();
    const int64_t shown = window_.video->framesShown();
    ASSERT_TRUE(preview.PlayPreview());
    RunLoopUntil(loop, [&] { return messages_.playStates().size() > before; });
    EXPECT_GE(window_.video->framesShown() - shown, 3);  // frames 7 to 9
    EXPECT_EQ(preview.CurrentPosition(), 0);
}

TEST_F(PreviewTest, AudioOnlyFilePlaysItsSoundInMediaTime) {
    const std::string path =
        MakeOtherAvi(dir_, "sound.avi", "-f lavfi -i sine=frequency=440:duration=0.5 -c:a pcm_s16le");
    ASSERT_FALSE(path.empty());
    Tviewdm preview(SharedOverlayTextSettings());
    TaviFichier record(path);
    ASSERT_EQ(record.ImageText, "N/A");
    record.Fps = 25;  // whatever the record says, no picture means no frames
    ASSERT_TRUE(preview.OpenRecord(&record, window_.window()));
    EXPECT_EQ(preview.ShownNotice, kNoticeAudioOnly);
    EXPECT_FALSE(preview.VideoShown);
    EXPECT_TRUE(preview.AudioRendered);
    EXPECT_EQ(record.Fps, 0);
    EXPECT_FALSE(preview.FrameFormat());
    EXPECT_NEAR(double(preview.Duration()), 5'000'000.0, 10'000.0);
    preview.StepTime(2'000'000);
    EXPECT_EQ(preview.CurrentPosition(), 2'000'000);
    EXPECT_FALSE(preview.PictureShown());  // no picture to wait for, and no hang
}

TEST_F(PreviewTest, WhatReachesTheWindowDecidesTheNotice) {
    const std::string path = dir_.file("notices.avi");
    test::WritePreviewDvAvi(path, 4, false);
    struct NoticeCase {
        const char* name;
        bool video, audio;  // which devices the window offers
        bool hasAudio;      // the record's AudioText is not "N/A"
        bool opens;
        int notice;
        double fps;  // the record's rate afterwards
    };
    const NoticeCase kCases[] = {
        {"picture and sound", true, true, true, true, kNoticeNone, 25},
        {"picture only", true, false, true, true, kNoticeNone, 25},
        {"sound only", false, true, true, true, kNoticeVideoFailed, 0},
        {"nothing, file with sound", false, false, true, false, kNoticeNoVideo, 0},
        {"nothing, file without sound", false, false, false, false, kNoticeNothing, 0},
    };
    Tviewdm preview(SharedOverlayTextSettings());
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        PreviewWindow window;
        if (c.video) window.video = window_.video;
        if (c.audio) window.audio = window_.audio;
        auto facts = DvFacts(path);
        facts.hasAudio = c.hasAudio;
        EXPECT_EQ(preview.OpenFile(facts, window), c.opens);
        EXPECT_EQ(preview.ShownNotice, c.notice);
        EXPECT_EQ(facts.fps, c.fps);
        EXPECT_EQ(preview.Opened, c.opens);
        EXPECT_EQ(ProcessHoldsOpen(path), c.opens);
    }
}

TEST_F(PreviewTest, DamagedOrWrongFilesGiveTheirNoticeAndNoCrash) {
    const std::string good = dir_.file("good.avi");
    test::WritePreviewDvAvi(good, 6, true);
    const auto bytes = test::ReadFileBytes(good);

    const std::string garbage = dir_.file("garbage.avi");
    test::WriteFileBytes(garbage, std::vector<uint8_t>(5000, 0x5A));
    // Cut in the middle of the third frame: the index is gone.
    const std::string truncated = dir_.file("truncated.avi");
    test::WriteFileBytes(truncated,
                         std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2 * 144'000 + 80'000));
    // Sizes in the header that point past the end.
    std::vector<uint8_t> badSizes = bytes;
    for (size_t i = 4; i < 8; ++i) badSizes[i] = 0xFF;
    const std::string oversized = dir_.file("oversized.avi");
    test::WriteFileBytes(oversized, badSizes);
    // A DV AVI whose frames are not DV at all: the decoder drops them, so no picture ever comes.
    const std::string notDv = dir_.file("blank.avi");
    test::WriteType2(notDv, std::vector<test::DvFrame>(3, test::DvFrame(144'000, 0)),
                     std::vector<std::vector<int16_t>>(3, std::vector<int16_t>(3840, 0)), false);

    struct DamageCase {
        std::string name;
        std::string path;
        bool opens;
        int notice;
    };
    const DamageCase kCases[] = {
        {"missing", dir_.file("missing.avi"), false, kNoticeNoSource},
        {"garbage", garbage, false, kNoticeNoSplitter},
        {"blank frames", notDv, true, kNoticeNone},
    };
    Tviewdm preview(SharedOverlayTextSettings());
    preview.PictureWait = std::chrono::milliseconds(3000);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        auto facts = DvFacts(c.path);
        EXPECT_EQ(preview.OpenFile(facts, window_.window()), c.opens);
        EXPECT_EQ(preview.ShownNotice, c.notice);
        if (c.opens) {
            preview.SeekTo(1);
            EXPECT_FALSE(preview.PictureShown());
        }
        EXPECT_FALSE(ProcessHoldsOpen(c.path) && !c.opens);
    }
    // Damage the reader may or may not get through: whatever it makes of it, seeks end.
    for (const auto& path : {truncated, oversized}) {
        SCOPED_TRACE(path);
        auto facts = DvFacts(path);
        if (preview.OpenFile(facts, window_.window())) {
            for (int64_t target : {int64_t(0), preview.RangeLast, int64_t(3)}) preview.SeekTo(target);
            preview.Graph().setClock(nullptr);
            preview.PlayPreview();
            preview.Graph().waitForEvent(std::chrono::seconds(10));
        } else {
            EXPECT_NE(preview.ShownNotice, kNoticeNone);
        }
    }
    // The preview still works afterwards.
    auto facts = DvFacts(good);
    ASSERT_TRUE(preview.OpenFile(facts, window_.window()));
    preview.SeekTo(4);
    EXPECT_TRUE(preview.PictureShown());
    EXPECT_EQ(preview.CurrentFrameValues().Datecode, *MakeDatecode(PreviewFrameDate(4)));
}

}  // namespace
}  // namespace velinor
