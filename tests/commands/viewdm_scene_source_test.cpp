#include "commands/viewdm_scene_source.h"
#include "filters/overlay_texts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "commands/viewdm.h"
#include "commands/viewdm_fixtures.h"
#include "graph/sinks.h"
#include "media/datetime_format.h"
#include "platform/event_loop_dispatcher.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using test::PreviewFrameDate;

constexpr int kFrames = 12;

ScenePicture PreviewSnapshot(Tviewdm& preview) {
    ScenePicture picture;
    int w = 0, h = 0;
    std::vector<uint8_t> pixels;
    if (!preview.SnapshotPicture(w, h, pixels)) return picture;
    picture.width = w;
    picture.height = h;
    picture.pixels = std::move(pixels);
    return picture;
}

struct SceneCase {
    uint32_t debut, fin, imageOffset;
};
const SceneCase kScenes[] = {{0, 4, 0}, {4, 9, 2}, {9, 12, 0}, {11, 12, 0}};

TEST(PreviewSceneSource, WorkerLoadsSceneDetailsThroughTheOwnerThread) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    test::TempDir dir;
    const std::string path = dir.file("scenes.avi");
    test::WritePreviewDvAvi(path, kFrames, true);

    EventLoopDispatcher loop;
    Tviewdm preview(SharedOverlayTextSettings(), &loop);
    const PreviewWindow window{std::make_shared<graph::HeadlessVideoSurface>(),
                               std::make_shared<graph::HeadlessAudioDevice>(), nullptr};
    Tviewdm::FileFacts facts;
    facts.path = path;
    facts.isDV = true;
    facts.fps = 25;
    ASSERT_TRUE(preview.OpenFile(facts, window));

    // Every seek reports the position on the thread it ran on.
    std::vector<std::thread::id> seekThreads;
    preview.OnPosition = [&](int64_t, int64_t) { seekThreads.push_back(std::this_thread::get_id()); };

    const CurrentVideo video{path, 25, 720, 576, kFrames};
    const SceneTextSettings settings;
    std::vector<TSceneClass> scenes;
    for (const auto& c : kScenes) {
        scenes.emplace_back(c.debut, c.fin, &video, settings);
        scenes.back().ImageOffset = c.imageOffset;
    }
    std::vector<bool> loaded(scenes.size());
    bool pastEnd = true, released = false;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        TviewdmSceneSource source(preview);
        for (size_t i = 0; i < scenes.size(); ++i) loaded[i] = scenes[i].LoadDetails(source, 25, settings);
        pastEnd = source.seekFrame(kFrames).has_value();
        preview.ReleasePreview();
        released = preview.ReleasedForCommand && !preview.Opened;
        done = true;
    });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    loop.RunUntil([&] { return done.load() || std::chrono::steady_clock::now() > limit; });
    worker.join();

    EXPECT_FALSE(pastEnd);
    EXPECT_TRUE(released);
    ASSERT_GE(seekThreads.size(), std::size(kScenes));
    for (const auto id : seekThreads) EXPECT_EQ(id, std::this_thread::get_id());

    // Each scene's texts are those of its first frame, its thumbnail the picture at its offset.
    ASSERT_TRUE(preview.OpenFile(facts, window));
    for (size_t i = 0; i < scenes.size(); ++i) {
        const auto& scene = scenes[i];
        SCOPED_TRACE(scene.Debut);
        ASSERT_TRUE(loaded[i]);
        EXPECT_TRUE(scene.Loaded);
        const Datecode date = *MakeDatecode(PreviewFrameDate(int(scene.Debut)));
        EXPECT_EQ(scene.DatecodeValue, date);
        EXPECT_EQ(scene.DatecodeText, FormatDateTime(settings.datecodeDisplayPattern, date));
        char timecode[32];
        std::snprintf(timecode, sizeof timecode, "01.02.03.%.2u", scene.Debut);
        EXPECT_EQ(scene.TimecodeText, timecode);

        preview.SeekTo(scene.Debut + scene.ImageOffset);
        const ScenePicture shot = PreviewSnapshot(preview);
        ASSERT_FALSE(shot.empty());
        ScenePicture expected(scene.Image.width, scene.Image.height);
        StretchPicture(shot, expected);
        EXPECT_FALSE(scene.Image.empty());
        EXPECT_TRUE(scene.Image.pixels == expected.pixels);
    }
}

TEST(PreviewSceneSource, NoFileNoDetails) {
    Tviewdm preview(SharedOverlayTextSettings());
    TviewdmSceneSource source(preview);
    EXPECT_FALSE(source.seekFrame(0).has_value());
    EXPECT_TRUE(source.snapshot().empty());
    TSceneClass scene(0, 5);
    EXPECT_FALSE(scene.LoadDetails(source, 25));
    EXPECT_FALSE(scene.Loaded);
}

}  // namespace
}  // namespace velinor
