#include "filelist/list_fichier_man.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "actions/preferences_morvane.h"
#include "filelist/fixtures.h"
#include "filelist/list_test_support.h"
#include "filelist/thread_open.h"
#include "platform/utf16.h"

namespace velinor {
namespace {

using test::FileListDir;
using test::ListHarness;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

Datecode FixedNow() {
    return *MakeDatecode({2026, 12, 10, 9, 5, 7});
}

// UTF-16LE bytes of UTF-8 text.
std::string Le(const std::string& text) {
    std::string out;
    for (char16_t u : Utf8ToUtf16(text)) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    }
    return out;
}

std::unique_ptr<TAbstractListFichier> PlainRecord(const std::string& path) {
    return std::make_unique<TSRFichier>(path);
}

TEST(PlaylistBytes, EmptyListGivesTheHeaderTwoEmptyLinesAndTheCountLine) {
    const std::string d = "#" + std::string(61, '-');
    const std::string want =
        "\xFF\xFE" +
        Le(d + "\r\n#\r\n#   Titre\r\n#\r\n" + d + "\r\n#\r\n#   Slogan\r\n#\r\n" + d + "\r\n\r\n\r\n" + d +
           "\r\n# Aucun fichier - tri selon le datecode\r\n" + "Fait le jeudi 10 décembre 2026 09:05:07\r\n");
    EXPECT_EQ(PlaylistBytes({}, "Titre", "Slogan", kSortDatecode, FixedNow()), want);
}

TEST(PlaylistBytes, CountLineFollowsTheNumberOfFiles) {
    struct Case {
        std::vector<std::string> paths;
        std::string line;
    };
    const Case cases[] = {
        {{"/a.avi"}, "# Un fichier - tri par ordre alphabétique"},
        {{"/a.avi", "/b.avi", "/c.avi"}, "# 3 fichiers triés selon le datecode"},
    };
    for (const auto& c : cases) {
        const TSortIndex& order = c.paths.size() == 1 ? kSortAlpha : kSortDatecode;
        const std::string bytes = PlaylistBytes(c.paths, "t", "s", order, FixedNow());
        EXPECT_NE(bytes.find(Le(c.line + "\r\n")), std::string::npos) << c.line << " / " << order.Description;
        for (const auto& p : c.paths) EXPECT_NE(bytes.find(Le("\r\n     " + p + "\r\n")), std::string::npos);
    }
}

// A saved playlist reads back as exactly its paths (non-Latin ones included), and writing those
// paths again gives the same bytes, whichever encoding the reader was given.
TEST(Playlist, RoundTripsByteForByte) {
    FileListDir dir;
    ListHarness h(PlainRecord);
    const std::vector<std::string> names = {"été à Noël.avi", "Фильм 東京 🎥.avi", "plain.avi"};
    for (const auto& n : names) {
        Touch(dir.file(n));
        h.Add(dir.file(n));
    }
    const Datecode now = FixedNow();
    ASSERT_EQ(SavePlaylistFile(h.list, dir.file("liste"), "Un programme", "Visitez", now), "");
    const std::string bytes = ReadFile(dir.file("liste.txt"));
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\r\0\n\0", 4));

    std::vector<std::string> listed;
    h.list.CollectFileNames(listed);
    const auto read = ReadPlaylistPaths(dir.file("liste.txt"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), listed.size() + 1);  // and the "Fait le" line, which names no file
    EXPECT_EQ(std::vector<std::string>(read->begin(), read->end() - 1), listed);
    EXPECT_EQ(read->back().rfind("Fait le ", 0), 0u);
    EXPECT_EQ(PlaylistBytes(listed, "Un programme", "Visitez", h.list.SortIndex(), now), bytes);

    // The same text as UTF-16BE and as UTF-8, with and without a mark.
    std::string be = bytes;
    for (size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        units += char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    const std::string utf8 = Utf16ToUtf8(units);
    for (const std::string& other : {be, "\xEF\xBB\xBF" + utf8, utf8})
        EXPECT_EQ(PlaylistPathsFromBytes(other), *read);

    // Reopened into an empty list, it lists the same files.
    ListHarness again(PlainRecord);
    again.list.OpenPlayListFile(dir.file("liste.txt"));
    again.Wait();
    std::vector<std::string> reopened;
    again.list.CollectFileNames(reopened);
    EXPECT_EQ(reopened, listed);
}

// Every truncation of a playlist after its mark, and a damaged one, reads without fault: the
// paths before the cut come back whole and in order.
TEST(Playlist, TruncatedOrDamagedReadsWhatIsWhole) {
    const std::vector<std::string> paths = {"/v/été.avi", "/v/東京.avi"};
    const std::string bytes = PlaylistBytes(paths, "t", "s", kSortAlpha, FixedNow());
    EXPECT_NO_THROW(PlaylistPathsFromBytes(bytes.substr(0, 1)));  // half a mark: one odd line
    for (size_t cut = 2; cut <= bytes.size(); ++cut) {
        const auto read = PlaylistPathsFromBytes(bytes.substr(0, cut));
        for (size_t i = 0; i < read.size() && i < paths.size(); ++i) {
            if (i + 1 < read.size())
                EXPECT_EQ(read[i], paths[i]) << cut;
            else
                EXPECT_EQ(paths[i].rfind(read[i], 0), 0u) << cut;  // the last may be cut short
        }
    }
    std::string damaged = bytes;
    damaged[bytes.size() / 2] = '\xD8';  // an unpaired surrogate
    damaged[bytes.size() / 2 + 1] = '\xDC';
    EXPECT_NO_THROW(PlaylistPathsFromBytes(damaged));
    EXPECT_FALSE(ReadPlaylistPaths("/nonexistent-folder/liste.txt"));
}

struct ManFixture : ::testing::Test {
    FileListDir dir;
    ListHarness h{PlainRecord};
    TListFichierMan man;
    std::vector<std::string> errors;
    std::vector<std::string> shown;

    void SetUp() override {
        man.SetFichierListBox(&h.list);
        man.Now = FixedNow;
        man.OnError = [this](const std::string& m) { errors.push_back(m); };
        man.ShowInFileManager = [this](const std::string& p) {
            shown.push_back(p);
            return std::string();
        };
    }
    std::string File(const std::string& name) {
        Touch(dir.file(name));
        return dir.file(name);
    }
};

TEST_F(ManFixture, SavingReplacesTheExtensionWithTxt) {
    h.Add(File("a.avi"));
    for (const char* name : {"liste", "liste.m3u", "liste.txt"}) {
        std::filesystem::remove(dir.file("liste.txt"));
        man.waSavePlayList.SetValue(dir.file(name));
        EXPECT_TRUE(std::filesystem::exists(dir.file("liste.txt"))) << name;
        EXPECT_FALSE(std::filesystem::exists(dir.file("liste.m3u")));
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(ManFixture, UnwritablePlaylistIsReported) {
    h.Add(File("a.avi"));
    man.waSavePlayList.SetValue("/nonexistent-folder/liste");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("/nonexistent-folder/liste.txt"), std::string::npos) << errors[0];
}

TEST_F(ManFixture, PreferredPlaylistAndFolder) {
    h.Add(File("a.avi"));
    h.Add(File("b.avi"));
    man.SetDossierPlayList(dir.path());
    EXPECT_EQ(h.list.PreferredPlayList, dir.file("velinor.list"));
    man.naOpenPreferredPlayList.Execute();  // no such file: nothing happens
    h.Wait();
    EXPECT_EQ(h.list.Count(), 2);
    man.naSavePreferredPlayList.Execute();
    EXPECT_TRUE(std::filesystem::exists(dir.file("velinor.txt")));

    // Chosen under a ".txt" name, the preferred playlist is the one saved and reopened.
    man.waPreferredPlayListName.SetValue(dir.file("pref.txt"));
    man.naSavePreferredPlayList.Execute();
    man.naVider.Execute();
    EXPECT_EQ(h.list.Count(), 0);
    man.naOpenPreferredPlayList.Execute();
    h.Wait();
    EXPECT_EQ(h.Names(), (std::vector<std::string>{"a.avi", "b.avi"}));

    std::filesystem::create_directories(dir.file("fav/sub"));
    Touch(dir.file("fav/sub/c.avi"));
    man.SetDossierFavori(dir.file("fav"));
    man.naOpenPreferredFolder.Execute();
    h.Wait();
    EXPECT_EQ(h.list.IndexOfPath(dir.file("fav/sub/c.avi")) >= 0, true);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ManFixture, ParentFolderShowsTheActiveFileOnly) {
    man.naParentFolder.Execute();
    EXPECT_TRUE(shown.empty());
    h.Add(File("a.avi"), true);
    h.Add(File("b.avi"));
    h.list.SetActiveIndex(1);
    man.naParentFolder.Execute();
    EXPECT_EQ(shown, (std::vector<std::string>{dir.file("b.avi")}));
}

TEST_F(ManFixture, ListActionsWorkOnTheBoundListOnly) {
    h.Add(File("a.avi"), true);
    h.Add(File("b.avi"));
    man.naClearSelected.Execute();
    EXPECT_EQ(h.Names(), (std::vector<std::string>{"b.avi"}));
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.avi")));
    man.SetFichierListBox(nullptr);
    man.naVider.Execute();
    man.naParentFolder.Execute();
    EXPECT_EQ(h.list.Count(), 1);
    man.SetFichierListBox(&h.list);
    man.naVider.Execute();
    EXPECT_EQ(h.list.Count(), 0);
}

TEST_F(ManFixture, DialogsSetTheValuesAndCancelledOnesChangeNothing) {
    std::vector<std::string> titles;
    std::optional<std::string> answer;
    man.Dialogs.Folder = [&](const std::string& title, const std::string&) {
        titles.push_back(title);
        return answer;
    };
    man.Dialogs.OpenFiles = [&](const std::string& title, const std::string& filter, const std::string&) {
        titles.push_back(title + " " + filter);
        return answer ? std::optional<std::vector<std::string>>({*answer}) : std::nullopt;
    };
    man.Filter = "Fichiers avi (*.avi)|*.avi|";
    man.waPreferredFolderName.Execute();
    EXPECT_EQ(h.list.PreferredFolder, "");
    answer = File("a.avi");
    man.saOpenFiles.Execute();
    h.Wait();
    EXPECT_EQ(h.Names(), (std::vector<std::string>{"a.avi"}));
    answer = dir.path();
    man.waPreferredFolderName.Execute();
    EXPECT_EQ(h.list.PreferredFolder, dir.path());
    EXPECT_EQ(titles,
              (std::vector<std::string>{
                  "Sélectionnez un dossier",
                  "Sélectionnez les fichiers à ouvrir Fichiers avi (*.avi)|*.avi|Tous fichiers (*.*)|*.*",
                  "Sélectionnez un dossier"}));
}

// The list kept between runs: saved at close, reopened at the next start with the same active
// file when it was selected.
class KeptList : public ManFixture {
protected:
    void SaveAndReload(bool keep, ListHarness& next) {
        {
            TMorvanePreferences prefs(PreferencesPaths{dir.file("cfg"), dir.file("cfg"), "velinor"});
            prefs.SetMode(TSavePreferences::spPortable);
            prefs.OpenPrefsKey("UIForm");
            man.baOpenlastFiles.SetValue(keep);
            ASSERT_TRUE(man.Actions.SaveActions(prefs));
            prefs.Backend().Flush();
        }
        TMorvanePreferences prefs(PreferencesPaths{dir.file("cfg"), dir.file("cfg"), "velinor"});
        prefs.SetMode(TSavePreferences::spPortable);
        prefs.OpenPrefsKey("UIForm");
        TListFichierMan later;
        later.SetFichierListBox(&next.list);
        ASSERT_TRUE(later.Actions.LoadActions(prefs));
        EXPECT_EQ(later.OpenLastFiles(), keep);
        next.Wait();
    }
};

TEST_F(KeptList, ReopensTheFilesAndTheSelectedActiveFile) {
    std::filesystem::create_directory(dir.file("cfg"));
    h.Add(File("a.avi"));
    h.Add(File("b.avi"));
    h.Add(File("c.avi"));
    h.list.SetActiveIndex(1);
    ListHarness next(PlainRecord);
    SaveAndReload(true, next);
    EXPECT_EQ(next.Names(), (std::vector<std::string>{"a.avi", "b.avi", "c.avi"}));
    EXPECT_EQ(next.ActiveName(), "b.avi");
}

TEST_F(KeptList, ActiveFileNotSelectedIsNotRestored) {
    std::filesystem::create_directory(dir.file("cfg"));
    h.Add(File("a.avi"));
    h.Add(File("b.avi"));
    h.list.SetActiveIndex(1);
    h.list.SetSelected(1, false);
    ListHarness next(PlainRecord);
    SaveAndReload(true, next);
    EXPECT_EQ(next.Names(), (std::vector<std::string>{"a.avi", "b.avi"}));
    EXPECT_EQ(next.list.ItemIndex(), -1);
}

TEST_F(KeptList, NothingIsReopenedWhenTheOptionIsOff) {
    std::filesystem::create_directory(dir.file("cfg"));
    h.Add(File("a.avi"), true);
    ListHarness next(PlainRecord);
    SaveAndReload(false, next);
    EXPECT_EQ(next.list.Count(), 0);
}

TEST_F(KeptList, VanishedActiveFileIsSkipped) {
    std::filesystem::create_directory(dir.file("cfg"));
    h.Add(File("a.avi"));
    h.Add(File("b.avi"), true);
    h.list.SetActiveIndex(1);
    std::filesystem::remove(dir.file("b.avi"));
    ListHarness next(PlainRecord);
    SaveAndReload(true, next);
    EXPECT_EQ(next.Names(), (std::vector<std::string>{"a.avi"}));
}

}  // namespace
}  // namespace velinor
