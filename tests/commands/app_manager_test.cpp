// The application manager's logic: the help window's orders and details, and the script
// window's document manager and macro recorder.
#include "commands/app_manager.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(HelpEntries, TheThreeOrdersPutActionsWithoutAKeyLast) {
    TMvActionList list;
    auto& quit = list.Create<TNopeAction>("naQuit");
    quit.SetShortCut("Alt+F4");
    auto& brk = list.Create<TCheckAction>("caBreak");
    brk.Switch = "brk";
    auto& about = list.Create<TCheckAction>("caAbout");
    about.SetShortCut("F11");
    auto& volume = list.Create<TIntegerAction>("iaVolume");
    volume.Switch = "vol";
    const std::vector<TCustomAbstractAction*> all(list.Actions().begin(), list.Actions().end());

    struct Case {
        HelpOrder order;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {HelpOrder::Alpha, {"About", "Break", "Quit", "Volume"}},
        {HelpOrder::Shortcut, {"Quit", "About", "Break", "Volume"}},
        {HelpOrder::Switch, {"Break", "Volume", "About", "Quit"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (const auto* a : HelpSorted(all, c.order)) names.push_back(HelpItemText(*a));
        EXPECT_EQ(names, c.expected) << static_cast<int>(c.order);
    }
    EXPECT_EQ(HelpSortKey(brk, HelpOrder::Shortcut), "zzzBreak");
    EXPECT_EQ(HelpSortKey(quit, HelpOrder::Switch), "zzzQuit");
}

TEST(HelpEntries, DetailsShowTheSyntaxAndTheSwitchOrNA) {
    TMvActionList list;
    auto& brk = list.Create<TCheckAction>("caBreak");
    brk.Switch = "brk";
    brk.SetShortCut("Ctrl+B");
    brk.SetHint("Coupe");
    brk.Comments = {"ligne 1", "ligne 2"};
    auto& quit = list.Create<TNopeAction>("naQuit");

    const HelpDetails b = HelpDetailsOf(brk);
    EXPECT_EQ(b.Title, "Break    Ctrl+B");
    EXPECT_EQ(b.Hint, "Coupe");
    EXPECT_EQ(b.Syntax, brk.ScriptSyntax());
    EXPECT_EQ(b.Switch, "/brk +brk -brk");
    EXPECT_EQ(b.Comments, "ligne 1\nligne 2");
    EXPECT_EQ(HelpDetailsOf(quit).Switch, "N/A");
    EXPECT_EQ(HelpDetailsOf(quit).Syntax, "procedure Quit;");
}

TEST(AboutTexts, VersionDateAndCloseLink) {
    const AboutTexts t = AboutPageTexts();
    EXPECT_EQ(t.Title, "Velinor");
    EXPECT_EQ(t.Version, "Version 1.0.0");
    EXPECT_EQ(BuildDateText(), "08/10/2023");
    EXPECT_EQ(CloseLinkText("F10", "closeOptions"),
              "Tapez F10 pour quitter cette page ou <a href=\"closeOptions\">cliquez ici</a>.");
}

// A document manager whose editor is a string.
struct ScriptDocument {
    ScriptDocument() {
        files.GetText = [this] { return editor; };
        files.SetText = [this](const std::string& text) { editor = text; };
        files.OnError = [this](const std::string& m) { errors.push_back(m); };
        files.AskDiscard = [this](const std::string&) {
            ++asked;
            return answer;
        };
        files.Dialogs.OpenFile = [this](const std::string& title, const std::string& filter,
                                        const std::string&) {
            titles.push_back(title);
            EXPECT_EQ(filter, "Fichiers Macro (*.txt)|*.txt");
            return choice;
        };
        files.Dialogs.SaveFile = files.Dialogs.OpenFile;
    }
    void Type(const std::string& text) {
        editor = text;
        files.Edited();
    }
    TScriptFichierMan files;
    std::string editor;
    std::vector<std::string> errors, titles;
    std::optional<std::string> choice;
    DiscardAnswer answer = DiscardAnswer::Cancel;
    int asked = 0;
};

TEST(ScriptFichierMan, NewEditSaveCloseAndReopenFromTheRecentList) {
    test::TempDir dir;
    ScriptDocument d;
    d.files.naNewFile.Execute();
    EXPECT_EQ(d.editor,
              "//Ecrivez un script entre begin et end.\n//N'oubliez pas de finir chaque commande par ;\n"
              "begin\n\nend.");
    EXPECT_EQ(d.files.State(), "Nouveau");
    d.Type("begin\n  showmessage('l''été');\nend.");
    EXPECT_EQ(d.files.State(), "Modifié");

    // Saving a script without a name asks for one and adds the default extension.
    d.choice = (dir.path() / "essai").string();
    d.files.naSaveFile.Execute();
    const fs::path saved = dir.path() / "essai.txt";
    EXPECT_EQ(d.titles, std::vector<std::string>{"Enregistrer le script"});
    EXPECT_EQ(d.files.State(), "Enregistré");
    EXPECT_EQ(d.files.FileName(), saved.string());
    EXPECT_EQ(Read(saved), "begin\r\n  showmessage('l''été');\r\nend.");
    EXPECT_TRUE(d.files.naRecent[0]->Visible());
    EXPECT_EQ(d.files.naRecent[0]->Caption(), "1 " + saved.string());
    EXPECT_FALSE(d.files.naRecent[1]->Visible());

    d.files.naCloseFile.Execute();
    EXPECT_EQ(d.editor, "");
    EXPECT_EQ(d.files.FileName(), "");
    d.files.naRecent[0]->Execute();
    EXPECT_EQ(d.editor, "begin\n  showmessage('l''été');\nend.");
    EXPECT_EQ(d.files.State(), "Ouvert");
    EXPECT_EQ(d.files.waCurrentFileName.CurrentValue(), saved.string());
    EXPECT_EQ(d.asked, 0);
    EXPECT_TRUE(d.errors.empty());
}

TEST(ScriptFichierMan, AModifiedScriptIsNeverLostSilently) {
    test::TempDir dir;
    const fs::path other = dir.path() / "autre.txt";
    std::ofstream(other) << "begin\r\nend.";
    struct Case {
        DiscardAnswer answer;
        bool replaced;
    };
    for (const Case c : {Case{DiscardAnswer::Cancel, false}, Case{DiscardAnswer::Discard, true}}) {
        ScriptDocument d;
        d.Type("mon travail");
        d.answer = c.answer;
        d.files.waOpenFile.SetValue(other.string());
        EXPECT_EQ(d.asked, 1);
        EXPECT_EQ(d.editor, c.replaced ? "begin\nend." : "mon travail");
        EXPECT_EQ(d.files.State(), c.replaced ? "Ouvert" : "Modifié");
    }
    // "Save" writes the edit first, then opens.
    ScriptDocument d;
    d.files.waOpenFile.SetValue(other.string());
    d.Type("begin\nend. // modifié");
    d.answer = DiscardAnswer::Save;
    d.files.naNewFile.Execute();
    EXPECT_EQ(Read(other), "begin\r\nend. // modifié");
    EXPECT_EQ(d.files.State(), "Nouveau");
}

TEST(ScriptFichierMan, FailuresAreReportedAndChangeNothing) {
    test::TempDir dir;
    ScriptDocument d;
    d.Type("texte");
    d.files.waSaveFileAs.SetValue((dir.path() / "absent" / "s.txt").string());
    ASSERT_EQ(d.errors.size(), 1u);
    EXPECT_NE(d.errors[0].find("Impossible d'enregistrer le script"), std::string::npos);
    EXPECT_EQ(d.files.State(), "Modifié");
    EXPECT_TRUE(d.files.Recent().empty());

    d.answer = DiscardAnswer::Discard;
    d.files.waOpenFile.SetValue((dir.path() / "absent.txt").string());
    ASSERT_EQ(d.errors.size(), 2u);
    EXPECT_EQ(d.errors[1], "Impossible d'ouvrir le script " + (dir.path() / "absent.txt").string());
    EXPECT_EQ(d.editor, "texte");
    EXPECT_EQ(d.files.State(), "Modifié");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(ScriptFichierMan, TheRecentListKeepsTenFilesMostRecentFirst) {
    test::TempDir dir;
    ScriptDocument d;
    for (int i = 0; i < 12; ++i) {
        d.Type("begin end.");
        d.files.waSaveFileAs.SetValue((dir.path() / ("s" + std::to_string(i) + ".txt")).string());
    }
    d.files.waOpenFile.SetValue((dir.path() / "s5.txt").string());
    ASSERT_EQ(d.files.Recent().size(), 10u);
    EXPECT_EQ(d.files.Recent()[0], (dir.path() / "s5.txt").string());
    EXPECT_EQ(d.files.Recent()[1], (dir.path() / "s11.txt").string());
    EXPECT_EQ(d.files.naRecent[9]->Caption(), "10 " + (dir.path() / "s2.txt").string());
}

TEST(ScriptFormActions, ARecordedMacroReplaysToTheSameValuesAndRuns) {
    struct Settings {
        Settings() {
            volume.ScriptName = "Volume";
            name.ScriptName = "Modele";
            flag.ScriptName = "Plein";
        }
        TMvActionList list;
        TIntegerAction& volume = list.Create<TIntegerAction>("iaVolume");
        TWidestringAction& name = list.Create<TWidestringAction>("waModele");
        TCheckAction& flag = list.Create<TCheckAction>("caPlein");
    };
    Settings recorded;
    ScriptDocument d;
    TMvScript script;
    TScriptFormActions form(script, d.files);
    form.Now = [] { return *MakeDatecode({2026, 12, 10, 1, 2, 3}); };
    recorded.list.SetPascalScript(&script);
    form.Actions.SetPascalScript(&script);

    form.naStartMacro.Execute();
    EXPECT_TRUE(form.Recording());
    recorded.volume.SetValue(42);
    recorded.name.SetValue("l'été %D");
    recorded.flag.SetChecked(true);
    form.naStopMacro.Execute();
    EXPECT_FALSE(form.Recording());
    EXPECT_EQ(d.editor,
              "//Macro enregistrée le jeudi 10 décembre 2026 à 01:02:03\n\nbegin\n    Volume(42);\n"
              "    Modele('l''été %D');\n    setPlein(True);\nend.");
    EXPECT_EQ(d.files.State(), "Modifié");

    recorded.volume.SetValue(0);
    recorded.name.SetValue("");
    recorded.flag.SetChecked(false);
    std::vector<std::string> shown;
    form.OnMessages = [&](const std::vector<std::string>& m) { shown = m; };
    form.naExecuteMacro.Execute();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "*** Compilation succeeded ***");
    EXPECT_EQ(shown.back(), "*** Exécution réussie ***");
    EXPECT_EQ(recorded.volume.CurrentValue(), 42);
    EXPECT_EQ(recorded.name.CurrentValue(), "l'été %D");
    EXPECT_TRUE(recorded.flag.Checked());

    d.Type("begin Inconnu; end.");
    form.naExecuteMacro.Execute();
    EXPECT_EQ(shown.back(), "### Compilation non prête");
    recorded.list.SetPascalScript(nullptr);
    form.Actions.SetPascalScript(nullptr);
}

}  // namespace
}  // namespace velinor
