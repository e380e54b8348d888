#include "scenes/scn_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "scenes/scene_list.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void put(Bytes& b, std::initializer_list<uint8_t> v) {
    b.insert(b.end(), v);
}
void put32(Bytes& b, uint32_t v) {
    put(b, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void putAscii(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}
void putWide(Bytes& b, std::u16string_view s) {
    put(b, {0xFF, 0xFE, 0xFF, uint8_t(s.size())});
    for (char16_t c : s) put(b, {uint8_t(c), uint8_t(c >> 8)});
}

TSceneClass scene(uint32_t debut, uint32_t fin, std::string titre = {}, std::string sousTitre = {},
                  uint32_t imageOffset = 0) {
    TSceneClass s(debut, fin);
    s.Titre = std::move(titre);
    s.SousTitre = std::move(sousTitre);
    s.ImageOffset = imageOffset;
    return s;
}

class ScnFile : public ::testing::Test {
protected:
    test::TempDir dir;
    // A ten-character path as the file stores it (the folder is only where the file goes).
    std::string video() const { return dir.file("clip.avi"); }
};

// The header and the first record byte for byte, then a second record with an image offset and
// a three-letter title; the file's two-byte count is rewritten after each record.
TEST_F(ScnFile, WritesTheExactLayoutAndReadsItBack) {
    const std::string path = video();
    const std::u16string path16(path.begin(), path.end());
    {
        TwriteScene writer(path);
        ASSERT_TRUE(writer.ok()) << writer.error();
        ASSERT_TRUE(writer.AddScene(scene(0, 250)));
        ASSERT_TRUE(writer.AddScene(scene(250, 400, "abc", "", 12)));
        ASSERT_TRUE(writer.Finish()) << writer.error();
    }
    Bytes want;
    put(want, {0x63, 0x26, 1, 0, 4, 0, 0, 0, 0xFF, 0xFF, 3, 0, 10, 0});
    putAscii(want, "SourceTape");
    putWide(want, path16);
    put(want, {0, 0, 0, 0, 0, 0, 0x0C, 0});
    EXPECT_EQ(want.size(), 36 + 2 * path16.size());
    put(want, {2, 0, 0xFF, 0xFF, 1, 0, 4, 0});
    putAscii(want, "Clip");
    put(want, {0x50, 0, 0, 0, 0xFF, 0xFF, 1, 0, 5, 0});
    putAscii(want, "Scene");
    put(want, {0});
    put32(want, 0);
    put32(want, 250);
    put(want, {0, 0, 0, 0, 1, 0x80});
    putWide(want, path16);
    put32(want, 0);
    put32(want, 0);
    put32(want, 250);
    put(want, {0x03, 0x80, 0xF0, 0x80, 0x40, 0x00, 0x05, 0x80, 0xFF, 0xFE, 0xFF, 0x00});
    put32(want, 250);
    put32(want, 150);
    put(want, {0, 0, 0, 0, 7, 0});
    put32(want, 250);
    put32(want, 150);
    put32(want, 250);
    put32(want, 12);
    putWide(want, u"abc\r\n");
    EXPECT_EQ(readAll(dir.file("clip.scn")), want);

    SceneList list;
    ASSERT_TRUE(ReadScnFile(dir.file("clip.scn"), list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].scene->Debut, 0u);
    EXPECT_EQ(list[0].scene->Fin, 250u);
    EXPECT_EQ(list[0].scene->Numero, 1);
    EXPECT_EQ(list[0].caption, "Scène 1: ");
    EXPECT_EQ(list[1].scene->Debut, 250u);
    EXPECT_EQ(list[1].scene->Fin, 400u);
    EXPECT_EQ(list[1].scene->Titre, "abc");
    EXPECT_EQ(list[1].scene->SousTitre, "");
    EXPECT_EQ(list[1].scene->ImageOffset, 12u);
    EXPECT_EQ(list[1].caption, "Scène 2: abc");
}

// Texts, image offsets and non-Latin characters survive a save and reload; the first scene
// always comes back starting at frame 0; a third line of title text is dropped.
TEST_F(ScnFile, RoundTripsScenes) {
    struct Case {
        TSceneClass in;
        uint32_t debut, fin;
        std::string titre, sousTitre;
    };
    const Case cases[] = {
        {scene(10, 100, "Noël", "à la montagne", 7), 0, 100, "Noël", "à la montagne"},
        {scene(100, 100), 100, 100, "", ""},
        {scene(100, 300, "", "sous-titre seul"), 100, 300, "", "sous-titre seul"},
        {scene(300, 301, "un\r\ndeux", "trois"), 300, 301, "un", "deux"},
        {scene(301, 0xFFFFFFFF, "日本語 😀", "x"), 301, 0xFFFFFFFF, "日本語 😀", "x"},
    };
    TwriteScene writer(video());
    for (const auto& c : cases) ASSERT_TRUE(writer.AddScene(c.in)) << writer.error();
    ASSERT_TRUE(writer.Finish());
    SceneList list;
    ASSERT_TRUE(ReadScnFile(writer.scnPath(), list));
    ASSERT_EQ(list.size(), std::size(cases));
    for (size_t i = 0; i < list.size(); ++i) {
        const auto& got = *list[i].scene;
        EXPECT_EQ(got.Numero, int(i + 1));
        EXPECT_EQ(got.Debut, cases[i].debut) << i;
        EXPECT_EQ(got.Fin, cases[i].fin) << i;
        EXPECT_EQ(got.Titre, cases[i].titre) << i;
        EXPECT_EQ(got.SousTitre, cases[i].sousTitre) << i;
        EXPECT_EQ(got.ImageOffset, cases[i].in.ImageOffset) << i;
    }
}

// Scenes the file cannot hold are refused with a message; nothing is put in place and the old
// file stays as it was.
TEST_F(ScnFile, RefusesWhatItCannotStoreAndKeepsTheOldFile) {
    const std::string scn = dir.file("clip.scn");
    writeAll(scn, {1, 2, 3});
    struct Case {
        const char* name;
        std::vector<TSceneClass> scenes;
        const char* message;
    };
    const std::string longTitle(200, 'a'), longSub(53, 'b');
    const Case cases[] = {
        {"end before start", {scene(0, 10), scene(20, 15)}, "la fin précède le début"},
        {"out of order", {scene(0, 10), scene(10, 20), scene(5, 30)}, "pas dans l'ordre"},
        {"text too long", {scene(0, 10, longTitle, longSub)}, "trop longs"},
    };
    for (const auto& c : cases) {
        TwriteScene writer(video());
        bool added = true;
        for (const auto& s : c.scenes) added = added && writer.AddScene(s);
        EXPECT_FALSE(added) << c.name;
        EXPECT_FALSE(writer.Finish()) << c.name;
        EXPECT_NE(writer.error().find(c.message), std::string::npos) << c.name << ": " << writer.error();
        EXPECT_EQ(readAll(scn), (Bytes{1, 2, 3})) << c.name;
    }
    // 252 units of text plus the line break fit exactly.
    TwriteScene fits(video());
    EXPECT_TRUE(fits.AddScene(scene(0, 10, std::string(200, 'a'), std::string(52, 'b'))));
    EXPECT_TRUE(fits.Finish());

    const std::string longPath = dir.file(std::string(250, 'v') + ".avi");
    TwriteScene tooLong(longPath);
    EXPECT_FALSE(tooLong.ok());
    EXPECT_FALSE(tooLong.AddScene(scene(0, 1)));
    EXPECT_FALSE(tooLong.Finish());
    EXPECT_FALSE(std::filesystem::exists(ReplaceExtension(longPath, ".scn")));
}

TEST_F(ScnFile, RefusesTheScenePastTheCountLimit) {
    TwriteScene writer(video());
    for (uint32_t i = 0; i < kScnMaxScenes; ++i) ASSERT_TRUE(writer.AddScene(scene(i, i + 1)));
    EXPECT_FALSE(writer.AddScene(scene(kScnMaxScenes, kScnMaxScenes + 1)));
    EXPECT_NE(writer.error().find("65 535"), std::string::npos);
    EXPECT_FALSE(writer.Finish());
    EXPECT_FALSE(std::filesystem::exists(writer.scnPath()));
}

// A writer abandoned before Finish leaves neither a new file nor a temporary one.
TEST_F(ScnFile, AbandonedOrUncreatableWriterLeavesNothing) {
    {
        TwriteScene writer(video());
        ASSERT_TRUE(writer.AddScene(scene(0, 5)));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    const std::string folder = dir.file("ro");
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    if (::access(folder.c_str(), W_OK) != 0) {
        TwriteScene writer(folder + "/clip.avi");
        EXPECT_FALSE(writer.ok());
        EXPECT_NE(writer.error().find("Impossible de créer"), std::string::npos) << writer.error();
        EXPECT_FALSE(writer.Finish());
    }
    ::chmod(folder.c_str(), 0755);
}

// Damaged files: what was read is kept and the result is false; no fault crashes the reader.
TEST_F(ScnFile, DamagedFilesGiveTheScenesReadSoFar) {
    TwriteScene writer(video());
    ASSERT_TRUE(writer.AddScene(scene(0, 250, "t", "s", 3)));
    ASSERT_TRUE(writer.AddScene(scene(250, 400, "abc")));
    ASSERT_TRUE(writer.AddScene(scene(400, 500)));
    ASSERT_TRUE(writer.Finish());
    const Bytes good = readAll(writer.scnPath());
    const size_t countAt = 36 + 2 * video().size();

    // Every truncation reads fewer than three scenes and answers false.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        SceneList list;
        EXPECT_FALSE(ReadScnBytes(std::span(good.data(), cut), list)) << cut;
        EXPECT_LT(list.size(), 3u) << cut;
    }

    struct Case {
        const char* name;
        size_t offsetFromEnd;  // 0: the count
        std::vector<uint8_t> bytes;
        size_t scenes;
    };
    // The third record is the last 42 bytes: its Debut at 12, length at 16.
    const Case cases[] = {
        {"count says four", 0, {4, 0}, 3},
        {"count says zero", 0, {0, 0}, 1},
        {"length overflows", 42 - 16, {0xFF, 0xFF, 0xFF, 0xFF}, 2},
        {"out of order", 42 - 12, {100, 0, 0, 0}, 2},
    };
    for (const auto& c : cases) {
        Bytes damaged = good;
        const size_t at = c.offsetFromEnd == 0 ? countAt : good.size() - c.offsetFromEnd;
        std::copy(c.bytes.begin(), c.bytes.end(), damaged.begin() + long(at));
        SceneList list;
        EXPECT_FALSE(ReadScnBytes(damaged, list)) << c.name;
        EXPECT_EQ(list.size(), c.scenes) << c.name;
    }

    SceneList list;
    EXPECT_FALSE(ReadScnFile(dir.file("missing.scn"), list));
}

// The list of the preview: the single default scene, the scenes of a .scn followed by the error
// entry when it is damaged, and the moves to the next and previous scene starts.
TEST_F(ScnFile, SceneListLoadsSavesAndMoves) {
    CurrentVideo current{video(), 25.0, 720, 576, 1000};
    TSFrame frame;
    frame.LoadScenes(current);
    ASSERT_EQ(frame.Count(), 1u);
    EXPECT_EQ(frame.CaptionAt(0), "1: Scène unique");
    EXPECT_EQ(frame.SceneAt(0)->Fin, 1000u);
    EXPECT_EQ(frame.SceneAt(0)->SousTitre, "correspondant à vidéo non analysée");
    EXPECT_EQ(frame.SceneAt(0)->Duree, "40.00");
    EXPECT_EQ(frame.SceneAt(0)->Image.width, 300);
    EXPECT_EQ(frame.SceneAt(0)->Image.height, 240);

    frame.Items().clear();
    for (auto [d, f] : {std::pair{0u, 100u}, {100u, 400u}, {400u, 1000u}})
        frame.Items().push_back({"", std::make_unique<TSceneClass>(scene(d, f))});
    frame.Modified = true;
    std::string error;
    ASSERT_TRUE(frame.SaveScn(video(), error)) << error;
    EXPECT_FALSE(frame.Modified);

    frame.LoadScenes(current);
    ASSERT_EQ(frame.Count(), 3u);
    struct Move {
        uint32_t frame, next, prev;
    };
    const Move moves[] = {{0, 100, 0}, {50, 100, 0}, {100, 400, 0}, {400, 1000, 100}, {999, 1000, 400}};
    for (const auto& m : moves) {
        EXPECT_EQ(frame.NextSceneStart(m.frame, 1000), m.next) << m.frame;
        EXPECT_EQ(frame.PrevSceneStart(m.frame), m.prev) << m.frame;
    }

    Bytes damaged = readAll(ReplaceExtension(video(), ".scn"));
    damaged.resize(damaged.size() - 5);
    writeAll(ReplaceExtension(video(), ".scn"), damaged);
    frame.LoadScenes(current);
    ASSERT_EQ(frame.Count(), 3u);
    EXPECT_EQ(frame.CaptionAt(2), TSFrame::kErrorCaption);
    EXPECT_EQ(frame.SceneAt(2)->Debut, 0u);
    EXPECT_EQ(frame.SceneAt(2)->Fin, 0u);
    EXPECT_EQ(frame.VideoPath, video());
    EXPECT_FALSE(frame.Modified);

    // A failed save is reported and the list stays modified.
    frame.Modified = true;
    frame.SceneAt(1)->Debut = 999;
    EXPECT_FALSE(frame.SaveScn(video(), error));
    EXPECT_TRUE(frame.Modified);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace velinor
