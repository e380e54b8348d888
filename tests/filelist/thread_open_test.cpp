#include "filelist/thread_open.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "filelist/avi_fichier.h"
#include "fixtures.h"
#include "list_test_support.h"

namespace velinor {
namespace {

using Names = std::vector<std::string>;
namespace fs = std::filesystem;

void Touch(const std::string& path, const std::string& content = "x") {
    std::ofstream(path, std::ios::binary) << content;
}

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The UTF-16LE playlist the list writes: header lines, five blanks before each path, a footer.
std::vector<uint8_t> Utf16Playlist(const std::vector<std::string>& lines) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (const auto& line : lines) {
        for (unsigned char c : line + "\r\n") {  // the tests' paths are ASCII
            bytes.push_back(c);
            bytes.push_back(0);
        }
    }
    return bytes;
}

TEST(OpenWorker, FolderOpensItsTreeKeepsAcceptedFilesAndFollowsNoFolderLink) {
    test::FileListDir dir;
    const std::string root = dir.file("videos");
    fs::create_directories(root + "/sub/deep");
    fs::create_directories(dir.file("ailleurs"));
    for (const char* name : {"a.avi", "B.AVI", "notes.txt", "son.wav"}) Touch(root + "/" + name);
    Touch(root + "/sub/c.avi");
    Touch(root + "/sub/deep/d.avi");
    Touch(dir.file("ailleurs/hors.avi"));
    fs::create_directory_symlink(dir.file("ailleurs"), root + "/lien");
    fs::create_symlink(root + "/a.avi", root + "/raccourci.avi");
    ASSERT_EQ(::mkfifo((root + "/tube.avi").c_str(), 0600), 0);

    test::ListHarness h;
    Names folders;
    int ended = -1, started = 0;
    h.list.OnOpenStart = [&] { ++started; };
    h.list.OnOpenFolderFound = [&](const std::string& f) { folders.push_back(f); };
    h.list.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
    h.list.OnOpenEnd = [&](int count) { ended = count; };
    h.list.OpenFolderTree(root);
    h.Wait();

    EXPECT_EQ(started, 1);
    EXPECT_EQ(h.Names(), (Names{"a.avi", "B.AVI", "c.avi", "d.avi", "raccourci.avi"}));
    EXPECT_EQ(ended, 5);
    EXPECT_EQ(Sorted(folders), (Names{root + "/", root + "/sub/", root + "/sub/deep/"}));
    EXPECT_FALSE(h.list.Busy());
    EXPECT_EQ(h.list.SelectedCount(), 0);  // SelectionnerOuverts is off
    EXPECT_EQ(h.list.ItemIndex(), -1);
}

TEST(OpenWorker, PathsMasksAndPlaylists) {
    test::FileListDir dir;
    const std::string root = dir.file("v");
    fs::create_directories(root + "/sub");
    for (const char* name : {"a.avi", "b.avi", "c.mov"}) Touch(root + "/" + name);
    Touch(root + "/sub/s.avi");

    // As the list writes it (UTF-16LE), plus a folder line, a missing file and a mask.
    const std::string dashes = "#" + std::string(61, '-');
    const std::string playlist = dir.file("liste.txt");
    test::WriteBytes(playlist,
                     Utf16Playlist({dashes, "#", "#   Titre", "#", dashes, "", "     " + root + "/a.avi",
                                    "     " + root + "/sub", "  " + root + "/absent.avi", root + "/*.mov", "",
                                    dashes, "# 4 fichiers triés par ordre alphabétique",
                                    "Fait le jeudi 10 décembre 2026 01:20:00"}));
    struct Case {
        const char* name;
        std::function<void(TFichierListModel&)> open;
        Names expected;
    };
    const Case cases[] = {
        {"paths",
         [&](TFichierListModel& l) {
             l.OpenPaths({root + "/b.avi", root + "/sub", root + "/nul.avi"});
         },
         {"b.avi"}},
        {"mask", [&](TFichierListModel& l) { l.OpenPaths({root + "/*.AVI"}); }, {"a.avi", "b.avi"}},
        {"playlist", [&](TFichierListModel& l) { l.OpenPlayListFile(playlist); }, {"a.avi", "c.mov"}},
        {"unreadable playlist", [&](TFichierListModel& l) { l.OpenPlayListFile(root); }, {}},
        {"drop",
         [&](TFichierListModel& l) {
             l.OpenDroppedFiles({root + "/sub", playlist, std::string(70000, 'x')});
         },
         {"a.avi", "c.mov", "s.avi"}},
        {"clipboard",
         [&](TFichierListModel& l) {
             l.ClipboardFiles = [&] { return std::optional<Names>(Names{root + "/b.avi", root + "/sub"}); };
             l.OpenClipboardFiles();
         },
         {"b.avi", "s.avi"}},
        {"empty clipboard",
         [&](TFichierListModel& l) {
             l.ClipboardFiles = [] { return std::optional<Names>(); };
             l.OpenClipboardFiles();
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ListHarness h;
        int ended = -1;
        h.list.OnOpenEnd = [&](int count) { ended = count; };
        c.open(h.list);
        h.Wait();
        EXPECT_EQ(h.Names(), c.expected);
        EXPECT_EQ(ended, int(c.expected.size()));
    }
}

TEST(OpenWorker, PlaylistEncodings) {
    test::FileListDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::string text = "# tête\r\n  /a/é.avi  \r\n\r\n/b.avi\n#/c.avi\r/d.avi";
    std::vector<uint8_t> utf8(text.begin(), text.end());
    std::vector<uint8_t> bom8 = {0xEF, 0xBB, 0xBF};
    bom8.insert(bom8.end(), utf8.begin(), utf8.end());
    // UTF-16 of the same text, with "é" = U+00E9 and one character outside the BMP (U+1F3A5).
    const std::u16string wide = u"# tête\r\n  /a/é.avi  \r\n\r\n/b.avi\n#/c.avi\r/d.avi\r\n/\U0001F3A5.avi";
    std::vector<uint8_t> le = {0xFF, 0xFE}, be = {0xFE, 0xFF};
    for (char16_t u : wide) {
        le.insert(le.end(), {uint8_t(u), uint8_t(u >> 8)});
        be.insert(be.end(), {uint8_t(u >> 8), uint8_t(u)});
    }
    const Names base = {"/a/é.avi", "/b.avi", "/d.avi"};
    Names withFilm = base;
    withFilm.push_back("/\xF0\x9F\x8E\xA5.avi");
    const std::pair<Case, Names> cases[] = {{{"utf8", utf8}, base},
                                            {{"utf8-bom", bom8}, base},
                                            {{"utf16le", le}, withFilm},
                                            {{"utf16be", be}, withFilm}};
    for (const auto& [c, expected] : cases) {
        const std::string path = dir.file(c.name);
        test::WriteBytes(path, c.bytes);
        const auto paths = ReadPlaylistPaths(path);
        ASSERT_TRUE(paths) << c.name;
        EXPECT_EQ(*paths, expected) << c.name;
    }
    EXPECT_FALSE(ReadPlaylistPaths(dir.file("absent.txt")));
}

// Stopping from the UI thread, and from inside a hand-over, both leave a consistent list: every
// item is one the worker handed over, in sorted order, and the worker is ready for the next job.
TEST(OpenWorker, StoppingMidwayLeavesAConsistentList) {
    test::FileListDir dir;
    const int total = 40;
    for (int i = 0; i < total; ++i) Touch(dir.file("f" + std::to_string(100 + i) + ".avi"));
    for (bool fromHandOver : {false, true}) {
        SCOPED_TRACE(fromHandOver ? "from a hand-over" : "from the UI thread");
        test::ListHarness h;
        int found = 0, ended = -1;
        h.list.OnOpenFileFound = [&](const std::string&, TAbstractListFichier*) {
            if (++found == 3 && fromHandOver) h.list.StopOpening();
        };
        h.list.OnOpenEnd = [&](int count) { ended = count; };
        h.list.OpenFolderTree(dir.path());
        if (!fromHandOver) {
            h.ui.RunUntil([&] { return found >= 3; });
            h.list.StopOpening();
        }
        h.Wait();
        EXPECT_FALSE(h.list.Busy());
        EXPECT_GE(h.list.Count(), 3);
        EXPECT_LT(h.list.Count(), total);
        EXPECT_EQ(h.list.Count(), found);
        EXPECT_EQ(ended, found);
        const Names names = h.Names();
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));

        // The worker takes the next job and reuses the records already built.
        auto* first = h.list.Item(0);
        const size_t cached = h.cache.Count();
        h.list.OpenFolderTree(dir.path());
        h.Wait();
        EXPECT_EQ(h.list.Count(), total);
        EXPECT_EQ(h.cache.Count(), size_t(total));
        EXPECT_EQ(h.cache.Find(first->FileName), first);
        EXPECT_GE(h.cache.Count(), cached);
    }
}

TEST(OpenWorker, ReopeningAListedPathReusesItsRecord) {
    test::FileListDir dir;
    const std::string path = dir.file("clip.avi");
    test::DvFileRecipe recipe;
    recipe.frames = 2;
    test::WriteDvAvi(path, recipe);
    int built = 0;
    test::ListHarness h([&](const std::string& p) {
        ++built;
        return std::make_unique<TaviFichier>(p);
    });
    h.list.OpenPaths({path});
    h.Wait();
    ASSERT_EQ(h.list.Count(), 1);
    auto* record = h.list.Item(0);
    h.list.ClearFichiers();
    h.list.OpenPaths({path});
    h.Wait();
    ASSERT_EQ(h.list.Count(), 1);
    EXPECT_EQ(h.list.Item(0), record);
    EXPECT_EQ(built, 1);
}

// A folder of DV files with and without datecodes, a non-DV AVI ("þ") and a file that is not
// AVI at all ("ÿ"), sorted by each of the six orders.
TEST(OpenWorker, SortOrdersPlaceUndatedAndNonAviFilesLast) {
    test::FileListDir dir;
    struct File {
        const char* name;
        bool type1;
        int frames;
        std::optional<DatecodeFields> date;
        std::optional<Timecode> timecode;
        uint32_t handler;
        int64_t mtime;  // seconds
    };
    const File files[] = {
        {"b.avi", true, 3, DatecodeFields{2023, 5, 1, 10, 0, 0}, Timecode{0, 0, 10, 0}, 0x64737664,
         1'600'000'500},
        {"c.avi", false, 6, DatecodeFields{2021, 1, 1, 8, 30, 0}, Timecode{0, 0, 5, 0}, 0x64737664,
         1'600'000'400},
        {"a.avi", true, 4, std::nullopt, Timecode{0, 0, 20, 0}, 0x64737664, 1'600'000'200},
        {"d.avi", false, 2, DatecodeFields{2025, 7, 14, 12, 0, 0}, std::nullopt, 0x64737664, 1'600'000'100},
        {"e.avi", false, 5, DatecodeFields{2020, 1, 1, 0, 0, 0}, Timecode{0, 0, 1, 0}, 0x44495658,
         1'600'000'600},
    };
    for (const auto& f : files) {
        test::DvFileRecipe recipe;
        recipe.type1 = f.type1;
        recipe.frames = f.frames;
        recipe.date = f.date;
        recipe.timecode = f.timecode;
        recipe.handler = f.handler;
        test::WriteDvAvi(dir.file(f.name), recipe);
    }
    test::WriteBytes(dir.file("z.avi"), std::vector<uint8_t>(10, 0x5A));
    Touch(dir.file("notes.txt"));
    const auto setTime = [&](const char* name, int64_t seconds) {
        const decltype(stat::st_mtim) times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.file(name).c_str(), times, 0), 0);
    };
    for (const auto& f : files) setTime(f.name, f.mtime);
    setTime("z.avi", 1'600'000'300);

    struct Case {
        const char* order;
        Names expected;
    };
    const Case cases[] = {
        {"datecode", {"c.avi", "b.avi", "d.avi", "a.avi", "e.avi", "z.avi"}},
        {"timecode", {"e.avi", "c.avi", "b.avi", "a.avi", "d.avi", "z.avi"}},  // "-", times, "N/A", no text
        {"duree", {"z.avi", "d.avi", "b.avi", "a.avi", "e.avi", "c.avi"}},
        {"alpha", {"a.avi", "b.avi", "c.avi", "d.avi", "e.avi", "z.avi"}},
        {"taille", {"z.avi", "d.avi", "b.avi", "a.avi", "e.avi", "c.avi"}},
        {"modify", {"d.avi", "a.avi", "z.avi", "c.avi", "b.avi", "e.avi"}},
    };
    test::ListHarness h([](const std::string& p) { return std::make_unique<TaviFichier>(p); });
    h.list.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
    h.list.OpenFolderTree(dir.path());
    h.Wait();
    ASSERT_EQ(h.list.Count(), 6);
    h.list.SetActiveIndex(h.list.IndexOfPath(dir.file("d.avi")));
    h.list.SetSelected(h.list.IndexOfPath(dir.file("a.avi")), true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.order);
        h.list.SortBy(SortIndexById(c.order));
        EXPECT_EQ(h.list.SortIndex().Id, c.order);
        EXPECT_EQ(h.Names(), c.expected);
        EXPECT_EQ(h.ActiveName(), "d.avi");
        EXPECT_EQ(h.SelectedNames().size(), 2u);
    }
    // A file opened while sorted goes to its sorted place.
    h.list.SortBy(kSortDatecode);
    test::DvFileRecipe late;
    late.frames = 2;
    late.date = DatecodeFields{2022, 6, 1, 9, 0, 0};
    test::WriteDvAvi(dir.file("f.avi"), late);
    h.list.OpenPaths({dir.file("f.avi")});
    h.Wait();
    EXPECT_EQ(h.Names(), (Names{"c.avi", "f.avi", "b.avi", "d.avi", "a.avi", "e.avi", "z.avi"}));
    EXPECT_EQ(h.ActiveName(), "d.avi");
}

}  // namespace
}  // namespace velinor
