// The script component: its outcome lines, its built-in helpers, the actions it binds, and macros
// recorded while actions are set that replay to the same values.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include "actions/actions_list.h"
#include "actions/script/mv_script.h"
#include "actions/temp_dir.h"

namespace velinor {
namespace {

using velinor::testing::TempDir;
using velinor::testing::WriteBytes;

struct OutcomeCase {
    const char* name;
    const char* source;
    std::vector<std::string> compileMessages;
    std::vector<std::string> runMessages;
};

const OutcomeCase kOutcomes[] = {
    {"success", "begin end.", {"*** Compilation succeeded ***"}, {"*** Exécution réussie ***"}},
    {"compile error",
     "begin\n  inconnu;\nend.",
     {"[Erreur] (ligne 2, colonne 3) : Identificateur inconnu 'inconnu'", "### Compilation Failed"},
     {"### Compilation non prête"}},
    {"run error",
     "var a: Integer;\nbegin\n  a := 1 div a;\nend.",
     {"*** Compilation succeeded ***"},
     {"### Erreur pendant l'exécution: Division par zéro (ligne 3, colonne 10)"}},
    {"show message without a window",
     "begin showmessage('bonjour'); end.",
     {"*** Compilation succeeded ***"},
     {"bonjour", "*** Exécution réussie ***"}},
};

TEST(MvScript, ReportsTheOutcomeLines) {
    for (const auto& c : kOutcomes) {
        TMvScript script;
        script.CompileScript(c.source);
        EXPECT_EQ(script.Messages, c.compileMessages) << c.name;
        script.RunScript();
        EXPECT_EQ(script.Messages, c.runMessages) << c.name;
    }
    TMvScript fresh;
    EXPECT_FALSE(fresh.RunScript());
    EXPECT_EQ(fresh.Messages, std::vector<std::string>{"### Compilation non prête"});
}

TEST(MvScript, BuiltInDeclarationsCompile) {
    TMvScript script;
    ASSERT_TRUE(script.CompileScript(
        "var f: TFont; c: TCanvas; p: TPoint; r: TRect; m: TSavePreferences; a: TAlignment; i: "
        "TBorderIcons;\n"
        "  g: TGUID; s: TSHORTCUT; h: HResult; w: TWindowState; o: TOwnerDrawState; b: TBitmap; x: Integer;\n"
        "begin\n"
        "  f := TFont.Create; f.Name := 'Arial'; f.Size := 10; f.Color := clSkyBlue; f.Style := [fsBold];\n"
        "  c := TCanvas.Create; c.Font.Size := 3; b := TBitmap.Create; b.Width := 4; f.Free;\n"
        "  p.X := 1; r.Right := 2; m := spPortable; a := taCenter; i := [biHelp]; g.D4[7] := 1; s := 0; h := "
        "0;\n"
        "  w := wsMaximized; o := [odFocused];\n"
        "  x := SecsPerDay + MSecPerDay + clMoneyGreen + clCream + Ord(m) + c.Font.Size;\n"
        "end."))
        << script.Messages.front();
    ASSERT_TRUE(script.RunScript()) << script.Messages.back();
    EXPECT_EQ(script.Engine().global("x")->asInteger(), 86400 + 86400000 + 12639424 + 15793151 + 1 + 3);
}

TEST(MvScript, StopEndsAWaitInSleep) {
    TMvScript script;
    std::promise<void> started;
    script.OnCompile = [&](ScriptRegistrar&) {
        script.Declarations().addRoutine("procedure Started;", [&](std::vector<script::Value>&) {
            started.set_value();
            return script::Value{};
        });
        return true;
    };
    ASSERT_TRUE(script.CompileScript("begin Started; sleep(3600000); end.")) << script.Messages.front();
    std::future<bool> ran = std::async(std::launch::async, [&] { return script.RunScript(); });
    started.get_future().wait();
    script.RequestStop();
    EXPECT_FALSE(ran.get());
    EXPECT_EQ(script.Messages.back(),
              "### Erreur pendant l'exécution: Exécution interrompue (ligne 1, colonne 16)");
}

struct NameCase {
    const char* function;
    const char* argument;
    const char* expected;
};

const NameCase kNames[] = {
    {"extractfilename", "/films/2024/l'été.avi", "l'été.avi"},
    {"extractfilename", "nom.avi", "nom.avi"},
    {"extractfilepath", "/films/2024/a.avi", "/films/2024/"},
    {"extractfilepath", "a.avi", ""},
    {"extractfileext", "/films/a.b/c.avi", ".avi"},
    {"extractfileext", "/films/a.b/c", ""},
    {"changefileext", "/films/a.avi", "/films/a.scn"},
    {"changefileext", "/films/a.b/c", "/films/a.b/c.scn"},
};

TEST(MvScript, FileNameHelpers) {
    for (const auto& c : kNames) {
        TMvScript script;
        // Apostrophes inside the argument are doubled to stay a literal.
        std::string arg;
        for (const char* p = c.argument; *p; ++p) arg += *p == '\'' ? std::string("''") : std::string(1, *p);
        const bool withExt = std::string(c.function) == "changefileext";
        const std::string call =
            std::string(c.function) + "('" + arg + "'" + (withExt ? ", '.scn'" : "") + ")";
        ASSERT_TRUE(script.CompileScript("var r: widestring; begin r := " + call + "; end."))
            << script.Messages.front();
        ASSERT_TRUE(script.RunScript());
        EXPECT_EQ(script.Engine().global("r")->asString(), c.expected) << call;
    }
}

TEST(MvScript, FileSearchRenameAndFolders) {
    TempDir dir;
    for (const char* name : {"b.avi", "a.avi", "c.txt", "garde.avi"}) WriteBytes(dir.path() / name, name);
    const std::string d = dir.path().string();
    TMvScript script;
    ASSERT_TRUE(script.CompileScript(
        "var s, r: widestring;\nbegin\n  r := '';\n  s := findfirst('" + d +
        "', '*.avi');\n  while s <> '' do begin r := r + extractfilename(s) + ';'; s := "
        "findnext; end;\n  findclose;\n  forcedirectories('" +
        d + "/x/y/z');\n  renamefile('" + d + "/a.avi', '" + d + "/x/y/z/a2.avi');\n  renamefile('" + d +
        "/b.avi', '" + d + "/garde.avi');\nend."))
        << script.Messages.front();
    EXPECT_FALSE(script.RunScript());
    EXPECT_EQ(script.Engine().global("r")->asString(), "a.avi;b.avi;garde.avi;");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "x/y/z/a2.avi"));
    // Renaming onto an existing name is refused, so neither file is lost.
    EXPECT_NE(script.Messages.back().find("le fichier existe déjà (ligne 9"), std::string::npos)
        << script.Messages.back();
    EXPECT_EQ(velinor::testing::ReadBytes(dir.path() / "garde.avi"), "garde.avi");
    EXPECT_EQ(velinor::testing::ReadBytes(dir.path() / "b.avi"), "b.avi");
}

// One action of every kind, as a window would declare them.
struct Catalogue {
    TMvActionList list;
    TWidestringAction& fichier = list.Create<TWidestringAction>("waFichier");
    TWStringsAction& liste = list.Create<TWStringsAction>("saListe");
    TFontAction& police = list.Create<TFontAction>("faPolice");
    TIntegerAction& volume = list.Create<TIntegerAction>("iaVolume");
    TDoubleAction& vitesse = list.Create<TDoubleAction>("daVitesse");
    TBooleanAction& actif = list.Create<TBooleanAction>("baActif");
    TRectAction& cadre = list.Create<TRectAction>("raCadre");
    TCheckAction& plein = list.Create<TCheckAction>("caPleinEcran");
    TNopeAction& rafraichir = list.Create<TNopeAction>("naRafraichir");
    int refreshed = 0;

    Catalogue() {
        rafraichir.OnAfterApply = [this] { ++refreshed; };
    }

    std::vector<ActionValue> values() const {
        std::vector<ActionValue> out;
        for (const auto* a : list.Actions()) out.push_back(a->Value());
        return out;
    }
};

TEST(MvScript, ActionsAreCalledByTheirScriptNames) {
    TMvScript script;
    Catalogue cat;
    cat.list.SetPascalScript(&script);
    ASSERT_TRUE(script.CompileScript(
        "begin Fichier('a.avi'); Liste(['x', 'y']); Police('Arial', 9, $FF, True, False, True, False);\n"
        " Volume(-3); Vitesse(1.25); Actif(True); Cadre(1, 3, 2, 4); setPleinEcran(True); PleinEcran; "
        "Rafraichir; end."))
        << script.Messages.front();
    ASSERT_TRUE(script.RunScript()) << script.Messages.back();
    EXPECT_EQ(cat.fichier.Value(), ActionValue(std::string("a.avi")));
    EXPECT_EQ(cat.liste.Value(), ActionValue(std::vector<std::string>{"x", "y"}));
    TFont font;
    font.Name = "Arial";
    font.Size = 9;
    font.Color = 0xFF;
    font.Bold = true;
    font.Underline = true;
    EXPECT_EQ(cat.police.Value(), ActionValue(font));
    EXPECT_EQ(cat.volume.Value(), ActionValue(int32_t{-3}));
    EXPECT_EQ(cat.vitesse.Value(), ActionValue(1.25));
    EXPECT_EQ(cat.actif.Value(), ActionValue(true));
    EXPECT_EQ(cat.cadre.Value(), ActionValue(TRect{1, 2, 3, 4}));  // left, right, top, bottom
    EXPECT_FALSE(cat.plein.Checked());                             // set, then toggled
    EXPECT_EQ(cat.refreshed, 1);
    // Wrong argument types do not compile, rather than failing later.
    EXPECT_FALSE(script.CompileScript("begin Volume('x'); end."));
    EXPECT_FALSE(script.CompileScript("begin Cadre(1, 2, 3); end."));
}

TEST(MvScript, RecordedMacroReplaysToTheSameValues) {
    Catalogue recorded;
    std::vector<std::string> lines;
    StartMacro(lines, "jeudi 10 décembre 2026 à 01:00:00");
    recorded.fichier.SetValue("l'été.avi");
    recorded.liste.SetValue({"it's", "", "b"});
    recorded.liste.SetValue({"d'abord", "deux\r\nlignes", "\ttab"});  // control characters as #N
    TFont font;
    font.Name = "Liberation Sans";
    font.Size = 14;
    font.Color = 0x00C0FFEE & 0xFFFFFF;
    font.Italic = true;
    font.StrikeOut = true;
    recorded.police.SetValue(font);
    recorded.volume.SetValue(-2147483647 - 1);
    recorded.vitesse.SetValue(2.5e20);
    recorded.vitesse.SetValue(0.1);
    recorded.actif.SetValue(true);
    recorded.cadre.SetValue(TRect{10, 20, 300, 400});
    recorded.plein.SetChecked(true);
    recorded.rafraichir.Apply();
    recorded.rafraichir.Apply();
    StopMacro();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "//Macro enregistrée le jeudi 10 décembre 2026 à 01:00:00");
    EXPECT_EQ(lines[3], "    Fichier('l''été.avi');");
    EXPECT_EQ(lines.back(), "end.");

    TMvScript script;
    Catalogue replayed;
    replayed.list.SetPascalScript(&script);
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    ASSERT_TRUE(script.CompileScript(text)) << script.Messages.front() << "\n" << text;
    ASSERT_TRUE(script.RunScript()) << script.Messages.back();
    EXPECT_EQ(replayed.values(), recorded.values()) << text;
    EXPECT_EQ(replayed.refreshed, 2);
}

}  // namespace
}  // namespace velinor
