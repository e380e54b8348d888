#include "filelist/avi_fichier.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "filelist/base_frame.h"
#include "filters/probe.h"
#include "fixtures.h"
#include "media/fpsunit.h"

namespace velinor {
namespace {

using test::DvFileRecipe;

struct RecordCase {
    const char* name;
    DvFileRecipe recipe;
    int32_t dvType;
    bool iavs;
    uint8_t system;
    double fps;
    const char* image;
    const char* aspect;
    int32_t height;
    const char* audio;
    const char* timecode;
    const char* datecodeKey;
};

DvFileRecipe Recipe(bool type1, bool pal, bool wide) {
    DvFileRecipe s;
    s.type1 = type1;
    s.pal = pal;
    s.wide = wide;
    return s;
}

TEST(AviFichier, DvFilesGiveTheirFieldsTextsAndKeys) {
    DvFileRecipe audio32k = Recipe(true, true, false);
    audio32k.dvAudio = {32'000, 2, 12};
    DvFileRecipe undated = Recipe(false, true, false);
    undated.date.reset();
    undated.timecode.reset();
    DvFileRecipe four = Recipe(false, true, false);
    four.pcmChannels = 4;
    DvFileRecipe ntsc = Recipe(false, false, false);
    ntsc.date = DatecodeFields{2026, 1, 2, 23, 59, 58};
    const RecordCase cases[] = {
        {"type1-pal-4x3", Recipe(true, true, false), 1, false, 0, 25.0, "720 x 576 (Pal", " 4x3)", 540,
         "48000Hz 16 bits  stéréo", "01.02.03.04", "20240312140506"},
        {"type1-pal-16x9", Recipe(true, true, true), 1, false, 0, 25.0, "720 x 576 (Pal", " 16x9)", 405,
         "48000Hz 16 bits  stéréo", "01.02.03.04", "20240312140506"},
        {"type2-ntsc", ntsc, 2, false, 1, 29.97, "720 x 480 (NTSC", " 4x3)", 540, "48000Hz 16 bits  stéréo",
         "01.02.03.04", "20260102235958"},
        {"type1-32k-12bit", audio32k, 1, false, 0, 25.0, "720 x 576 (Pal", " 4x3)", 540,
         "32000Hz 12(16) bits  stéréo", "01.02.03.04", "20240312140506"},
        {"no-datecode", undated, 2, false, 0, 25.0, "720 x 576 (Pal", " 4x3)", 540, "48000Hz 16 bits  stéréo",
         "N/A", "N/A"},
        {"four-channels", four, 2, false, 0, 25.0, "720 x 576 (Pal", " 4x3)", 540,
         "48000Hz 16 bits  stéréo (4)", "01.02.03.04", "20240312140506"},
    };
    test::FileListDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".avi");
        test::WriteDvAvi(path, c.recipe);
        const TaviFichier r(path);
        EXPECT_TRUE(r.IsDV);
        EXPECT_EQ(r.DVType, c.dvType);
        EXPECT_EQ(r.Iavs, c.iavs);
        EXPECT_EQ(r.VideoSystem, c.system);
        EXPECT_NEAR(r.Fps, c.fps, 0.001);
        EXPECT_EQ(r.ImageText, c.image);
        EXPECT_EQ(r.AspectText, c.aspect);
        EXPECT_EQ(r.Width, 720);
        EXPECT_EQ(r.Height, c.height);
        EXPECT_EQ(r.Wide, c.recipe.wide);
        EXPECT_EQ(r.AudioText, c.audio);
        EXPECT_EQ(r.TimecodeText, c.timecode);
        EXPECT_EQ(r.DatecodeKey, c.datecodeKey);
        EXPECT_EQ(r.Codec, "dvsd");
        EXPECT_EQ(r.FrameCount, c.recipe.frames);
        const int64_t frameDuration = c.recipe.pal ? 400'000 : 333'667;
        EXPECT_NEAR(double(r.Duration), double(c.recipe.frames * frameDuration), 10.0);
        if (c.recipe.date) {
            const Datecode expected = *MakeDatecode(*c.recipe.date);
            EXPECT_DOUBLE_EQ(r.DatecodeValue, expected);
            EXPECT_EQ(r.DatecodeText, FormatDateTime(" ddddd tt", expected));
        } else {
            EXPECT_EQ(r.DatecodeText, "N/A");
            EXPECT_EQ(r.DatecodeValue, 0);
        }
        EXPECT_EQ(r.DatecodeSortKey, r.DatecodeKey + r.AlphaKey);
        EXPECT_EQ(r.TimecodeSortKey, r.TimecodeText + r.AlphaKey);
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.12lld", static_cast<long long>(r.Duration));
        EXPECT_EQ(r.DureeSortKey, duration + r.AlphaKey);
        EXPECT_EQ(r.SortKey(kSortDuree), r.DureeSortKey);
        EXPECT_EQ(r.SortKey(kSortAlpha), r.AlphaKey);
    }
}

TEST(AviFichier, WaveFileIsListedLastWithItsAudio) {
    test::FileListDir dir;
    const std::string path = dir.file("son.wav");
    test::WriteWave(path, 44'100, 2, 2);
    const TaviFichier r(path);
    EXPECT_EQ(r.DatecodeKey, "ÿ");
    EXPECT_EQ(r.DatecodeText, "");
    EXPECT_EQ(r.TimecodeText, "");
    EXPECT_EQ(r.ImageText, "N/A");
    EXPECT_EQ(r.AudioText, "44100Hz 16 bits  stéréo");
    EXPECT_EQ(r.AudioFormatText, "PCM 176400 octets/s");
    EXPECT_EQ(r.AudioDurationText, MsDurationText(20'000'000));
    EXPECT_FALSE(r.IsDV);
    EXPECT_EQ(r.Codec, "");
}

TEST(AviFichier, SidecarFilesAreSeenBesideTheFile) {
    test::FileListDir dir;
    const std::string path = dir.file("clip.avi");
    test::WriteDvAvi(path, Recipe(true, true, false));
    std::ofstream(dir.file("clip.scn")) << "x";
    const TaviFichier r(path);
    EXPECT_TRUE(r.HasScn);
    EXPECT_FALSE(r.HasSrt);
}

// A file whose video declares another vendor's code: the record never writes it, and the probe's
// second try takes the code as "dvsd" in memory.
// DV under another vendor's DV code is read as DV and keeps its code; DV frames under an
// unrelated code are not DV and are only ever retried in memory.
TEST(AviFichier, ForeignCodecIsNeverPatchedOnDisk) {
    test::FileListDir dir;
    const std::string canopus = dir.file("canopus.avi");
    DvFileRecipe recipe = Recipe(false, true, false);
    recipe.handler = 0x43564443;  // "CDVC"
    test::WriteDvAvi(canopus, recipe);
    const uint64_t canopusBefore = test::Checksum(canopus);
    const TaviFichier dv(canopus);
    EXPECT_EQ(test::Checksum(canopus), canopusBefore);
    EXPECT_TRUE(dv.IsDV);
    EXPECT_EQ(dv.DVType, 2);
    EXPECT_EQ(dv.Codec, "CDVC");
    EXPECT_EQ(dv.DatecodeKey, "20240312140506");
    EXPECT_EQ(dv.TimecodeText, "01.02.03.04");

    const std::string path = dir.file("xvid.avi");
    recipe.handler = 0x44495658;  // "XVID"
    test::WriteDvAvi(path, recipe);
    const uint64_t before = test::Checksum(path);
    const TaviFichier r(path);
    EXPECT_EQ(test::Checksum(path), before);
    EXPECT_FALSE(r.IsDV);
    EXPECT_EQ(r.Codec, "XVID");
    EXPECT_EQ(r.DatecodeKey, "þ");
    EXPECT_EQ(r.DatecodeText, "-");
    std::lock_guard lock(RecordConstructionLock());
    ASSERT_TRUE(SharedProbe().ProbeFile(path, true));
    const ProbeResult& p = SharedProbe().Result;
    EXPECT_TRUE(p.DVFound);
    EXPECT_TRUE(p.DatecodeValid);
    EXPECT_EQ(p.TimecodeValue, (Timecode{1, 2, 3, 4}));
    EXPECT_EQ(test::Checksum(path), before);
}

// Files that are damaged, cut short, empty, unreadable or not files at all each get a record; none
// changes a byte on disk.
TEST(AviFichier, BadFilesGiveNotAvailableTextsAndStayUntouched) {
    test::FileListDir dir;
    const std::string good = dir.file("good.avi");
    DvFileRecipe recipe = Recipe(false, true, false);
    recipe.frames = 4;
    test::WriteDvAvi(good, recipe);
    const auto bytes = test::ReadBytes(good);

    struct BadCase {
        const char* name;
        std::vector<uint8_t> content;
        bool allNotAvailable;  // no picture, no sound
    };
    auto hugeRiff = bytes;
    hugeRiff[4] = hugeRiff[5] = hugeRiff[6] = hugeRiff[7] = 0xFF;
    auto badStrh = bytes;
    for (size_t i = 0; i + 8 < badStrh.size(); ++i)
        if (std::memcmp(&badStrh[i], "strh", 4) == 0) {
            badStrh[i + 4] = badStrh[i + 5] = badStrh[i + 6] = badStrh[i + 7] = 0xFF;
            break;
        }
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 37 + 11);
    const BadCase cases[] = {
        {"empty", {}, true},
        {"riff-only", {bytes.begin(), bytes.begin() + 12}, true},
        {"cut-in-main-header", {bytes.begin(), bytes.begin() + 100}, true},
        {"cut-in-stream-headers", {bytes.begin(), bytes.begin() + 300}, false},
        {"cut-in-frames", {bytes.begin(), bytes.begin() + long(bytes.size() / 2)}, false},
        {"cut-before-index", {bytes.begin(), bytes.end() - 40}, false},
        {"riff-size-too-large", hugeRiff, false},
        {"strh-size-too-large", badStrh, false},
        {"garbage", garbage, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".avi");
        test::WriteBytes(path, c.content);
        const uint64_t before = test::Checksum(path);
        const TaviFichier r(path);
        EXPECT_EQ(test::Checksum(path), before);
        EXPECT_EQ(test::ReadBytes(path).size(), c.content.size());
        if (c.allNotAvailable) {
            EXPECT_EQ(r.ImageText, "N/A");
            EXPECT_EQ(r.AudioText, "N/A");
            EXPECT_EQ(r.DatecodeKey, "ÿ");
            EXPECT_EQ(r.FrameCount, 0);
        } else {
            EXPECT_LE(r.FrameCount, recipe.frames);
        }
    }

    // Not readable: permissions (unless we are root), a FIFO, a folder, a vanished path.
    const std::string locked = dir.file("locked.avi");
    test::WriteBytes(locked, bytes);
    ::chmod(locked.c_str(), 0);
    const std::string fifo = dir.file("fifo.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("folder.avi");
    std::filesystem::create_directory(folder);
    std::vector<std::string> unreadable = {fifo, folder, dir.file("vanished.avi")};
    if (::geteuid() != 0) unreadable.push_back(locked);
    for (const auto& path : unreadable) {
        SCOPED_TRACE(path);
        const TaviFichier r(path);
        EXPECT_EQ(r.ImageText, "N/A");
        EXPECT_EQ(r.AudioText, "N/A");
        EXPECT_EQ(r.DatecodeKey, "ÿ");
        EXPECT_EQ(r.Name, std::filesystem::path(path).filename().string());
    }
    ::chmod(locked.c_str(), 0600);
    EXPECT_EQ(test::ReadBytes(locked), bytes);
}

TEST(AviFichier, ZeroFrameDurationGivesNoRate) {
    // VIDEOINFOHEADER with AvgTimePerFrame 0: a "vids" stream whose strh rate is 0.
    test::FileListDir dir;
    const std::string path = dir.file("rate0.avi");
    DvFileRecipe recipe = Recipe(false, true, false);
    test::WriteDvAvi(path, recipe);
    auto bytes = test::ReadBytes(path);
    for (size_t i = 0; i + 36 < bytes.size(); ++i)
        if (std::memcmp(&bytes[i], "strh", 4) == 0 && std::memcmp(&bytes[i + 8], "vids", 4) == 0) {
            std::fill_n(bytes.begin() + long(i) + 8 + 24, 4, 0);  // dwRate
            break;
        }
    test::WriteBytes(path, bytes);
    const TaviFichier r(path);
    EXPECT_EQ(r.FrameCount, 0);
    EXPECT_EQ(r.Duration, 0);
    EXPECT_EQ(r.ImageText, "720 x 576 (Pal");
    // The DV stream still gives its datecode.
    EXPECT_EQ(r.DatecodeKey, "20240312140506");
}

TEST(BaseFrame, ShowsTheRecordAsThePanelDoes) {
    test::FileListDir dir;
    const std::string path = dir.file("clip.avi");
    DvFileRecipe recipe = Recipe(false, true, true);
    test::WriteDvAvi(path, recipe);
    TaviFichier r(path);
    r.Decalage = -1.5;
    r.DecalageText = "-1 j 12:00:00";
    TBaseFrame panel;
    bool cleared = false;
    panel.OnClear = [&] { cleared = true; };
    panel.ShowFile(&r);
    const auto& t = panel.Texts;
    EXPECT_EQ(t.LabNom, "clip.avi");
    EXPECT_EQ(t.LabCodec, "dvsd (type 2)");
    EXPECT_EQ(t.LabImage, "720 x 576 (Pal 16x9)");
    EXPECT_EQ(t.labFPS, "25");
    EXPECT_EQ(t.LabTimecode, "01.02.03.04");
    EXPECT_EQ(t.labDatecode, r.DatecodeText);
    EXPECT_TRUE(t.labDecalageVisible);
    EXPECT_EQ(t.labDecalage, "-1 j 12:00:00");
    EXPECT_EQ(t.LabAudio2, "PCM 192000 octets/s");
    EXPECT_EQ(t.Hint.rfind("Fichier  : " + path + "\r\nTaille   : ", 0), 0u);
    panel.ShowFile(nullptr);
    EXPECT_EQ(panel.Current, &r);
    panel.ClearFile();
    EXPECT_EQ(panel.Texts.LabNom, "---");
    EXPECT_TRUE(panel.Texts.LabCodec.empty());
    EXPECT_TRUE(cleared);

    struct FpsCase {
        double fps;
        const char* text;
    };
    for (const auto& c :
         {FpsCase{29.97, "29,97"}, FpsCase{25, "25"}, FpsCase{30000.0 / 1001, "29,97002997003"}})
        EXPECT_EQ(GeneralFloatText(c.fps), c.text);
    EXPECT_EQ(GroupedNumberText(1234567), "1\u00A0234\u00A0567");
}

// biWidth is taken as the file gives it, whatever its value; the DV picture height follows from
// it without overflow (run under UBSan).
TEST(AviFichier, AnyBitmapWidthGivesARecord) {
    test::FileListDir dir;
    const std::string good = dir.file("good.avi");
    test::WriteDvAvi(good, Recipe(false, true, false));
    const auto bytes = test::ReadBytes(good);
    size_t strf = 0;
    for (size_t i = 0; i + 16 < bytes.size() && !strf; ++i)
        if (std::memcmp(&bytes[i], "strf", 4) == 0) strf = i;
    ASSERT_NE(strf, 0u);
    for (const int32_t width : {INT32_MAX, INT32_MIN, -1, 0, 720}) {
        SCOPED_TRACE(width);
        auto b = bytes;
        std::memcpy(&b[strf + 8 + 4], &width, 4);  // BITMAPINFOHEADER biWidth
        const std::string path = dir.file("w.avi");
        test::WriteBytes(path, b);
        const TaviFichier r(path);
        EXPECT_EQ(r.Width, width);
        EXPECT_EQ(r.Height, int32_t(int64_t(width) * (r.Wide ? 9 : 3) / (r.Wide ? 16 : 4)));
    }
}

}  // namespace
}  // namespace velinor
