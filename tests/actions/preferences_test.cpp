#include "actions/preferences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "actions/preferences_morvane.h"
#include "actions/temp_dir.h"

namespace velinor {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::Utf16LeFile;
using testing::WriteBytes;

// 3 March 2024 14:05:09 in Paris (UTC+1).
constexpr std::time_t kSaveTime = 1709471109;

struct Stores {
    TempDir dir;
    PreferencesPaths paths() const {
        return {dir.path() / "config", dir.path() / "bin", "/opt/velinor/velinor"};
    }
    std::filesystem::path conf() const { return dir.path() / "config" / "Morvane" / "Velinor.conf"; }
    std::filesystem::path ini() const { return dir.path() / "bin" / "Velinor.ini"; }
    Stores() { std::filesystem::create_directories(dir.path() / "bin"); }
};

std::unique_ptr<TMorvanePreferences> MakePrefs(const Stores& s) {
    auto p = std::make_unique<TMorvanePreferences>(s.paths());
    p->version = "Velinor 1.0 de Morvane";
    p->Clock = [] { return kSaveTime; };
    return p;
}

// The values the main window keeps in "UIForm": one of each kind.
void SaveSample(TMorvanePreferences& p) {
    p.OpenPrefsKey("UIForm");
    p.WriteInteger("FormatDuree", 0);
    p.WriteString("Titre", "l'été");
    p.WriteBoolean("Mute", true);
    p.WriteDouble("Ratio", 0.1);
    p.WriteStrings("Available", {"a", "b"});
    p.WriteRect("Fenetre", TRect{10, 20, 300, 400});
    TFont font;
    font.Name = "Liberation Sans";
    font.Size = 12;
    font.Bold = true;
    p.WriteFont("Police", font);
    p.ClosePrefsKey();
}

void ExpectSample(TMorvanePreferences& p) {
    p.OpenPrefsKey("UIForm");
    EXPECT_EQ(p.ReadInteger("FormatDuree", 7), 0);
    EXPECT_EQ(p.ReadString("Titre", "x"), "l'été");
    EXPECT_TRUE(p.ReadBoolean("Mute", false));
    EXPECT_EQ(p.ReadDouble("Ratio", 0), 0.1);
    EXPECT_EQ(p.ReadStrings("Available", {"z"}), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(p.ReadRect("Fenetre", {}), (TRect{10, 20, 300, 400}));
    const TFont font = p.ReadFont("Police", {});
    EXPECT_EQ(font.Name, "Liberation Sans");
    EXPECT_EQ(font.Size, 12);
    EXPECT_TRUE(font.Bold);
    EXPECT_FALSE(font.Italic);
    p.ClosePrefsKey();
}

TEST(PortableFile, ExactBytesOfAFirstSave) {
    Stores s;
    auto p = MakePrefs(s);
    p->OnChooseMode = [](const std::string& caption) {
        EXPECT_EQ(caption, "Enregistrement des préférences de Velinor");
        return std::optional(TSavePreferences::spPortable);
    };
    p->OnSavePrefs = [](TMorvanePreferences& prefs) {
        prefs.OpenPrefsKey("UIForm");
        prefs.WriteInteger("FormatDuree", 0);
        prefs.WriteStrings("Available", {"a", "b"});
        prefs.ClosePrefsKey();
    };
    p->Load();
    EXPECT_EQ(p->Mode(), TSavePreferences::spNone);
    const auto outcome = p->Save();
    EXPECT_TRUE(outcome.mayClose);
    EXPECT_TRUE(outcome.saved) << outcome.error;
    EXPECT_EQ(ReadBytes(s.ini()), Utf16LeFile(u"[]\r\n"
                                              u"Version=Velinor 1.0 de Morvane\r\n"
                                              u"Derni\u00E8re Sauvegarde=03/03/2024 14:05:09\r\n"
                                              u"ExeName=/opt/velinor/velinor\r\n"
                                              u"\r\n"
                                              u"[UIForm]\r\n"
                                              u"FormatDuree=0\r\n"
                                              u"\r\n"
                                              u"[UIForm\\Available]\r\n"
                                              u"String0=a\r\n"
                                              u"String1=b\r\n"));
    EXPECT_EQ(ReadBytes(s.ini()).substr(0, 6), std::string("\xFF\xFE[\0]\0", 6));
    EXPECT_FALSE(std::filesystem::exists(s.conf()));
}

TEST(PortableFile, ValueLayouts) {
    TempDir dir;
    TIniPreferencesMan ini(dir.path() / "Velinor.ini", true);
    ini.OpenKey("K", true);
    ini.WriteBool("b1", true);
    ini.WriteBool("b0", false);
    ini.WriteInteger("i", -42);
    ini.WriteFloat("d", 1.0 / 3);
    ini.WriteFloat("e", 1e20);
    ini.WriteString("s", "a=b");
    const std::vector<std::string> expected = {
        "[]", "", "[K]", "b1=True", "b0=False", "i=-42", "d=0.333333333333333", "e=1E20", "s=a=b"};
    EXPECT_EQ(ini.Lines(), expected);
    std::string s;
    ASSERT_TRUE(ini.ReadString("S", s));
    EXPECT_EQ(s, "a=b");  // the value is everything after the first "="
    // A name differing only in letter case replaces the line.
    ini.WriteInteger("I", 5);
    EXPECT_EQ(ini.Lines()[5], "I=5");
    EXPECT_EQ(ini.Lines().size(), expected.size());
    // Line breaks would split the value into lines that read back as something else.
    EXPECT_FALSE(ini.WriteString("t", "a\r\nb"));
    EXPECT_FALSE(ini.WriteString("x=y", "1"));
    EXPECT_FALSE(ini.WriteString("[x", "]"));
}

TEST(PortableFile, NewValuesGoBeforeTheNextSectionAndKeyNamesListDescendants) {
    TIniPreferencesMan ini("/nonexistent/Velinor.ini", true);
    ini.Parse(Utf16LeFile(
        u"[]\r\nA=1\r\n\r\n[UIForm]\r\nX=1\r\n\r\n[UIForm\\L]\r\nString0=a\r\n[UIForm\\L\\M]\r\n"));
    ini.WriteString("B", "2");
    ini.OpenKey("UIForm", false);
    ini.WriteString("Y", "2");
    const std::vector<std::string> lines = {
        "[]", "A=1", "", "B=2", "[UIForm]", "X=1", "", "Y=2", "[UIForm\\L]", "String0=a", "[UIForm\\L\\M]"};
    EXPECT_EQ(ini.Lines(), lines);
    std::vector<std::string> keys;
    ini.GetKeyNames(keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"L", "L\\M"}));
    std::vector<std::string> names;
    ASSERT_TRUE(ini.GetValueNames(names));
    EXPECT_EQ(names, (std::vector<std::string>{"X", "Y"}));
    ini.CloseKey();
    EXPECT_EQ(ini.CurrentKey(), "");
}

TEST(PortableFile, ByteOrderMarksAndLineEnds) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"UTF-16LE", Utf16LeFile(u"[K]\r\nNom=\u00E9t\u00E9\r\n")},
        {"UTF-16BE", std::string("\xFE\xFF\0[\0K\0]\0\n\0N\0o\0m\0=\0\xE9\0t\0\xE9", 24)},
        {"UTF-8 BOM", "\xEF\xBB\xBF[K]\rNom=\xC3\xA9t\xC3\xA9"},
        {"no BOM", "[K]\nNom=\xC3\xA9t\xC3\xA9\n"},
    };
    for (const auto& c : cases) {
        TIniPreferencesMan ini("/nonexistent/Velinor.ini", false);
        ini.Parse(c.bytes);
        ini.OpenKey("k", false);
        std::string value;
        EXPECT_TRUE(ini.ReadString("nom", value)) << c.what;
        EXPECT_EQ(value, "été") << c.what;
    }
}

TEST(SettingsFile, EveryValueKindReadsBackExactly) {
    Stores s;
    TRegPreferencesMan reg(s.conf(), true);
    const double doubles[] = {0.1, 1.0 / 3, -0.0, 5e-324, std::numeric_limits<double>::max()};
    ASSERT_TRUE(reg.OpenKey("UIForm\\Sub", true));
    for (size_t i = 0; i < std::size(doubles); ++i) reg.WriteFloat("d" + std::to_string(i), doubles[i]);
    const std::string awkward = "a=b%c\r\nd\t[e]\x7F été";
    reg.WriteString("na=me%", awkward);
    reg.WriteInteger("min", std::numeric_limits<int32_t>::min());
    reg.WriteBool("yes", true);
    ASSERT_TRUE(reg.Flush()) << reg.LastError();

    TRegPreferencesMan back(s.conf(), false);
    EXPECT_EQ(back.DamagedEntries(), 0);
    EXPECT_FALSE(back.OpenKey("Missing", false));
    EXPECT_EQ(back.CurrentKey(), "");
    ASSERT_TRUE(back.OpenKey("uiform\\SUB", false));
    for (size_t i = 0; i < std::size(doubles); ++i) {
        double d = 1;
        ASSERT_TRUE(back.ReadFloat("D" + std::to_string(i), d));
        EXPECT_EQ(std::memcmp(&d, &doubles[i], sizeof d), 0) << i;
    }
    std::string text;
    ASSERT_TRUE(back.ReadString("NA=ME%", text));
    EXPECT_EQ(text, awkward);
    int32_t n = 0;
    ASSERT_TRUE(back.ReadInteger("min", n));
    EXPECT_EQ(n, std::numeric_limits<int32_t>::min());
    bool b = false;
    ASSERT_TRUE(back.ReadBool("yes", b));
    EXPECT_TRUE(b);
    // Kinds as the registry has them: a boolean is a double word, a text is not a number.
    EXPECT_TRUE(back.ReadInteger("yes", n));
    EXPECT_EQ(n, 1);
    EXPECT_FALSE(back.ReadInteger("na=me%", n));
    double d = 0;
    EXPECT_FALSE(back.ReadFloat("min", d));
    ASSERT_TRUE(back.CloseKey());
    std::vector<std::string> keys;
    back.GetKeyNames(keys);
    EXPECT_EQ(keys, (std::vector<std::string>{"Sub"}));
}

TEST(SettingsFile, BooleanOtherThanZeroOrOneReadsAsMissing) {
    TRegPreferencesMan reg("/nonexistent/Velinor.conf", false);
    reg.Parse("[]\ni:one=1\ni:two=2\nb:zero=0\n");
    bool b = false;
    EXPECT_TRUE(reg.ReadBool("one", b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(reg.ReadBool("two", b));
    EXPECT_TRUE(reg.ReadBool("zero", b));
    EXPECT_FALSE(b);
}

TEST(SettingsFile, DamagedLinesAreSkippedAndTheRestReads) {
    struct Case {
        const char* what;
        std::string line;
    };
    const Case cases[] = {
        {"no type", "FormatDuree=5"},
        {"unknown type", "x:FormatDuree=5"},
        {"bad escape", "s:Titre=%G1"},
        {"cut escape", "s:Titre=%4"},
        {"integer overflow", "i:FormatDuree=99999999999"},
        {"integer garbage", "i:FormatDuree=5x"},
        {"boolean garbage", "b:Mute=yes"},
        {"double garbage", "d:Ratio=0,5"},
        {"no equals", "i:FormatDuree"},
        {"binary", std::string("\0\xFF\xFE", 3)},
    };
    for (const auto& c : cases) {
        TRegPreferencesMan reg("/nonexistent/Velinor.conf", false);
        reg.Parse("[]\ns:Version=1\n[UIForm]\n" + c.line + "\ni:Good=3\n");
        EXPECT_EQ(reg.DamagedEntries(), 1) << c.what;
        ASSERT_TRUE(reg.OpenKey("UIForm", false)) << c.what;
        int32_t n = 0;
        EXPECT_TRUE(reg.ReadInteger("Good", n)) << c.what;
        EXPECT_EQ(n, 3) << c.what;
    }
    // A damaged header loses its own values only.
    TRegPreferencesMan reg("/nonexistent/Velinor.conf", false);
    reg.Parse("[UIForm\ni:Lost=1\n[Other]\ni:Kept=2");
    EXPECT_EQ(reg.DamagedEntries(), 2);
    ASSERT_TRUE(reg.OpenKey("Other", false));
    int32_t n = 0;
    EXPECT_TRUE(reg.ReadInteger("Kept", n));
}

// What a damaged portable file gives through the preferences component: each value that
// cannot be read takes its default, the others are kept, and nothing is written by reading.
TEST(DamagedStore, UnreadableValuesTakeTheirDefaultAndTheFileIsKept) {
    struct Case {
        const char* what;
        std::string bytes;
        int32_t formatDuree;
        bool mute;
        std::vector<std::string> available;
    };
    const std::vector<std::string> defaultList = {"def"};
    const Case cases[] = {
        {"intact",
         Utf16LeFile(u"[]\r\n[UIForm]\r\nFormatDuree=2\r\nMute=True\r\n[UIForm\\Available]\r\nString0=x\r\n"),
         2,
         true,
         {"x"}},
        {"garbage values", Utf16LeFile(u"[]\r\n[UIForm]\r\nFormatDuree=abc\r\nMute=true\r\n"), 7, false,
         defaultList},
        {"missing section", Utf16LeFile(u"[]\r\nFormatDuree=2\r\n"), 7, false, defaultList},
        {"odd length", Utf16LeFile(u"[]\r\n[UIForm]\r\nFormatDuree=2\r\n") + "\x41", 2, false, defaultList},
        {"lone surrogate",
         Utf16LeFile(u"[]\r\n[UIForm]\r\nMute=True\r\nFormat\xD800"
                     u"Duree=2\r\n"),
         7, true, defaultList},
        {"truncated", Utf16LeFile(u"[]\r\n[UIForm]\r\nFormatDuree=2\r\nMu"), 2, false, defaultList},
        {"empty file", "", 7, false, defaultList},
        {"only a BOM", "\xFF\xFE", 7, false, defaultList},
        {"not text", std::string("\x00\x01\x02\xFF\xFE\x00[", 7), 7, false, defaultList},
    };
    for (const auto& c : cases) {
        Stores s;
        WriteBytes(s.ini(), c.bytes);
        auto p = MakePrefs(s);
        p->OnLoadPrefs = [&](TMorvanePreferences& prefs) {
            prefs.OpenPrefsKey("UIForm");
            EXPECT_EQ(prefs.ReadInteger("FormatDuree", 7), c.formatDuree) << c.what;
            EXPECT_EQ(prefs.ReadBoolean("Mute", false), c.mute) << c.what;
            EXPECT_EQ(prefs.ReadStrings("Available", defaultList), c.available) << c.what;
            prefs.ClosePrefsKey();
        };
        p->Load();
        EXPECT_EQ(p->Mode(), TSavePreferences::spPortable) << c.what;
        p->SetMode(TSavePreferences::spRegistre);
        p.reset();
        EXPECT_EQ(ReadBytes(s.ini()), c.bytes) << c.what;
    }
}

TEST(DamagedStore, DamagedUserFileKeepsWhatReadsAndIsNotRewrittenByReading) {
    Stores s;
    const std::string bytes = "[]\ns:Version=1\n[UIForm]\ni:FormatDuree=abc\nb:Mute=1\n" +
                              std::string("\0\xFF garbage\n", 11) +
                              "[UIForm\\Available]\ns:String0=x\ns:String1=%ZZ\n[UIForm";
    WriteBytes(s.conf(), bytes);
    auto p = MakePrefs(s);
    p->OnLoadPrefs = [&](TMorvanePreferences& prefs) {
        prefs.OpenPrefsKey("UIForm");
        EXPECT_EQ(prefs.ReadInteger("FormatDuree", 7), 7);
        EXPECT_TRUE(prefs.ReadBoolean("Mute", false));
        // The damaged item is left out; the list reads as what remains.
        EXPECT_EQ(prefs.ReadStrings("Available", {"def"}), std::vector<std::string>{"x"});
        prefs.ClosePrefsKey();
    };
    p->Load();
    EXPECT_EQ(p->Mode(), TSavePreferences::spRegistre);
    EXPECT_EQ(p->Backend().DamagedEntries(), 4);
    p->SetMode(TSavePreferences::spPortable);
    p.reset();
    EXPECT_EQ(ReadBytes(s.conf()), bytes);
}

TEST(Modes, ShorterListReplacesTheLongerOne) {
    for (const auto mode : {TSavePreferences::spRegistre, TSavePreferences::spPortable}) {
        Stores s;
        auto p = MakePrefs(s);
        p->SetMode(mode);
        p->OpenPrefsKey("UIForm");
        ASSERT_TRUE(p->WriteStrings("Available", {"a", "b", "c"}));
        ASSERT_TRUE(p->WriteStrings("Available", {"x"}));
        EXPECT_EQ(p->ReadStrings("Available", {}), std::vector<std::string>{"x"});
        ASSERT_TRUE(p->WriteStrings("Available", {}));
        EXPECT_EQ(p->ReadStrings("Available", {"def"}), std::vector<std::string>{});
    }
}

TEST(Modes, DetectionPrefersThePortableFile) {
    Stores s;
    auto p = MakePrefs(s);
    EXPECT_EQ(p->DetectMode(), TSavePreferences::spNone);
    WriteBytes(s.conf(), "[]\n");
    EXPECT_EQ(p->DetectMode(), TSavePreferences::spRegistre);
    WriteBytes(s.ini(), Utf16LeFile(u"[]\r\n"));
    EXPECT_EQ(p->DetectMode(), TSavePreferences::spPortable);
}

TEST(Modes, EachStoreKeepsTheSampleValues) {
    for (const auto mode : {TSavePreferences::spRegistre, TSavePreferences::spPortable}) {
        Stores s;
        auto p = MakePrefs(s);
        p->OnChooseMode = [&](const std::string&) { return std::optional(mode); };
        p->OnSavePrefs = SaveSample;
        p->Load();
        ASSERT_TRUE(p->Save().saved);
        auto q = MakePrefs(s);
        q->OnLoadPrefs = ExpectSample;
        q->Load();
        EXPECT_EQ(q->Mode(), mode);
    }
}

TEST(Modes, NoStoreReadsDefaultsAndWritesNothing) {
    Stores s;
    auto p = MakePrefs(s);
    p->Load();
    EXPECT_FALSE(p->OpenPrefsKey("UIForm"));
    EXPECT_EQ(p->ReadInteger("FormatDuree", 7), 7);
    EXPECT_EQ(p->ReadFont("Police", TFont{}), TFont{});
    EXPECT_FALSE(p->WriteInteger("FormatDuree", 1));
    // Closing the choice window without a choice keeps the program open and writes nothing.
    auto outcome = p->Save();
    EXPECT_FALSE(outcome.mayClose);
    p->OnChooseMode = [](const std::string&) { return std::optional(TSavePreferences::spNone); };
    outcome = p->Save();
    EXPECT_TRUE(outcome.mayClose);
    EXPECT_FALSE(std::filesystem::exists(s.conf()));
    EXPECT_FALSE(std::filesystem::exists(s.ini()));
    EXPECT_FALSE(std::filesystem::exists(s.dir.path() / "config" / "Morvane"));
}

TEST(Modes, NormalModeCreatesTheUserStoreWithItsKey) {
    Stores s;
    auto p = MakePrefs(s);
    p->OnChooseMode = [](const std::string&) { return std::optional(TSavePreferences::spRegistre); };
    p->OnSavePrefs = [](TMorvanePreferences& prefs) {
        prefs.OpenPrefsKey("UIForm");
        prefs.WriteInteger("FormatDuree", 3);
        prefs.ClosePrefsKey();
    };
    p->Load();
    ASSERT_TRUE(p->Save().saved);
    TRegPreferencesMan reg(s.conf(), false);
    std::string saved;
    ASSERT_TRUE(reg.ReadString("Dernière Sauvegarde", saved));
    EXPECT_EQ(saved, "03/03/2024 14:05:09");
    ASSERT_TRUE(reg.OpenKey("UIForm", false));
    int32_t n = 0;
    EXPECT_TRUE(reg.ReadInteger("FormatDuree", n));
    EXPECT_EQ(n, 3);
    EXPECT_FALSE(std::filesystem::exists(s.ini()));
}

// Switching the store keeps the old one until the new one has been written.
TEST(Modes, OldStoreIsDeletedOnlyAfterTheNewOneIsWritten) {
    struct Case {
        TSavePreferences from, to;
    };
    const Case cases[] = {{TSavePreferences::spPortable, TSavePreferences::spRegistre},
                          {TSavePreferences::spRegistre, TSavePreferences::spPortable},
                          {TSavePreferences::spPortable, TSavePreferences::spNone},
                          {TSavePreferences::spRegistre, TSavePreferences::spNone}};
    for (const auto& c : cases) {
        Stores s;
        const auto file = [&](TSavePreferences m) {
            return m == TSavePreferences::spPortable ? s.ini() : s.conf();
        };
        {
            auto p = MakePrefs(s);
            p->OnChooseMode = [&](const std::string&) { return std::optional(c.from); };
            p->OnSavePrefs = SaveSample;
            p->Load();
            ASSERT_TRUE(p->Save().saved);
        }
        auto p = MakePrefs(s);
        p->OnSavePrefs = SaveSample;
        p->OnChooseMode = [](const std::string&) { return std::optional(TSavePreferences::spNone); };
        p->Load();
        std::vector<TSavePreferences> told;
        p->OnChangeMode = [&](TSavePreferences m) { told.push_back(m); };
        p->SetMode(c.to);
        EXPECT_EQ(told, std::vector<TSavePreferences>{c.to});
        EXPECT_TRUE(std::filesystem::exists(file(c.from))) << int(c.from) << "→" << int(c.to);
        const auto outcome = p->Save();
        EXPECT_TRUE(outcome.saved) << outcome.error;
        EXPECT_FALSE(std::filesystem::exists(file(c.from))) << int(c.from) << "→" << int(c.to);
        if (c.to != TSavePreferences::spNone) {
            auto q = MakePrefs(s);
            q->OnLoadPrefs = ExpectSample;
            q->Load();
            EXPECT_EQ(q->Mode(), c.to);
        }
    }
}

TEST(Modes, BothStoresAtStartThePortableOneWinsAndTheOtherGoesAtSave) {
    Stores s;
    WriteBytes(s.conf(), "[]\n[UIForm]\ni:FormatDuree=1\n");
    WriteBytes(s.ini(), Utf16LeFile(u"[]\r\n[UIForm]\r\nFormatDuree=2\r\n"));
    auto p = MakePrefs(s);
    int32_t loaded = 0;
    p->OnLoadPrefs = [&](TMorvanePreferences& prefs) {
        prefs.OpenPrefsKey("UIForm");
        loaded = prefs.ReadInteger("FormatDuree", 0);
        prefs.ClosePrefsKey();
    };
    p->Load();
    EXPECT_EQ(loaded, 2);
    EXPECT_TRUE(p->Save().saved);
    EXPECT_FALSE(std::filesystem::exists(s.conf()));
    EXPECT_FALSE(std::filesystem::exists(s.conf().parent_path()));
}

TEST(Modes, FailedWriteIsReportedAndTheOldStoreKept) {
    Stores s;
    WriteBytes(s.conf(), "[]\n[UIForm]\ni:FormatDuree=1\n");
    const std::string before = ReadBytes(s.conf());
    // The program folder is a file, so the portable file cannot be created beside it.
    std::filesystem::remove_all(s.dir.path() / "bin");
    WriteBytes(s.dir.path() / "bin", "not a folder");
    auto p = MakePrefs(s);
    p->OnSavePrefs = SaveSample;
    p->Load();
    ASSERT_EQ(p->Mode(), TSavePreferences::spRegistre);
    p->SetMode(TSavePreferences::spPortable);
    const auto outcome = p->Save();
    EXPECT_FALSE(outcome.saved);
    EXPECT_TRUE(outcome.mayClose);
    EXPECT_NE(outcome.error.find("Velinor.ini"), std::string::npos) << outcome.error;
    EXPECT_EQ(ReadBytes(s.conf()), before);
}

}  // namespace
}  // namespace velinor
