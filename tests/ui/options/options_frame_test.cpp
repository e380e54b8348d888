// The options page in the window, on a command set with real DV clips: the live examples, the
// controls and their settings both ways, "Défaut", the export columns, the storage mode and the
// "Envoyer vers" desktop entry.
#include "ui/options/options_frame.h"
#include "ui/appman/app_man.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "actions/actions.h"
#include "actions/script/mv_script.h"
#include "commands/command_set.h"
#include "commands/send_to.h"
#include "support/temp_dir.h"
#include "ui/kit/dual_list_frame.h"
#include "ui/kit/path_edit.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;

class OptionsFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        // The desktop entry goes where the test looks, never into the user's folder.
        const char* before = std::getenv("XDG_DATA_HOME");
        hadData_ = before != nullptr;
        if (before) savedData_ = before;
        setenv("XDG_DATA_HOME", (dir_.path() / "data").c_str(), 1);
    }
    void TearDown() override {
        if (window_) window_->close();
        window_.reset();
        set_.reset();
        if (hadData_)
            setenv("XDG_DATA_HOME", savedData_.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

    TUIForm& Open(const std::vector<std::string>& paths = {}) {
        const PreferencesPaths where = test::ScratchPreferences(dir_.path());
        if (!ui_) ui_ = std::make_unique<QtUiDispatcher>();
        set_ = test::MakeCommandSet(*ui_);
        window_ = std::make_unique<TUIForm>(*set_, where, paths);
        window_->ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
        window_->resize(1000, 760);
        window_->show();
        window_->Activate();
        EXPECT_TRUE(
            WaitFor([&] { return !window_->List().Busy() && window_->List().Count() == int(paths.size()); }));
        Check("caOptions").SetChecked(true);
        QApplication::processEvents();
        return *window_;
    }
    std::string Clip(const std::string& name) {
        const std::string path = (dir_.path() / name).string();
        test::WriteDvClip(path, {2011, 7, 14, 9, 30, 0}, 6);
        return path;
    }
    template <class T>
    T& Setting(const char* name) {
        auto* typed = dynamic_cast<T*>(window_->Action(name));
        if (!typed) throw std::runtime_error(std::string("pas d'action ") + name);
        return *typed;
    }
    TCheckAction& Check(const char* name) { return Setting<TCheckAction>(name); }
    TOptionsFrame& Page() { return window_->OptionsFrame(); }
    static std::string Text(const QLabel* label) { return label->text().toStdString(); }
    static std::string Today(const char* format) {
        return QDate::currentDate().toString(format).toStdString();
    }

    test::TempDir dir_;
    std::unique_ptr<QtUiDispatcher> ui_;
    std::unique_ptr<TCommandSet> set_;
    std::unique_ptr<TUIForm> window_;
    bool hadData_ = false;
    std::string savedData_;
};

TEST_F(OptionsFrameTest, ThePageCoversTheWindowWhileOptionsIsChecked) {
    TUIForm& w = Open();
    TOptionsFrame& page = Page();
    EXPECT_TRUE(page.isVisible());
    // Its panel covers the client area, the page inside it with its close link.
    EXPECT_EQ(w.AppliMan().OptionsPanel()->geometry(), w.centralWidget()->rect());
    EXPECT_TRUE(w.AppliMan().OptionsPanel()->rect().contains(page.geometry()));
    EXPECT_GE(w.minimumWidth(), 930);
    EXPECT_TRUE(Check("caCTRLShortcuts").Checked());
    QStringList tabs;
    for (int i = 0; i < page.Tabs->count(); ++i) tabs << page.Tabs->tabText(i);
    EXPECT_EQ(tabs.join(","), "Préférences,Formats,Dossiers,Fichiers,DV,Export,Excel,Renommer");
    // Another page in its place closes it.
    Check("caAbout").SetChecked(true);
    EXPECT_FALSE(page.isVisible());
    EXPECT_FALSE(Check("caCTRLShortcuts").Checked());
    Check("caOptions").SetChecked(true);
    EXPECT_TRUE(page.isVisible());
    Check("caOptions").SetChecked(false);
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(w.View(), 1);  // the list is empty
}

TEST_F(OptionsFrameTest, ExamplesFollowTheFormatsAsTheyAreTyped) {
    Open();
    TOptionsFrame& p = Page();
    p.edTemplateRenommer->setText("ClipDV%D_%N");
    p.cbRenommerDatecode->setEditText("yyyymmdd");
    p.seNumberDigits->setValue(3);
    EXPECT_EQ(Text(p.LabRenommer), "ClipDV" + Today("yyyyMMdd") + "_001");
    p.seNumberDigits->setValue(5);
    EXPECT_EQ(Text(p.LabRenommer), "ClipDV" + Today("yyyyMMdd") + "_00001");

    p.edTemplateRenommer->setText("%F %C");
    EXPECT_EQ(Text(p.LabRenommer), "Vidéo dvsd");

    // ":" cannot be in a file name: the examples show dots.
    p.cbAjouterDatecode->setEditText("hh:nn");
    const QRegularExpression after("^Vidéo_\\d\\d\\.\\d\\d$"), before("^\\d\\d\\.\\d\\d_Vidéo$");
    EXPECT_TRUE(after.match(p.LabAjouterDatecode->text()).hasMatch()) << Text(p.LabAjouterDatecode);
    p.cbDatecodeavant->click();
    EXPECT_TRUE(Setting<TBooleanAction>("baDatecodeAvant").CurrentValue());
    EXPECT_TRUE(before.match(p.LabAjouterDatecode->text()).hasMatch()) << Text(p.LabAjouterDatecode);

    EXPECT_EQ(Text(p.LabAjouterTimecode), "0.54.32.10_Vidéo");
    p.cbTimecodeavant->click();
    EXPECT_EQ(Text(p.LabAjouterTimecode), "Vidéo_0.54.32.10");

    // A script sets a format: the control and the example follow.
    Setting<TWidestringAction>("waFormatAfficherDatecode").SetValue("yyyy");
    EXPECT_EQ(p.cbAfficherDatecode->currentText().toStdString(), "yyyy");
    EXPECT_EQ(Text(p.LabAfficherDatecode), Today("yyyy"));
}

TEST_F(OptionsFrameTest, ChoosingASaveFolderStopsConvertingBesideTheSource) {
    Open();
    TOptionsFrame& p = Page();
    ASSERT_TRUE(Check("caSameFolder").Checked());
    EXPECT_TRUE(p.cbsameFolder->isChecked());
    EXPECT_FALSE(p.edDossierSave->isEnabled());
    p.cbsameFolder->click();
    EXPECT_TRUE(p.edDossierSave->isEnabled());
    p.cbsameFolder->click();
    ASSERT_TRUE(Check("caSameFolder").Checked());

    const QString folder = QString::fromStdString((dir_.path() / "sorties").string());
    fs::create_directories(dir_.path() / "sorties");
    p.edDossierSave->setEnabled(true);  // the chooser of a disabled edit cannot be reached otherwise
    p.edDossierSave->Choose = [folder](const QString&) { return folder; };
    p.edDossierSave->BrowseButton()->click();
    EXPECT_EQ(Setting<TWidestringAction>("waDossierSave").CurrentValue(), folder.toStdString());
    EXPECT_FALSE(Check("caSameFolder").Checked());
    EXPECT_FALSE(p.cbsameFolder->isChecked());
    EXPECT_TRUE(p.edDossierSave->isEnabled());
    EXPECT_EQ(set_->Dm.Settings.DossierSave, folder.toStdString());
    EXPECT_FALSE(set_->Dm.Settings.SameFolder);

    // Checking the box again disables the edit and keeps its folder.
    p.cbsameFolder->click();
    EXPECT_FALSE(p.edDossierSave->isEnabled());
    EXPECT_EQ(p.edDossierSave->Path(), folder);
}

TEST_F(OptionsFrameTest, DefautSetsTheFormatsAndTheRenameTemplateOnly) {
    Open();
    TOptionsFrame& p = Page();
    p.cbDatecodeavant->click();
    p.cbTimecodeavant->click();
    std::map<std::string, std::string> before;
    for (TCustomAbstractAction* setting : set_->Settings())
        before[setting->InternalId] = setting->ValueText();

    p.formatdefautBtn->click();
    std::set<std::string> changed;
    for (TCustomAbstractAction* setting : set_->Settings())
        if (before[setting->InternalId] != setting->ValueText()) changed.insert(setting->InternalId);
    const std::set<std::string> formats = {"waFormatAjouterDatecode",  "waFormatAfficherDatecode",
                                           "waFormatRenommerDatecode", "waTemplateRenommer",
                                           "baDatecodeAvant",          "baTimecodeAvant"};
    EXPECT_EQ(changed, formats);
    EXPECT_EQ(p.cbAjouterDatecode->currentText().toStdString(), "dd.mm.yyyy_hh.nn.ss");
    EXPECT_EQ(p.cbAfficherDatecode->currentText().toStdString(), "ddddd tt");
    EXPECT_EQ(p.cbRenommerDatecode->currentText().toStdString(), "yyyymmdd hh.nn.ss");
    EXPECT_EQ(p.edTemplateRenommer->text().toStdString(), "mavideo %D");
    EXPECT_FALSE(p.cbDatecodeavant->isChecked());
    EXPECT_FALSE(p.cbTimecodeavant->isChecked());
    EXPECT_TRUE(QRegularExpression("^mavideo \\d{8} \\d\\d\\.\\d\\d\\.\\d\\d$")
                    .match(p.LabRenommer->text())
                    .hasMatch())
        << Text(p.LabRenommer);
    EXPECT_EQ(set_->Dm.Settings.TemplateRenommer, "mavideo %D");
    EXPECT_EQ(p.formatdefautBtn->toolTip().toStdString(),
              "Met les valeurs recommandées pour l'onglet \"Formats\".\nNe change rien aux autres onglets.");
}

// Each control set as a user would, then its setting applied as a script would.
TEST_F(OptionsFrameTest, EveryControlSetsItsSettingAndShowsItBack) {
    Open();
    TOptionsFrame& p = Page();
    const QString folder = QString::fromStdString(dir_.path().string());
    const auto choose = [folder](TPathEdit* edit) {
        edit->setEnabled(true);
        edit->Choose = [folder](const QString&) { return folder; };
        edit->BrowseButton()->click();
    };
    const auto radio = [](QButtonGroup* group, int id) { group->button(id)->click(); };
    const auto checkedId = [](QButtonGroup* group) { return std::to_string(group->checkedId()); };
    const auto boxText = [](QCheckBox* box) { return std::string(box->isChecked() ? "True" : "False"); };
    struct Row {
        const char* setting;
        std::function<void()> setControl;
        std::string expected;                  // the setting's value text after the control was set
        std::string applied;                   // a value text applied to the setting
        std::function<std::string()> control;  // the control read back, to equal `applied`
    };
    const std::string f = folder.toStdString();
    const Row rows[] = {
        {"caSelectionnerOuverts", [&] { p.cbSelection->click(); }, "True", "False",
         [&] { return boxText(p.cbSelection); }},
        {"baOpenlastFiles", [&] { p.cbOpenLastFiles->click(); }, "False", "True",
         [&] { return boxText(p.cbOpenLastFiles); }},
        {"caDeinterlace", [&] { p.cbDeinterlace->click(); }, "True", "False",
         [&] { return boxText(p.cbDeinterlace); }},
        {"waFormatAfficherDatecode", [&] { p.cbAfficherDatecode->setEditText("dd/mm"); }, "dd/mm", "yy",
         [&] { return p.cbAfficherDatecode->currentText().toStdString(); }},
        {"waFormatAjouterDatecode", [&] { p.cbAjouterDatecode->setCurrentIndex(5); }, "d mmm yyyy", "yyyy",
         [&] { return p.cbAjouterDatecode->currentText().toStdString(); }},
        {"baDatecodeAvant", [&] { p.cbDatecodeavant->click(); }, "True", "False",
         [&] { return boxText(p.cbDatecodeavant); }},
        {"baTimecodeAvant", [&] { p.cbTimecodeavant->click(); }, "True", "False",
         [&] { return boxText(p.cbTimecodeavant); }},
        {"waDossierOuvrir", [&] { choose(p.edDossierOuvrir); }, f, "/tmp",
         [&] { return p.edDossierOuvrir->Path().toStdString(); }},
        {"waDossierFavori", [&] { choose(p.edDossierFavori); }, f, "/tmp",
         [&] { return p.edDossierFavori->Path().toStdString(); }},
        {"waDossierPlayList", [&] { choose(p.edDossierPlayList); }, f, "/tmp",
         [&] { return p.edDossierPlayList->Path().toStdString(); }},
        {"caSameFolder", [&] { p.cbsameFolder->click(); }, "False", "True",
         [&] { return boxText(p.cbsameFolder); }},
        {"waDossierSave", [&] { choose(p.edDossierSave); }, f, "/tmp",
         [&] { return p.edDossierSave->Path().toStdString(); }},
        {"waFichierStillor", [&] { choose(p.feStillor); }, f, "/bin/true",
         [&] { return p.feStillor->Path().toStdString(); }},
        {"waFichierF3", [&] { choose(p.feFichierF3); }, f, "/bin/true",
         [&] { return p.feFichierF3->Path().toStdString(); }},
        {"waFichierF4", [&] { choose(p.feFichierF4); }, f, "/bin/true",
         [&] { return p.feFichierF4->Path().toStdString(); }},
        {"iaFrequenceDV", [&] { radio(p.rgfrequenceDV, 0); }, "0", "1",
         [&] { return checkedId(p.rgfrequenceDV); }},
        {"iaStandardDV", [&] { radio(p.rgStandardDV, 1); }, "1", "0",
         [&] { return checkedId(p.rgStandardDV); }},
        {"iaRatioDV", [&] { radio(p.rgRatioDV, 1); }, "1", "0", [&] { return checkedId(p.rgRatioDV); }},
        {"iaIntervalle", [&] { p.edIntervalle->setText("35"); }, "35", "12",
         [&] { return p.edIntervalle->text().toStdString(); }},
        {"iaFormatDuree", [&] { radio(p.rgFormatDuree, 2); }, "2", "1",
         [&] { return checkedId(p.rgFormatDuree); }},
        {"iaExcelFormat",
         [&] {
             p.cbExcelFormat->setCurrentIndex(1);
             emit p.cbExcelFormat->activated(1);
         },
         "29", "39", [&] { return std::to_string(p.cbExcelFormat->currentIndex() == 3 ? 39 : -1); }},
        {"baKeepOpen", [&] { p.cbKeepOpen->click(); }, "True", "False",
         [&] { return boxText(p.cbKeepOpen); }},
        {"waDossierExcel", [&] { choose(p.deDossierExcel); }, f, "/tmp",
         [&] { return p.deDossierExcel->Path().toStdString(); }},
        {"waTemplateRenommer", [&] { p.edTemplateRenommer->setText("%F_%N"); }, "%F_%N", "x%D",
         [&] { return p.edTemplateRenommer->text().toStdString(); }},
        {"iaNumberDigits", [&] { p.seNumberDigits->setValue(6); }, "6", "2",
         [&] { return std::to_string(p.seNumberDigits->value()); }},
        {"waFormatRenommerDatecode", [&] { p.cbRenommerDatecode->setEditText("yy-mm"); }, "yy-mm", "dd",
         [&] { return p.cbRenommerDatecode->currentText().toStdString(); }},
    };
    for (const Row& row : rows) {
        TCustomAbstractAction& setting = *window_->Action(row.setting);
        row.setControl();
        EXPECT_EQ(setting.ValueText(), row.expected) << row.setting;
        setting.SetValueText(row.applied);
        EXPECT_EQ(row.control(), row.applied) << row.setting;
    }
}

TEST_F(OptionsFrameTest, IntervalAndExcelFormatReadTheirControlsAsSpecified) {
    Open();
    TOptionsFrame& p = Page();
    auto& interval = Setting<TIntegerAction>("iaIntervalle");
    EXPECT_EQ(p.edIntervalle->text().toStdString(), "20");
    p.edIntervalle->setText("abc");
    EXPECT_EQ(interval.CurrentValue(), 20);
    EXPECT_EQ(p.edIntervalle->text().toStdString(), "abc");  // what was typed stays
    p.edIntervalle->setText("45");
    EXPECT_EQ(interval.CurrentValue(), 45);
    p.edIntervalle->setText("");
    EXPECT_EQ(interval.CurrentValue(), 20);

    auto& excel = Setting<TIntegerAction>("iaExcelFormat");
    EXPECT_EQ(p.cbExcelFormat->currentIndex(), 4);  // 43, the default
    const int32_t codes[] = {16, 29, 33, 39, 43};
    for (int item = 0; item < 5; ++item) {
        p.cbExcelFormat->setCurrentIndex(item);
        emit p.cbExcelFormat->activated(item);
        EXPECT_EQ(excel.CurrentValue(), codes[item]);
    }
    excel.SetValue(33);
    EXPECT_EQ(p.cbExcelFormat->currentIndex(), 2);
    excel.SetValue(51);  // unknown: the box stays
    EXPECT_EQ(p.cbExcelFormat->currentIndex(), 2);
}

TEST_F(OptionsFrameTest, StorageModeFollowsThePreferencesBothWays) {
    TUIForm& w = Open();
    TOptionsFrame& p = Page();
    EXPECT_EQ(p.rgPrefs->checkedId(), int(w.Preferences().Mode()));
    p.rgPrefs->button(1)->click();
    EXPECT_EQ(w.Preferences().Mode(), TSavePreferences::spPortable);
    p.rgPrefs->button(2)->click();
    EXPECT_EQ(w.Preferences().Mode(), TSavePreferences::spNone);
    w.Preferences().SetMode(TSavePreferences::spRegistre);
    EXPECT_EQ(p.rgPrefs->checkedId(), 0);
}

TEST_F(OptionsFrameTest, SendToMakesAndRemovesAValidDesktopEntry) {
    Open();
    TOptionsFrame& p = Page();
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    const std::string entry = SendToEntryPath(program);
    ASSERT_EQ(entry.rfind((dir_.path() / "data" / "applications").string(), 0), 0u) << entry;
    EXPECT_FALSE(fs::exists(entry));
    p.cbSendTo->click();
    EXPECT_TRUE(Check("caSendTo").Checked());
    ASSERT_TRUE(fs::exists(entry));
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("desktop-file-validate '" + entry + "'").c_str()), 0);
    }
    p.cbSendTo->click();
    EXPECT_FALSE(fs::exists(entry));
    // A script checks it: the box follows, and the entry is made.
    Check("caSendTo").SetChecked(true);
    EXPECT_TRUE(p.cbSendTo->isChecked());
    EXPECT_TRUE(fs::exists(entry));
    // A folder that cannot be made is no error to the user.
    Check("caSendTo").SetChecked(false);
    fs::remove_all(dir_.path() / "data");
    std::ofstream(dir_.path() / "data") << "x";
    Check("caSendTo").SetChecked(true);
    EXPECT_TRUE(p.cbSendTo->isChecked());
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(OptionsFrameTest, ExportColumnsAreEditedWithTheDualListAndShowTheActiveFile) {
    Open({Clip("a.avi")});
    TOptionsFrame& p = Page();
    TDualListFrame& d = *p.DualListFrame;
    auto& available = Setting<TWStringsAction>("saAvailable");
    auto& selected = Setting<TWStringsAction>("saSelected");
    selected.SetValue({"ShortName", "Codec"});
    ASSERT_EQ(d.DstList->count(), 2);
    EXPECT_EQ(d.SrcList->count(), int(available.CurrentValue().size()) - 2);

    // Read-only: only "Edit", the note, and no move.
    EXPECT_FALSE(d.EditBtn->isHidden());
    EXPECT_TRUE(d.OKBtn->isHidden());
    EXPECT_TRUE(d.CancelBtn->isHidden());
    EXPECT_FALSE(d.memoDual->isHidden());
    EXPECT_FALSE(d.IncAllBtn->isEnabled());
    EXPECT_FALSE(d.ExAllBtn->isEnabled());

    // The example box: one line per chosen column, its value for the active file.
    const QString plain = p.leExemple->toPlainText();
    EXPECT_TRUE(plain.startsWith("a\n")) << plain.toStdString();
    EXPECT_TRUE(plain.contains("dvsd")) << plain.toStdString();
    d.DstList->item(1)->setSelected(true);
    EXPECT_TRUE(p.leExemple->toHtml().contains("#800000")) << p.leExemple->toHtml().toStdString();
    EXPECT_TRUE(p.leExemple->toHtml().contains("font-weight:700") ||
                p.leExemple->toHtml().contains("font-weight:600"));

    // Edit: the moves work; Annuler gives the saved selection back.
    d.EditBtn->click();
    EXPECT_TRUE(p.EditingColumns());
    EXPECT_TRUE(d.EditBtn->isHidden());
    EXPECT_FALSE(d.OKBtn->isHidden());
    EXPECT_FALSE(p.labDualHelp->isHidden());
    EXPECT_TRUE(d.IncAllBtn->isEnabled());
    EXPECT_FALSE(d.IncludeBtn->isEnabled());  // nothing selected on the left
    EXPECT_TRUE(d.UpBtn->isEnabled());        // "Codec" is selected, second
    EXPECT_FALSE(d.DownBtn->isEnabled());
    d.ExAllBtn->click();
    EXPECT_EQ(d.DstList->count(), 0);
    EXPECT_TRUE(p.leExemple->toPlainText().isEmpty());
    d.CancelBtn->click();
    EXPECT_FALSE(p.EditingColumns());
    EXPECT_EQ(d.DstList->count(), 2);
    EXPECT_EQ(selected.CurrentValue(), (std::vector<std::string>{"ShortName", "Codec"}));

    // Ok keeps the lists as edited.
    d.EditBtn->click();
    d.SrcList->item(0)->setSelected(true);
    const std::string first = d.SrcList->item(0)->text().toStdString();
    d.IncludeBtn->click();
    d.OKBtn->click();
    EXPECT_EQ(selected.CurrentValue(), (std::vector<std::string>{"ShortName", "Codec", first}));
    EXPECT_EQ(std::count(available.CurrentValue().begin(), available.CurrentValue().end(), first), 0);
    EXPECT_TRUE(d.OKBtn->isHidden());
    EXPECT_EQ(p.leExemple->toPlainText().count('\n'), 3);  // three lines, each ended
}

// What the user changes on the page is recorded as a macro, which puts the same values back.
TEST_F(OptionsFrameTest, AMacroRecordedOnThePageReplaysToTheSameValues) {
    Open();
    TOptionsFrame& p = Page();
    const char* const names[] = {"waTemplateRenommer",    "iaNumberDigits",         "baDatecodeAvant",
                                 "caSelectionnerOuverts", "iaStandardDV",           "iaExcelFormat",
                                 "iaIntervalle",          "waFormatAjouterDatecode"};
    std::vector<std::string> lines;
    StartMacro(lines, "vendredi 11 décembre 2026 à 10:00:00");
    p.edTemplateRenommer->setText("l'été %N");
    p.seNumberDigits->setValue(4);
    p.cbDatecodeavant->click();
    p.cbSelection->click();
    p.rgStandardDV->button(1)->click();
    p.cbExcelFormat->setCurrentIndex(0);
    emit p.cbExcelFormat->activated(0);
    p.edIntervalle->setText("42");
    p.cbAjouterDatecode->setEditText("yyyy");
    StopMacro();
    std::map<std::string, std::string> recorded;
    for (const char* name : names) recorded[name] = window_->Action(name)->ValueText();

    p.formatdefautBtn->click();
    for (const char* name : {"iaNumberDigits", "iaStandardDV", "iaExcelFormat", "iaIntervalle"})
        window_->Action(name)->SetValueText(window_->Action(name)->ValueText() == "1" ? "2" : "1");
    Check("caSelectionnerOuverts").SetChecked(false);

    TMvScript script;
    for (TMvActionList* list : set_->ActionLists()) list->SetPascalScript(&script);
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    ASSERT_TRUE(script.CompileScript(text)) << text;
    ASSERT_TRUE(script.RunScript()) << text;
    for (TMvActionList* list : set_->ActionLists()) list->SetPascalScript(nullptr);
    for (const char* name : names) EXPECT_EQ(window_->Action(name)->ValueText(), recorded[name]) << name;
    EXPECT_EQ(p.edTemplateRenommer->text().toStdString(), "l'été %N");
    EXPECT_EQ(p.seNumberDigits->value(), 4);
    EXPECT_EQ(p.rgStandardDV->checkedId(), 1);
    EXPECT_EQ(p.cbExcelFormat->currentIndex(), 0);
    EXPECT_EQ(p.edIntervalle->text().toStdString(), "42");
    EXPECT_TRUE(p.cbDatecodeavant->isChecked());
}

}  // namespace
}  // namespace velinor
