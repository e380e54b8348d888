// The command set built as the window and velinor-cli build it: every overlay setting reaches the
// preview's overlay, the subtitle scan's datecode filter and the burn-in; every format setting
// reaches the module that reads it; the subtitles carry the burn-in's text; a graph that cannot
// be built fails the file with the command's message.
#include "commands/command_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "filelist/avi_fichier.h"
#include "harness.h"
#include "media/datetime_format.h"

namespace velinor {
namespace {

using test::Scratch;

struct Fixture {
    EventLoopDispatcher ui;
    TCommandSet set{ui, [this](const std::function<bool()>& done) {
                        ui.RunUntil(done);
                        ui.RunPending();
                    }};
    Fixture() { set.ApplyDefaults(); }
    // Sets an action by its script name, as --set and scripts do.
    void Set(const std::string& script, const std::string& value) {
        TCustomAbstractAction* action = set.ScriptAction(script);
        ASSERT_NE(action, nullptr) << script;
        action->SetValueText(value);
    }
    bool Run(const std::string& command) {
        set.AfterCommandStart = [this] { ui.RunUntil([this] { return !set.Engine.Running(); }); };
        set.List.SelectAllFichiers(true);
        return set.RunCommand(command);
    }
};

TEST(CommandSet, EverySettingReachesItsReaders) {
    Fixture f;
    TCommandSet& s = f.set;
    Tdv_Superposer& preview = s.Preview.Overlay().Overlay;
    Tdv_sceneDetect& scan = s.Scenes.Detector();
    struct Case {
        const char* script;
        const char* value;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"WhatIncrust", "1",
         [&] {
             EXPECT_EQ(s.Texts.snapshot()->Template1, "");
             EXPECT_EQ(s.Texts.snapshot()->Template2, "%T");
         }},
        {"WhatIncrust", "0", [&] { EXPECT_EQ(s.Texts.snapshot()->Template1, "%D1"); }},
        {"FormatDatecode1", "yyyy",
         [&] { EXPECT_EQ(s.Texts.snapshot()->FormatDatecode1.pattern(), "yyyy"); }},
        {"FormatDatecode2", "hh:nn",
         [&] { EXPECT_EQ(s.Texts.snapshot()->FormatDatecode2.pattern(), "hh:nn"); }},
        {"IncrustFont", "",
         [&] {
             EXPECT_EQ(preview.Font().Name, "Liberation Serif");
             EXPECT_EQ(s.Conversions.OverlayPlacement().Font.Name, "Liberation Serif");
         }},
        {"IncrustX", "300",
         [&] {
             EXPECT_EQ(preview.Horizontal(), 300);
             EXPECT_EQ(s.Conversions.OverlayPlacement().X, 300);
         }},
        {"IncrustY", "400",
         [&] {
             EXPECT_EQ(preview.Vertical(), 400);
             EXPECT_EQ(s.Conversions.OverlayPlacement().Y, 400);
         }},
        {"BorderSize", "4",
         [&] {
             EXPECT_EQ(preview.BorderSize(), 4);
             EXPECT_EQ(s.Conversions.OverlayPlacement().Border, 4);
         }},
        {"WhenIncrust", "2",
         [&] {
             EXPECT_EQ(preview.DisplayMode(), 2);
             EXPECT_EQ(scan.DisplayMode, 2);
         }},
        {"DureeIncrustation", "7",
         [&] {
             EXPECT_EQ(preview.DisplaySeconds(), 7);
             EXPECT_EQ(scan.DisplaySeconds(), 7);
         }},
        {"displayinlay", "True", [&] { EXPECT_TRUE(preview.ShowText()); }},
        {"displayinlay", "False", [&] { EXPECT_FALSE(preview.ShowText()); }},
        // Format and folder settings reach the modules that read them.
        {"TemplateRenommer", "%D_%N", [&] { EXPECT_EQ(s.Dm.Settings.TemplateRenommer, "%D_%N"); }},
        {"FormatAjouterDatecode", "yyyy", [&] { EXPECT_EQ(s.Dm.Settings.FormatAjouterDatecode, "yyyy"); }},
        {"StandardDV", "1", [&] { EXPECT_EQ(s.Conversions.Settings.StandardDV, 1); }},
        {"FrequenceDV", "0", [&] { EXPECT_EQ(s.Conversions.Settings.FrequenceDV, 0); }},
        {"Intervalle", "33", [&] { EXPECT_EQ(s.Scenes.Settings.Intervalle, 33); }},
        {"FormatDuree", "2", [&] { EXPECT_EQ(s.SceneExports.Settings.FormatDuree, 2); }},
        {"FormatAfficherDatecode", "yyyy",
         [&] { EXPECT_EQ(s.SceneExports.Settings.FormatAfficherDatecode, "yyyy"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.script) + "=" + c.value);
        if (std::string(c.script) == "IncrustFont") {
            TFont font;
            font.Name = "Liberation Serif";
            font.Size = 20;
            ASSERT_TRUE(s.ScriptAction(c.script)->SetActionValue(font));
        } else {
            f.Set(c.script, c.value);
        }
        c.check();
    }
    SetFormatAfficherDatecode(" ddddd tt");
}

TEST(CommandSet, SubtitlesCarryTheDefaultAndTheCustomTexts) {
    Scratch dir;
    const std::string clip = dir.file("noel.avi");
    test::DvAviRecipe recipe;
    recipe.frames = 75;  // three seconds
    test::MakeDvAvi(clip, recipe);
    const Datecode date = *MakeDatecode({2005, 8, 12, 14, 5, 6});
    {
        Fixture f;
        f.set.OpenPaths({clip});
        ASSERT_TRUE(f.Run("CreerSrt"));
        EXPECT_EQ(f.set.Engine.Failures(), 0);
        const std::string srt = test::ReadText(dir.file("noel.srt"));
        // One entry per second: the datecode's seconds change once a second.
        EXPECT_NE(srt.find("1\r\n00:00:00,000 --> 00:00:01,000\r\n" + FormatDateTime("ddddd", date) + "\r\n" +
                           FormatDateTime("tt", date) + "\r\n"),
                  std::string::npos)
            << srt;
        EXPECT_NE(srt.find("\r\n3\r\n00:00:02,000 --> 00:00:03,000\r\n"), std::string::npos) << srt;
        EXPECT_EQ(srt.find("\r\n4\r\n"), std::string::npos) << srt;
    }
    std::filesystem::remove(dir.file("noel.srt"));
    {
        Fixture f;
        f.Set("WhatIncrust", "2");
        f.Set("IncrustPerso1", "%F - %D");
        f.Set("IncrustPerso2", "%C");
        f.set.OpenPaths({clip});
        ASSERT_TRUE(f.Run("CreerSrt"));
        const std::string srt = test::ReadText(dir.file("noel.srt"));
        EXPECT_NE(srt.find("noel - " + FormatDateTime("ddddd", date) + "\r\ndvsd\r\n"), std::string::npos)
            << srt;
        // The burn-in draws the same templates.
        EXPECT_EQ(f.set.Texts.snapshot()->Template1, "noel - %D1");
    }
}

TEST(CommandSet, AGraphThatCannotBeBuiltFailsTheFileWithTheCommandsMessage) {
    struct Case {
        const char* command;
        const char* message;
    };
    const Case cases[] = {
        {"ConvertirDV1", "Une erreur est survenue pendant la conversion de"},
        {"CreerScnByDate", "Erreur pendant la création d'un fichier scn pour"},
        {"CreerScnByContenu", "Erreur pendant la création selon contenu d'un fichier scn pour"},
        {"CreerSrt", "Erreur pendant la création d'un fichier srt pour"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Scratch dir;
        const std::string clip = dir.file("clip.avi");
        test::MakeDvAvi(clip);
        Fixture f;
        std::vector<std::string> errors;
        f.set.Engine.OnErrorCommand = [&](const std::string& text, TErrorType) { errors.push_back(text); };
        f.set.OpenPaths({clip});
        ASSERT_EQ(f.set.List.Count(), 1);
        // The listed file is no AVI file any more when the command builds its graph.
        test::WriteText(clip, std::string(4096, 'x'));
        f.Run(c.command);
        EXPECT_EQ(f.set.Engine.Failures(), 1);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(c.message), std::string::npos) << errors[0];
        EXPECT_NE(errors[0].find(clip), std::string::npos) << errors[0];
        // Followed by the reason.
        const size_t newline = errors[0].find('\n');
        ASSERT_NE(newline, std::string::npos) << errors[0];
        EXPECT_LT(newline + 1, errors[0].size()) << errors[0];
    }
}

TEST(CommandSet, CommandsTheWindowGreysOutAreRefusedWithTheReason) {
    Fixture f;
    std::string reason;
    f.set.OnRefused = [&](const std::string& text) { reason = text; };
    EXPECT_FALSE(f.Run("ConvertirDV1"));
    EXPECT_EQ(reason, "La commande ConvertirDV1 ne s'applique à aucun fichier sélectionné.");
    EXPECT_FALSE(f.Run("Inexistante"));
    EXPECT_EQ(reason, "Commande inconnue : Inexistante");
}

}  // namespace
}  // namespace velinor
