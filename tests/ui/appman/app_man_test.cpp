// The application manager in the window: the pages and their close links, the help window, and
// the script window's files and macros.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTextDocument>
#include <filesystem>

#include <gtest/gtest.h>

#include "actions/actions.h"
#include "actions/preferences_morvane.h"
#include "commands/app_manager.h"
#include "commands/command_set.h"
#include "support/temp_dir.h"
#include "ui/appman/app_man.h"
#include "ui/appman/help_form.h"
#include "ui/binding/action_binding.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/script/script_form.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

class AppliManTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        const PreferencesPaths where = test::ScratchPreferences(dir_.path());
        ui_ = std::make_unique<QtUiDispatcher>();
        set_ = test::MakeCommandSet(*ui_);
        w_ = std::make_unique<TUIForm>(*set_, where, std::vector<std::string>{});
        w_->ChooseMode = [](const std::string&) { return TSavePreferences::spNone; };
        w_->resize(800, 700);
        w_->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        w_.reset();
        set_.reset();
    }
    template <class T = TCustomAbstractAction>
    T& A(const char* name) {
        return set_->Catalogue.Get<T>(name);
    }
    // Presses the key as the window's shortcuts see it: the QAction that holds it.
    void Press(const char* key) {
        for (QAction* q : w_->Binder().Actions())
            if (q->shortcut() == QKeySequence(key) && q->isEnabled()) {
                q->trigger();
                QApplication::processEvents();
                return;
            }
        ADD_FAILURE() << "no action on " << key;
    }
    static std::string PlainText(const QLabel& label) {
        QTextDocument doc;
        doc.setHtml(label.text());
        return doc.toPlainText().toStdString();
    }

    test::TempDir dir_;
    std::unique_ptr<QtUiDispatcher> ui_;
    std::unique_ptr<TCommandSet> set_;
    std::unique_ptr<TUIForm> w_;
};

TEST_F(AppliManTest, F10OverTheAboutPageOpensTheOptionsPageAndCliquezIciClosesIt) {
    TMvAppliMan& am = w_->AppliMan();
    auto* options = new QWidget;
    options->setFixedSize(700, 500);
    am.SetOptionsFrame(options);
    const int minimumBefore = w_->minimumWidth();
    const int viewBefore = w_->View();

    Press("F11");
    EXPECT_TRUE(A("caAbout").Checked());
    ASSERT_TRUE(am.AboutPanel()->isVisible());
    EXPECT_EQ(am.AboutPanel()->geometry(), w_->centralWidget()->rect());
    EXPECT_EQ(w_->minimumWidth(), 930);
    EXPECT_EQ(PlainText(*am.AboutCloseLink()), "Tapez F11 pour quitter cette page ou cliquez ici.");
    EXPECT_EQ(am.AboutCloseLink()->toolTip().toStdString(),
              "Cliquez pour fermer cette page\r\net retourner à l'application");
    // The about page names the program, its version and date, and the maker.
    const auto labels = am.AboutFrame()->findChildren<QLabel*>();
    std::string about;
    for (const QLabel* l : labels) about += PlainText(*l) + "|";
    for (const char* part :
         {"Velinor|", "Version 1.0.0|", "Mise à jour le 08/10/2023|", "velinor@morvane.fr|"})
        EXPECT_NE(about.find(part), std::string::npos) << about;

    Press("F10");
    EXPECT_FALSE(A("caAbout").Checked());
    EXPECT_TRUE(A("caOptions").Checked());
    EXPECT_FALSE(am.AboutPanel()->isVisible());
    ASSERT_TRUE(am.OptionsPanel()->isVisible());
    EXPECT_EQ(w_->minimumWidth(), 930);
    EXPECT_TRUE(A("caCTRLShortcuts").Checked());
    // The frame is centred in the page, its close link 16 pixels from its corner.
    const QSize room = am.OptionsPanel()->size() - options->size();
    EXPECT_EQ(options->pos(), QPoint(room.width() / 2, room.height() / 2));
    QLabel& link = *am.OptionsCloseLink();
    EXPECT_EQ(link.geometry().bottomRight() + QPoint(1, 1), QPoint(700 - 16, 500 - 16));
    EXPECT_EQ(PlainText(link), "Tapez F10 pour quitter cette page ou cliquez ici.");

    emit link.linkActivated("closeOptions");
    QApplication::processEvents();
    EXPECT_FALSE(A("caOptions").Checked());
    EXPECT_FALSE(am.OptionsPanel()->isVisible());
    EXPECT_FALSE(A("caCTRLShortcuts").Checked());
    EXPECT_EQ(w_->minimumWidth(), minimumBefore);
    EXPECT_EQ(w_->View(), viewBefore);
}

TEST_F(AppliManTest, TheWindowRectangleDefaultsToItsSizeCentredAndTheHintsNameTheProduct) {
    auto& rect = A<TRectAction>("raFormSave");
    TMorvanePreferences none(PreferencesPaths{});
    rect.LoadFromPrefs(none);
    const QRect screen = w_->screen()->availableGeometry();
    const TRect r = rect.CurrentValue();
    EXPECT_EQ(r.Right - r.Left, w_->width());
    EXPECT_EQ(r.Bottom - r.Top, w_->height());
    EXPECT_EQ(r.Left, screen.left() + (screen.width() - w_->width()) / 2);
    EXPECT_EQ(r.Top, screen.top() + (screen.height() - w_->height()) / 2);
    EXPECT_EQ(A("naQuit").Hint(), "Quitter Velinor");
    EXPECT_EQ(A("naEMail").Hint(), "Envoyer un e-mail à Morvane");
    EXPECT_EQ(A("naHomePage").Hint(), "Ouvrir la Page d'Accueil de Velinor");
}

TEST_F(AppliManTest, APageWithoutFrameShowsNothingButItsActionToggles) {
    // The window gives the custom page no frame.
    A<TCheckAction>("caCustom").SetChecked(true);
    EXPECT_TRUE(A("caCustom").Checked());
    EXPECT_FALSE(w_->AppliMan().CustomPanel()->isVisible());
    A<TCheckAction>("caCustom").SetChecked(false);
    EXPECT_FALSE(A("caCustom").Checked());
    // The options page has its frame.
    Press("F10");
    EXPECT_TRUE(A("caOptions").Checked());
    EXPECT_TRUE(w_->AppliMan().OptionsPanel()->isVisible());
    Press("F10");
    EXPECT_FALSE(A("caOptions").Checked());
    EXPECT_FALSE(w_->AppliMan().OptionsPanel()->isVisible());
}

TEST_F(AppliManTest, TheHelpWindowSortsListsShowsDetailsAndRunsOnDoubleClick) {
    THelpForm& help = w_->AppliMan().HelpForm();
    Press("F1");
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.windowTitle().toStdString(), "Aide pour Raccourcis, Script et Macros");
    ASSERT_EQ(help.Tabs().count(), 2);
    EXPECT_EQ(help.Tabs().tabText(0).toStdString(), "Commandes");
    EXPECT_EQ(help.Tabs().tabText(1).toStdString(), "Fichiers");
    QListWidget* list = help.List(0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->objectName().toStdString(), "lb0");
    EXPECT_EQ(list->count(), int(set_->Catalogue.am.Actions().size() + set_->Catalogue.al.Actions().size()));
    EXPECT_EQ(list->currentRow(), 0);

    struct Case {
        HelpOrder order;
        std::function<std::string(const TCustomAbstractAction&)> key;
    };
    const Case cases[] = {
        {HelpOrder::Shortcut, [](const TCustomAbstractAction& a) { return a.ShortCut(); }},
        {HelpOrder::Switch, [](const TCustomAbstractAction& a) { return a.Switch; }},
    };
    for (const Case& c : cases) {
        help.SortBy(c.order);
        for (int tab = 0; tab < 2; ++tab) {
            QListWidget* l = help.List(tab);
            bool seenMissing = false;
            int missing = 0;
            for (int i = 0; i < l->count(); ++i) {
                const bool has = !c.key(*help.ActionOf(l->item(i))).empty();
                EXPECT_FALSE(has && seenMissing) << l->item(i)->text().toStdString() << " after one without";
                if (!has) ++missing;
                seenMissing = seenMissing || !has;
            }
            if (tab == 0) {
                EXPECT_GT(missing, 0);
            }
        }
    }
    help.SortBy(HelpOrder::Alpha);

    // An action without a switch, one with: the details below the list.
    const auto select = [&](const char* name) {
        for (int i = 0; i < list->count(); ++i)
            if (help.ActionOf(list->item(i))->Name() == name) {
                list->setCurrentRow(i);
                return list->item(i);
            }
        return static_cast<QListWidgetItem*>(nullptr);
    };
    QListWidgetItem* about = select("caAbout");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(help.TitleLabel().text().toStdString(), "About    F11");
    EXPECT_EQ(PlainText(help.SwitchLabel()), "Switch:    N/A");
    EXPECT_EQ(help.SyntaxBox().toPlainText().toStdString(),
              "procedure setAbout(const fisTrue:Boolean);\nprocedure About;");
    for (int i = 0; i < list->count(); ++i) {
        const TCustomAbstractAction& a = *help.ActionOf(list->item(i));
        if (a.Switch.empty()) continue;
        list->setCurrentRow(i);
        EXPECT_EQ(PlainText(help.SwitchLabel()), "Switch:    " + a.SwitchSyntax());
        break;
    }

    emit list->itemDoubleClicked(about);
    QApplication::processEvents();
    EXPECT_TRUE(A("caAbout").Checked());

    help.close();
    EXPECT_FALSE(A("caHelp").Checked());
}

TEST_F(AppliManTest, AMacroRecordedWhileSettingsChangeReplaysToTheSameValues) {
    TScriptForm& script = w_->AppliMan().ScriptForm();
    Press("F12");
    EXPECT_TRUE(script.isVisible());
    TScriptFormActions& form = script.FormActions();
    form.Now = [] { return *MakeDatecode({2026, 12, 10, 9, 0, 0}); };

    auto& volume = A<TIntegerAction>("iaVolume");
    auto& f3 = A<TWidestringAction>("waFichierF3");
    auto& avant = A<TBooleanAction>("baDatecodeAvant");
    form.naStartMacro.Execute();
    EXPECT_FALSE(form.naStartMacro.Enabled());
    volume.SetValue(1234);
    f3.SetValue("/usr/bin/l'outil");
    avant.SetValue(!avant.CurrentValue());
    const bool recordedAvant = avant.CurrentValue();
    form.naStopMacro.Execute();
    const std::string text = script.Editor().toPlainText().toStdString();
    EXPECT_EQ(text.rfind("//Macro enregistrée le jeudi 10 décembre 2026 à 09:00:00", 0), 0u) << text;
    EXPECT_NE(text.find("    Volume(1234);"), std::string::npos) << text;
    EXPECT_EQ(script.StatePanel().text().toStdString(), "Modifié");

    volume.SetValue(10);
    f3.SetValue("");
    avant.SetValue(!recordedAvant);
    form.naExecuteMacro.Execute();
    const std::string messages = script.MessageBox().toPlainText().toStdString();
    EXPECT_NE(messages.find("*** Exécution réussie ***"), std::string::npos) << messages << "\n" << text;
    EXPECT_EQ(volume.CurrentValue(), 1234);
    EXPECT_EQ(f3.CurrentValue(), "/usr/bin/l'outil");
    EXPECT_EQ(avant.CurrentValue(), recordedAvant);
}

TEST_F(AppliManTest, AScriptSavedClosedAndReopenedFromTheRecentListRuns) {
    TScriptForm& script = w_->AppliMan().ScriptForm();
    TScriptFichierMan& files = script.Files();
    EXPECT_EQ(script.StatePanel().text().toStdString(), "Nouveau");
    EXPECT_EQ(script.Editor().toPlainText().toStdString(),
              "//Ecrivez un script entre begin et end.\n//N'oubliez pas de finir chaque commande par ;\n"
              "begin\n\nend.");
    script.Editor().setPlainText("begin\n  Volume(777);\nend.");
    EXPECT_EQ(script.StatePanel().text().toStdString(), "Modifié");
    const fs::path saved = dir_.path() / "volume.txt";
    files.waSaveFileAs.SetValue(saved.string());
    EXPECT_EQ(script.StatePanel().text().toStdString(), "Enregistré");
    EXPECT_EQ(script.FilePanel().text().toStdString(), saved.string());
    ASSERT_TRUE(fs::exists(saved));

    files.naCloseFile.Execute();
    EXPECT_EQ(script.Editor().toPlainText().toStdString(), "");
    QAction* recent = script.Binder().Find("naRecent1");
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->isVisible());
    EXPECT_EQ(recent->text().toStdString(), "1 " + saved.string());
    recent->trigger();
    EXPECT_EQ(script.StatePanel().text().toStdString(), "Ouvert");
    EXPECT_EQ(script.Editor().toPlainText().toStdString(), "begin\n  Volume(777);\nend.");

    QAction* run = script.Binder().Find("naExecuteMacro");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->shortcut(), QKeySequence("F5"));
    run->trigger();
    EXPECT_EQ(A<TIntegerAction>("iaVolume").CurrentValue(), 777);
    EXPECT_NE(script.MessageBox().toPlainText().indexOf("*** Exécution réussie ***"), -1);

    // A script that does not compile says so and changes nothing.
    script.Editor().setPlainText("begin\n  Volume('x');\nend.");
    run->trigger();
    EXPECT_NE(script.MessageBox().toPlainText().indexOf("### Compilation Failed"), -1);
    EXPECT_EQ(A<TIntegerAction>("iaVolume").CurrentValue(), 777);
}

TEST_F(AppliManTest, AModifiedScriptIsOfferedForSavingBeforeTheProgramCloses) {
    TScriptForm& script = w_->AppliMan().ScriptForm();
    script.Editor().setPlainText("begin\n  Volume(3);\nend.");
    const fs::path target = dir_.path() / "avant.txt";
    std::vector<DiscardAnswer> answers = {DiscardAnswer::Cancel, DiscardAnswer::Save};
    script.Files().AskDiscard = [&](const std::string&) {
        const DiscardAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    script.Files().Dialogs.SaveFile = [&](const std::string& title, const std::string&, const std::string&) {
        EXPECT_EQ(title, "Enregistrer le script");
        return std::optional<std::string>(target.string());
    };
    w_->close();
    EXPECT_TRUE(w_->isVisible());
    EXPECT_FALSE(fs::exists(target));
    w_->close();
    EXPECT_FALSE(w_->isVisible());
    EXPECT_TRUE(fs::exists(target));
}

TEST_F(AppliManTest, TheScriptWindowKeepsItsRectangleRecentFilesAndLastScriptFromOneRunToTheNext) {
    const fs::path saved = dir_.path() / "garde.txt";
    {
        TScriptForm& script = w_->AppliMan().ScriptForm();
        script.setGeometry(100, 120, 500, 400);
        script.Editor().setPlainText("begin\n  Volume(55);\nend.");
        script.Files().waSaveFileAs.SetValue(saved.string());
        w_->ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
        w_->close();
        ASSERT_EQ(w_->LastSaveError(), "");
        w_.reset();
        set_.reset();
    }
    const PreferencesPaths where = test::ScratchPreferences(dir_.path());
    set_ = test::MakeCommandSet(*ui_);
    w_ = std::make_unique<TUIForm>(*set_, where, std::vector<std::string>{});
    w_->show();
    QApplication::processEvents();
    TScriptForm& script = w_->AppliMan().ScriptForm();
    EXPECT_FALSE(script.isVisible());
    EXPECT_EQ(script.geometry(), QRect(100, 120, 500, 400));
    ASSERT_EQ(script.Files().Recent(), std::vector<std::string>{saved.string()});
    EXPECT_EQ(script.Editor().toPlainText().toStdString(), "begin\n  Volume(55);\nend.");
    EXPECT_EQ(script.StatePanel().text().toStdString(), "Ouvert");
}

}  // namespace
}  // namespace velinor
