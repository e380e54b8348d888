// The scene and subtitle commands on real DV files written by our AVI writer from encoder
// frames, run through the engine as the window runs them.
#include "commands/scene_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "filelist/avi_fichier.h"
#include "harness.h"
#include "media/avi_demuxer.h"
#include "media/datecode.h"
#include "media/fpsunit.h"
#include "scene_clips.h"
#include "scenes/scn_file.h"
#include "support/avi_fixtures.h"

namespace velinor {
namespace {

using test::Bench;
using test::ExpectedStarts;
using test::FramesOf;
using test::Scratch;
using test::SecondsAfter;
using test::Segment;
using test::WriteAvi;

struct SceneRange {
    uint32_t debut, fin;
    bool operator==(const SceneRange&) const = default;
};

std::vector<SceneRange> ReadScenes(const std::string& videoPath) {
    SceneList list;
    EXPECT_TRUE(ReadScnFile(ReplaceExtension(videoPath, ".scn"), list)) << videoPath;
    std::vector<SceneRange> out;
    for (const auto& item : list) out.push_back({item.scene->Debut, item.scene->Fin});
    return out;
}

std::vector<SceneRange> RangesFromStarts(const std::vector<uint32_t>& starts, uint32_t count) {
    std::vector<SceneRange> out;
    for (size_t i = 0; i < starts.size(); ++i)
        out.push_back({starts[i], i + 1 < starts.size() ? starts[i + 1] : count});
    return out;
}

// No file of the folder is a writer's leftover temporary file.
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const DatecodeFields kMorning{2024, 5, 1, 10, 0, 0};

// Forward and backward jumps, a 4 s step that stays in the scene, a vanishing datecode that
// comes back after 20 frames, a change from 48 to 32 kHz, and a short dropout.
const std::vector<Segment> kRecording = {
    {40, kMorning},
    {40, SecondsAfter(kMorning, 3600)},
    {30, SecondsAfter(kMorning, -86'400)},
    {30, SecondsAfter(kMorning, -86'400 + 1 + 4)},
    {20, std::nullopt},
    {30, SecondsAfter(kMorning, 7200)},
    {30, SecondsAfter(kMorning, 7200 + 1), 32'000},
    {5, std::nullopt, 32'000},
    {30, SecondsAfter(kMorning, 7200 + 2), 32'000},
};

TEST(SceneCommands, DatecodeScenesThenOneFilePerSceneForBothTypes) {
    const auto frames = FramesOf(kRecording);
    const auto expected = RangesFromStarts(ExpectedStarts(kRecording), uint32_t(frames.size()));
    ASSERT_GE(expected.size(), 6u);  // the recording does hold jumps

    for (const bool type1 : {false, true}) {
        SCOPED_TRACE(type1 ? "type 1" : "type 2");
        Scratch dir;
        const std::string clip = dir.file("clip.avi");
        WriteAvi(clip, frames, type1);
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        bench.Open({clip});
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CreerScnByDate));
        EXPECT_EQ(bench.engine.Failures(), 0);
        EXPECT_EQ(ReadScenes(clip), expected);
        const auto* record = dynamic_cast<const TaviFichier*>(bench.Record(clip));
        ASSERT_TRUE(record);
        EXPECT_TRUE(record->HasScn);  // the record was reloaded after the scan

        bench.events.clear();
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CutScenes));
        EXPECT_EQ(bench.engine.Failures(), 0);
        const AviDemuxer source(clip);
        for (size_t k = 0; k < expected.size(); ++k) {
            const std::string name = "clip_scene_" + std::to_string(k + 1) + ".avi";
            SCOPED_TRACE(name);
            EXPECT_NE(
                std::find(bench.events.begin(), bench.events.end(),
                          "msg:En train d'extraire de clip.avi la scène " + std::to_string(k + 1) + " "),
                bench.events.end());
            const std::string out = dir.file(name);
            ASSERT_TRUE(test::Exists(out));
            EXPECT_NE(std::find(bench.ListedPaths().begin(), bench.ListedPaths().end(), out),
                      bench.ListedPaths().end());
            const AviDemuxer cut(out);
            const int stream = cut.VideoStream();
            ASSERT_GE(stream, 0);
            EXPECT_EQ(cut.streams()[size_t(stream)].Kind,
                      type1 ? AviStreamKind::Interleaved : AviStreamKind::Video);
            const uint32_t count = expected[k].fin - expected[k].debut;
            ASSERT_EQ(cut.samples(stream).size(), count);
            // Every frame is the source's frame, byte for byte, so its datecode too.
            std::vector<uint8_t> got;
            for (uint32_t f = 0; f < count; ++f) {
                ASSERT_TRUE(cut.Read(stream, f, got));
                ASSERT_EQ(got, frames[expected[k].debut + f]) << "frame " << f;
            }
            if (!type1) {
                const int audio = cut.AudioStream();
                ASSERT_GE(audio, 0);
                ASSERT_TRUE(cut.Read(audio, 0, got));
                ASSERT_FALSE(got.empty());
                EXPECT_EQ(got.front(), uint8_t(expected[k].debut));
            }
            if (test::HaveProgram("ffprobe")) {
                std::string probe;
                ASSERT_EQ(test::RunStatus("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                          "stream=codec_name,nb_read_frames -of csv=p=0 '" +
                                              out + "'",
                                          &probe),
                          0);
                EXPECT_EQ(probe, "dvvideo," + std::to_string(count) + "\n");
            }
        }
        EXPECT_FALSE(test::Exists(dir.file("clip_scene_" + std::to_string(expected.size() + 1) + ".avi")));
    }
}

TEST(SceneCommands, ScanOfAFileWithoutDatecodeGivesOneScene) {
    Scratch dir;
    const std::vector<Segment> segments = {{30, std::nullopt}};
    const std::string clip = dir.file("nodate.avi");
    WriteAvi(clip, FramesOf(segments), false);
    Bench bench;
    TdmScene dm(SharedOverlayTextSettings());
    bench.Open({clip});
    bench.SelectAll();
    ASSERT_TRUE(bench.Run(dm.CreerScnByDate));
    EXPECT_EQ(ReadScenes(clip), (std::vector<SceneRange>{{0, 30}}));
}

TEST(SceneCommands, SubtitlesHaveOneEntryPerSecondOfDatecode) {
    Scratch dir;
    const std::string clip = dir.file("clip.avi");
    // 70 frames from 10:00:00: the clock shows 10:00:00, 10:00:01 and 10:00:02 (20 frames).
    WriteAvi(clip, FramesOf({{70, kMorning}}), false);
    OverlayTextSettingsStore texts;
    texts.setTemplates("%D1", "%D2");
    texts.setDateFormats("dd/mm/yyyy", "hh:nn:ss");
    Bench bench;
    TdmScene dm(texts);
    bench.Open({clip});
    bench.SelectAll();
    ASSERT_TRUE(bench.Run(dm.CreerSrt));
    EXPECT_EQ(bench.engine.Failures(), 0);
    std::string expected;
    for (int s = 0; s < 3; ++s) {
        const int first = s * 25, last = std::min(70, first + 25);
        expected += std::to_string(s + 1) + "\r\n" + SrtTimeText(first, 25) + " --> " +
                    SrtTimeText(last, 25) + "\r\n01/05/2024\r\n10:00:0" + std::to_string(s) + "\r\n\r\n";
    }
    EXPECT_EQ(test::ReadText(dir.file("clip.srt")), expected);
    EXPECT_EQ(SrtTimeText(70, 25), "00:00:02,800");
}

TEST(SceneCommands, ContentScenesFollowThePictureChanges) {
    Scratch dir;
    // Two files in one run: the second file's first scene starts at its frame 0.
    const std::string a = dir.file("a.avi"), b = dir.file("b.avi");
    WriteAvi(a, FramesOf({{12, kMorning, 48'000, 0}, {9, kMorning, 48'000, 7}, {10, kMorning, 48'000, 3}}),
             false);
    WriteAvi(b, FramesOf({{8, kMorning, 48'000, 5}, {6, kMorning, 48'000, 1}}), true);
    Bench bench;
    TdmScene dm(SharedOverlayTextSettings());
    bench.Open({a, b});
    bench.SelectAll();
    ASSERT_TRUE(bench.Run(dm.CreerScnByContenu));
    EXPECT_EQ(bench.engine.Failures(), 0);
    EXPECT_EQ(ReadScenes(a), (std::vector<SceneRange>{{0, 12}, {12, 21}, {21, 31}}));
    EXPECT_EQ(ReadScenes(b), (std::vector<SceneRange>{{0, 8}, {8, 14}}));
}

TEST(SceneCommands, IntervalScenes) {
    Scratch dir;
    const std::string clip = dir.file("clip.avi");
    WriteAvi(clip, FramesOf({{60, kMorning}}), false);
    struct Case {
        const char* seconds;
        std::vector<SceneRange> scenes;  // empty: no scene file
    };
    const Case cases[] = {
        {"1", {{0, 25}, {25, 50}, {50, 60}}},
        {" 2 ", {{0, 50}, {50, 60}}},
        {"3", {{0, 60}}},
        {"abc", {}},
        {"0", {}},
        {"-4", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        std::filesystem::remove(dir.file("clip.scn"));
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        bench.Open({clip});
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CreerScnByIntervalle, {c.seconds}));
        EXPECT_EQ(bench.engine.Failures(), 0);
        if (c.scenes.empty())
            EXPECT_FALSE(test::Exists(dir.file("clip.scn")));
        else
            EXPECT_EQ(ReadScenes(clip), c.scenes);
    }
}

TEST(SceneCommands, FailuresAreReportedAndLeaveNoHalfFile) {
    Scratch dir;
    const std::string clip = dir.file("clip.avi");
    const auto frames = FramesOf({{30, kMorning}, {20, SecondsAfter(kMorning, 60)}});
    WriteAvi(clip, frames, false);

    {  // The scene file's name is taken by a folder: the scan reports it and leaves nothing.
        std::filesystem::create_directory(dir.file("clip.scn"));
        const auto before = FolderNames(dir.path());
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        bench.confirmer.fallback = TAnswer::Oui;  // overwrite "clip.scn"
        bench.Open({clip});
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CreerScnByDate));
        EXPECT_EQ(bench.engine.Failures(), 1);
        EXPECT_TRUE(std::any_of(bench.events.begin(), bench.events.end(), [&](const std::string& e) {
            return e.starts_with("err:Erreur pendant la création d'un fichier scn pour " + clip);
        }));
        EXPECT_EQ(FolderNames(dir.path()), before);
        std::filesystem::remove(dir.file("clip.scn"));
    }

    // A scene list for the cuts below: one scene inside the file, one beyond its end.
    {
        TwriteScene writer(clip);
        ASSERT_TRUE(writer.AddScene(TSceneClass(0, 10)));
        ASSERT_TRUE(writer.AddScene(TSceneClass(400, 420)));
        ASSERT_TRUE(writer.Finish());
    }
    {  // A save folder that cannot exist: each pass fails with the command's message.
        const std::string blocker = dir.file("blocker");
        test::WriteText(blocker, "x");
        const auto before = FolderNames(dir.path());
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        ASSERT_TRUE(dm.Settings.Set("SameFolder", "0"));
        ASSERT_TRUE(dm.Settings.Set("DossierSave", blocker + "/sub"));
        bench.Open({clip});
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CutScenes));
        EXPECT_EQ(bench.engine.Failures(), 2);
        const auto errors =
            std::count_if(bench.events.begin(), bench.events.end(), [&](const std::string& e) {
                return e.starts_with("err:Erreur pendant le découpage en scènes de " + clip);
            });
        EXPECT_EQ(errors, 2);
        EXPECT_EQ(FolderNames(dir.path()), before);
    }
    {  // Beside the file: the first scene is cut, the one beyond the end is refused.
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        bench.Open({clip});
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CutScenes));
        EXPECT_EQ(bench.engine.Failures(), 1);
        const AviDemuxer cut(dir.file("clip_scene_1.avi"));
        EXPECT_EQ(cut.samples(cut.VideoStream()).size(), 10u);
        EXPECT_FALSE(test::Exists(dir.file("clip_scene_2.avi")));
    }
    {  // A damaged file (not AVI at all): no graph, no scene file, no crash.
        const std::string bad = dir.file("bad.avi");
        test::WriteText(bad, std::string(5000, 'x'));
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        bench.Open({bad});
        bench.SelectAll();
        bench.Run(dm.CreerScnByDate);
        bench.Run(dm.CreerScnByContenu);
        bench.Run(dm.CreerSrt);
        EXPECT_FALSE(test::Exists(dir.file("bad.scn")));
        EXPECT_FALSE(test::Exists(dir.file("bad.srt")));
    }
    {  // A file cut short in the middle of its frames: the frames that remain are scanned.
        std::vector<uint8_t> bytes = test::ReadFileBytes(clip);
        bytes.resize(bytes.size() / 2);
        const std::string half = dir.file("half.avi");
        test::WriteFileBytes(half, bytes);
        Bench bench;
        TdmScene dm(SharedOverlayTextSettings());
        bench.Open({half});
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(dm.CreerScnByDate));
        const auto scenes = ReadScenes(half);
        ASSERT_FALSE(scenes.empty());
        EXPECT_EQ(scenes.front().debut, 0u);
        EXPECT_LT(scenes.back().fin, 50u);
    }
}

TEST(SceneCommands, FindAndSettings) {
    TdmScene dm(SharedOverlayTextSettings());
    for (const char* name :
         {"CreerScnByDate", "creerscnbycontenu", "CREERSCNBYINTERVALLE", "CreerSrt", "CutScenes"})
        EXPECT_NE(dm.Find(name), nullptr) << name;
    EXPECT_EQ(dm.Find("Renommer"), nullptr);
    EXPECT_EQ(dm.Commands().size(), 5u);
    struct Case {
        const char* name;
        const char* value;
        bool ok;
    };
    const Case cases[] = {{"SameFolder", "non", true}, {"samefolder", "maybe", false},
                          {"Intervalle", "30", true},  {"Intervalle", "x", false},
                          {"Intervalle", "0", false},  {"DossierSave", "/tmp", true},
                          {"Inconnu", "1", false}};
    for (const Case& c : cases) EXPECT_EQ(dm.Settings.Set(c.name, c.value), c.ok) << c.name << "=" << c.value;
    EXPECT_FALSE(dm.Settings.SameFolder);
    EXPECT_EQ(dm.Settings.Intervalle, 30);
    EXPECT_EQ(dm.DestinationPath("/v/clip.avi", "_scene_2.avi"), "/tmp/clip_scene_2.avi");
}

}  // namespace
}  // namespace velinor
