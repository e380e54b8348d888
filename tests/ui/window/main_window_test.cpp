#include "ui/window/main_window.h"

#include <gtest/gtest.h>
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "filelist/avi_fichier.h"
#include "media/avi_patch.h"
#include "media/fpsunit.h"
#include "support/temp_dir.h"
#include "ui/decalage/decalage_form.h"
#include "ui/dialogs/codec_dialogs.h"
#include "ui/info/info_panel.h"
#include "ui/list/list_box.h"
#include "ui/list/list_frame.h"
#include "ui/preview/vide_frame.h"
#include "ui/preview/vue_frame.h"
#include "ui/ui_harness.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;

template <class T>
T& As(TCustomAbstractAction* action) {
    auto* typed = dynamic_cast<T*>(action);
    EXPECT_NE(typed, nullptr);
    return *typed;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        fs::create_directories(dir_.path() / "clips");
    }

    PreferencesPaths Paths() const {
        return {dir_.path() / ("config" + session_), dir_.path() / "program",
                (dir_.path() / "program" / "velinor").string()};
    }

    std::unique_ptr<TUIForm> MakeWindow(std::vector<std::string> arguments = {}) {
        // A window owns nothing of the command set: each window here gets a fresh one, as each
        // run of the program does.
        if (!ui_) ui_ = std::make_unique<QtUiDispatcher>();
        auto set = test::MakeCommandSet(*ui_);
        auto window = std::make_unique<TUIForm>(*set, Paths(), std::move(arguments));
        window->AdoptCommandSet(std::move(set));
        window->ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
        return window;
    }

    std::string Clip(const std::string& name, const DatecodeFields& date) {
        const std::string path = (dir_.path() / "clips" / name).string();
        test::WriteDvClip(path, date);
        return path;
    }

    // Shows the window and opens the paths as command-line arguments would.
    std::unique_ptr<TUIForm> OpenWindow(const std::vector<std::string>& paths) {
        auto window = MakeWindow(paths);
        window->show();
        window->Activate();
        EXPECT_TRUE(
            WaitFor([&] { return !window->List().Busy() && window->List().Count() == int(paths.size()); }));
        return window;
    }

    static std::vector<std::string> Names(TUIForm& window) {
        std::vector<std::string> names;
        for (int i = 0; i < window.List().Count(); ++i) names.push_back(window.List().Item(i)->Name);
        return names;
    }
    static std::vector<std::string> Rows(TUIForm& window) {
        std::vector<std::string> rows;
        const QAbstractItemModel* model = window.ListBox().model();
        for (int i = 0; i < model->rowCount(); ++i)
            rows.push_back(model->index(i, 0).data().toString().toStdString());
        return rows;
    }

    test::TempDir dir_;
    std::string session_;  // tests that need several first starts change it
    std::unique_ptr<QtUiDispatcher> ui_;
};

TEST_F(MainWindowTest, PreferencesAreSavedAtCloseAndReadBackAtTheNextStart) {
    {
        auto window = MakeWindow();
        window->show();
        As<TCheckAction>(window->Action("caListeGauche")).SetChecked(false);
        As<TWidestringAction>(window->Action("waSortIndexId")).SetValue("datecode");
        As<TCheckAction>(window->Action("caAdvancedDecalage")).SetChecked(true);
        EXPECT_TRUE(window->close());
        EXPECT_EQ(window->LastSaveError(), "");
    }
    EXPECT_TRUE(fs::exists(dir_.path() / "config" / "Morvane" / "Velinor.conf"));
    {
        auto window = MakeWindow();
        window->ChooseMode = nullptr;  // the store exists: nothing is asked
        window->show();
        EXPECT_FALSE(As<TCheckAction>(window->Action("caListeGauche")).Checked());
        EXPECT_EQ(window->List().SortIndex().Id, "datecode");
        // The time-offset dialog opens in the mode it was left in.
        EXPECT_TRUE(As<TCheckAction>(window->Action("caAdvancedDecalage")).Checked());
        EXPECT_TRUE(window->DecalageForm().cbAvance->isChecked());
        EXPECT_TRUE(window->close());
    }
}

TEST_F(MainWindowTest, ClosingWithoutAChoiceOfStoreKeepsTheWindowOpen) {
    auto window = MakeWindow();
    window->ChooseMode = [](const std::string&) { return std::nullopt; };
    window->show();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(fs::exists(dir_.path() / "config" / "Morvane" / "Velinor.conf"));
    window->ChooseMode = [](const std::string&) { return TSavePreferences::spNone; };
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, CommandLineFilesOpenOnceAndTheFirstBecomesActive) {
    const std::string b = Clip("b.avi", {2010, 6, 7, 8, 9, 10});
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({b, a});
    ASSERT_NE(window->ActiveRecord(), nullptr);
    EXPECT_EQ(window->ActiveRecord()->FileName, a);
    EXPECT_EQ(window->View(), 0);
    EXPECT_EQ(window->SelectLabel().text().toStdString(), "1 fichier sur 2 - Tri alphabétique");
    TBaseFramePanel& panel = window->InfoPanel();
    EXPECT_EQ(panel.Label("LabNom")->text().toStdString(), "a.avi");
    EXPECT_NE(panel.Label("labDatecode")->text().toStdString().find("2007"), std::string::npos);
    EXPECT_EQ(panel.Label("LabTimecode")->text().toStdString(), "00.01.02.03");
    EXPECT_EQ(panel.Label("LabCodec")->text().toStdString(), "dvsd (type 1)");
    EXPECT_EQ(Rows(*window), (std::vector<std::string>{"a.avi", "b.avi"}));

    // Files the user removed stay removed when the window is activated again.
    As<TNopeAction>(window->Action("naVider")).Execute();
    EXPECT_EQ(window->View(), 1);
    EXPECT_EQ(window->ActiveRecord(), nullptr);
    EXPECT_EQ(window->InfoPanel().Label("LabNom")->text().toStdString(), "---");
    window->Activate();
    EXPECT_TRUE(WaitFor([&] { return !window->List().Busy(); }));
    EXPECT_EQ(window->List().Count(), 0);
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, TheSortAndSelectionActionsReorderAndFilterTheList) {
    const std::string c = Clip("c.avi", {1999, 1, 1, 0, 0, 0});
    const std::string a = Clip("a.avi", {2012, 1, 1, 0, 0, 0});
    const std::string b = Clip("b.avi", {2005, 1, 1, 0, 0, 0});
    auto window = OpenWindow({c, a, b});
    struct SortCase {
        const char* action;
        std::vector<std::string> order;
        const char* label;
    };
    const SortCase sorts[] = {{"naTriDatecode", {"c.avi", "b.avi", "a.avi"}, "tri selon le datecode"},
                              {"naOrdreAlpha", {"a.avi", "b.avi", "c.avi"}, "Tri alphabétique"}};
    for (const SortCase& s : sorts) {
        As<TNopeAction>(window->Action(s.action)).Execute();
        EXPECT_EQ(Names(*window), s.order) << s.action;
        EXPECT_EQ(Rows(*window), s.order) << s.action;
        EXPECT_TRUE(window->SelectLabel().text().endsWith(QString::fromUtf8(s.label))) << s.action;
        // The active file stays the same file whatever the order.
        EXPECT_EQ(window->ActiveRecord()->FileName, a) << s.action;
    }

    const auto selectedRows = [&] { return window->ListBox().selectionModel()->selectedRows().size(); };
    As<TNopeAction>(window->Action("naSelectionnerTout")).Execute();
    EXPECT_EQ(window->List().SelectedCount(), 3);
    EXPECT_EQ(selectedRows(), 3);
    As<TNopeAction>(window->Action("naSelectionnerTout")).Execute();
    EXPECT_EQ(window->List().SelectedCount(), 1);
    EXPECT_EQ(selectedRows(), 1);

    // Removing the selection leaves the files on disk and the others in the list.
    As<TNopeAction>(window->Action("naOterSelection")).Execute();
    EXPECT_EQ(Rows(*window), (std::vector<std::string>{"b.avi", "c.avi"}));
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(window->ActiveRecord()->Name, "b.avi");
    EXPECT_EQ(window->SelectLabel().text().toStdString(), "1 fichier sur 2 - Tri alphabétique");
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ACommandRunFromItsActionShowsItsMessageAndTheGauge) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a});
    struct Seen {
        std::string status;
        StatusKind kind = StatusKind::Ready;
        QColor colour;
        bool gaugeVisible = false;
        int gaugeValue = 0;
        int gaugeMax = 0;
    } seen;
    tCustomCmd essai;
    essai.Name = "Essai";
    essai.Nombre = fnSelect;
    essai.OnExecution = [&](TAbstractListFichier* record, const CmdParams&, TCommandEngine& ce, int) {
        ce.CommandMessage("Traitement de " + record->Name);
        ce.StartProgress(200);
        ce.SetProgress(50);
        ce.InvokeUi([&] {
            seen.status = window->StatusPanel().text().toStdString();
            seen.kind = window->Status();
            seen.colour = window->StatusPanel().palette().color(QPalette::Window);
            QProgressBar* gauge = window->InfoPanel().Gauge1();
            seen.gaugeVisible = gauge->isVisible();
            seen.gaugeValue = gauge->value();
            seen.gaugeMax = gauge->maximum();
        });
        ce.EndProgress();
    };
    window->Actions().Create<TNopeAction>("ccEssai").Category = "multi";
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Essai" ? &essai : nullptr; });
    window->RefreshActions();
    EXPECT_TRUE(window->Action("ccEssai")->Enabled());

    window->Action("ccEssai")->Execute();
    EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && !window->CommandRunning(); }));
    EXPECT_EQ(seen.status, "Traitement de a.avi");
    EXPECT_EQ(seen.kind, StatusKind::Command);
    EXPECT_EQ(seen.colour, QColor(192, 220, 192));
    EXPECT_TRUE(seen.gaugeVisible);
    EXPECT_EQ(seen.gaugeValue, 50);
    EXPECT_EQ(seen.gaugeMax, 200);
    EXPECT_EQ(window->StatusPanel().text().toStdString(), "Prêt");
    EXPECT_EQ(window->Status(), StatusKind::Ready);
    EXPECT_FALSE(window->InfoPanel().Gauge1()->isVisible());
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, EngineErrorsAreShownWithTheLineOfTheirKind) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a});
    const std::pair<TErrorType, std::string> kinds[] = {
        {etNoError, "Échec\n"},
        {etError, "Échec\nLe fichier courant a été interrompu."},
        {etAllError, "Échec\nLa commande va être interrompue."}};
    TErrorType kind = etNoError;
    tCustomCmd fails;
    fails.Name = "Echoue";
    fails.Nombre = fnSelect;
    fails.OnExecution = [&](TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
        ce.CommandError("Échec", kind);
    };
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Echoue" ? &fails : nullptr; });
    for (const auto& [type, text] : kinds) {
        kind = type;
        std::string shown;
        test::ModalResponder responder;
        responder.Then(test::ModalResponder::Click("OK", &shown));
        ASSERT_TRUE(window->RunCommand("Echoue"));
        EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && responder.Done(); }));
        EXPECT_EQ(shown, text) << int(type);
    }
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ARenameConfirmationIsAnsweredInTheBox) {
    struct Case {
        const char* button;
        bool renamed;
    };
    const Case cases[] = {{"&Oui", true}, {"&Non", false}, {"Annuler", false}};
    int n = 0;
    for (const Case& c : cases) {
        session_ = std::to_string(n);
        const std::string path = Clip("t" + std::to_string(n++) + ".avi", {2007, 3, 4, 10, 11, 12});
        auto window = OpenWindow({path});
        std::string question;
        test::ModalResponder responder;
        responder.Then(test::ModalResponder::Click(c.button, &question));
        window->Action("ccAjouterTimecode")->Execute();
        EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && responder.Done(); })) << c.button;
        EXPECT_EQ(question.rfind("Voulez-vous renommer " + fs::path(path).filename().string() + " en ", 0),
                  0u)
            << question;
        EXPECT_EQ(fs::exists(path), !c.renamed) << c.button;
        ASSERT_EQ(window->List().Count(), 1);
        EXPECT_EQ(window->List().Item(0)->FileName == path, !c.renamed) << c.button;
        EXPECT_TRUE(fs::exists(window->List().Item(0)->FileName));
        EXPECT_TRUE(window->close());
    }
}

TEST_F(MainWindowTest, TheCodecDialogPrecedesThePatchCommand) {
    const std::string path = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({path});
    test::ModalResponder responder;
    bool preselected = false;
    responder.Then([&](QWidget* modal) {
        auto* form = dynamic_cast<TCodecForm*>(modal);
        if (!form) return false;
        preselected = form->Choice() == 0;  // the file says "dvsd"
        form->SetChoice(2);
        form->findChild<QPushButton*>("OK")->click();
        return true;
    });
    responder.Then(test::ModalResponder::Click("&Oui"));
    window->Action("ccModifierCodec")->Execute();
    EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && responder.Done(); }));
    EXPECT_TRUE(preselected);
    EXPECT_EQ(ReadVideoHandler(path), FourCCFromText("CDVC"));
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ClosingDuringACommandStopsItAndStillSaves) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a});
    std::atomic<bool> started = false;
    std::atomic<bool> stopped = false;
    tCustomCmd endless;
    endless.Name = "SansFin";
    endless.Nombre = fnSelect;
    endless.OnExecution = [&](TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
        started = true;
        while (!ce.StopRequested()) ce.WaitSignal(1000);
        stopped = true;
    };
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "SansFin" ? &endless : nullptr; });
    ASSERT_TRUE(window->RunCommand("SansFin"));
    EXPECT_TRUE(WaitFor([&] { return started.load(); }));
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(window->Engine().Running());
    EXPECT_TRUE(fs::exists(dir_.path() / "config" / "Morvane" / "Velinor.conf"));
}

TEST_F(MainWindowTest, InterruptingSkipsTheCurrentFileOrStopsTheWholeCommand) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    const std::string b = Clip("b.avi", {2008, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a, b});
    std::atomic<int> started = 0;
    std::atomic<int> finished = 0;
    tCustomCmd waits;
    waits.Name = "Attend";
    waits.Nombre = fnSelect;
    waits.OnExecution = [&](TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
        ++started;
        while (!ce.StopRequested() && !ce.Interrupted()) ce.WaitSignal(1000);
        ++finished;
    };
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Attend" ? &waits : nullptr; });
    As<TNopeAction>(window->Action("naSelectionnerTout")).Execute();
    ASSERT_TRUE(window->RunCommand("Attend"));
    EXPECT_TRUE(WaitFor([&] { return started == 1; }));
    // Shift+Escape: the first file ends, the second one starts.
    window->Action("naInterrompre")->Execute();
    EXPECT_TRUE(WaitFor([&] { return started == 2; }));
    EXPECT_EQ(finished, 1);
    // Escape: the whole command ends.
    window->Action("naInterrompreTous")->Execute();
    EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && !window->CommandRunning(); }));
    EXPECT_EQ(started, 2);
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(window->Status(), StatusKind::Ready);
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, APlaylistSavedFromItsActionOpensAgainAsTheSameList) {
    const std::string c = Clip("c.avi", {1999, 1, 1, 0, 0, 0});
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    const std::string b = Clip("b.avi", {2003, 5, 6, 7, 8, 9});
    auto window = OpenWindow({c, a, b});
    As<TWidestringAction>(window->Action("waSortIndexId")).SetValue("datecode");
    const std::vector<std::string> saved = Names(*window);
    ASSERT_EQ(saved, (std::vector<std::string>{"c.avi", "b.avi", "a.avi"}));

    TListFichierMan& ficman = window->ListManager();
    std::vector<std::string> titles, errors;
    std::optional<std::string> answer;
    ficman.Dialogs.SaveFile = [&](const std::string& title, const std::string&) {
        titles.push_back(title);
        return answer;
    };
    ficman.Dialogs.OpenFile = ficman.Dialogs.SaveFile;
    ficman.OnError = [&](const std::string& message) { errors.push_back(message); };

    // A cancelled dialog writes nothing; a folder that does not exist is reported, not written.
    const fs::path list = dir_.path() / "ma liste";
    window->Action("waSavePlayList")->Execute();
    answer = (dir_.path() / "absent" / "liste").string();
    window->Action("waSavePlayList")->Execute();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_FALSE(fs::exists(dir_.path() / "absent"));

    answer = list.string();  // the playlist gets the ".txt" extension
    window->Action("waSavePlayList")->Execute();
    ASSERT_TRUE(fs::exists(list.string() + ".txt"));
    EXPECT_EQ(errors.size(), 1u);

    window->Action("naVider")->Execute();
    ASSERT_EQ(window->List().Count(), 0);
    answer = list.string() + ".txt";
    window->Action("waOpenPlayList")->Execute();
    EXPECT_TRUE(WaitFor([&] { return !window->List().Busy() && window->List().Count() == 3; }));
    EXPECT_EQ(Names(*window), saved);
    EXPECT_EQ(As<TWidestringAction>(window->Action("waOpenPlayList")).CurrentValue(), list.string() + ".txt");
    EXPECT_EQ(titles,
              (std::vector<std::string>{"Sauver la playlist sous...", "Sauver la playlist sous...",
                                        "Sauver la playlist sous...", "Sélectionnez la playlist à ouvrir"}));
    EXPECT_TRUE(window->close());
}

// The menu's export actions are the exports' own: the columns chosen in the column box and the
// file chosen in the save dialog make the document, in list order.
TEST_F(MainWindowTest, TheListIsExportedFromTheMenuWithTheChosenColumns) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    const std::string b = Clip("b.avi", {2003, 5, 6, 7, 8, 9});
    auto window = OpenWindow({a, b});
    EXPECT_EQ(window->Action("waExportCSV"), &window->ListExports().waExportCSV);
    EXPECT_EQ(window->Action("naSelectColumns")->Caption(), "Sélectionner Colonnes");

    std::vector<std::string> offered;
    window->ChooseColumns = [&](const std::vector<std::string>& available, const std::vector<std::string>&) {
        offered = available;
        return std::optional<std::vector<std::string>>({"ShortName", "Duration"});
    };
    window->Action("naSelectColumns")->Execute();
    EXPECT_GT(offered.size(), 10u);
    EXPECT_EQ(window->ListExports().saSelected.CurrentValue(),
              (std::vector<std::string>{"ShortName", "Duration"}));

    const fs::path out = dir_.path() / "liste.csv";
    std::optional<std::string> answer;
    std::vector<std::string> errors;
    window->ListExports().SaveDialog = [&](const std::string&, const std::string&, const std::string&,
                                           const std::string&) { return answer; };
    window->ListExports().OnError = [&](const std::string& message) { errors.push_back(message); };
    window->ListExports().ShowExported = nullptr;
    window->Action("waExportCSV")->Execute();  // cancelled: nothing written
    EXPECT_FALSE(fs::exists(out));
    answer = out.string();
    window->Action("waExportCSV")->Execute();
    ASSERT_TRUE(fs::exists(out)) << (errors.empty() ? "" : errors.front());
    std::ifstream in(out);
    std::string header, first, second;
    std::getline(in, header);
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_NE(header.find("Duration"), std::string::npos) << header;
    EXPECT_EQ(header.find("FileName"), std::string::npos) << header;
    EXPECT_TRUE(first.starts_with("a,")) << first;  // the short name has no extension
    EXPECT_TRUE(second.starts_with("b,")) << second;
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(window->StatusPanel().text().toStdString(), "Prêt");

    std::string shown;
    window->ShowInformation = [&](const std::string& text) { shown = text; };
    window->Action("naDureeTotale")->Execute();
    EXPECT_TRUE(shown.starts_with("Durée des vidéos sélectionnées  = ")) << shown;
    EXPECT_NE(shown.find("\r\nDurée totale des vidéos listées = "), std::string::npos) << shown;
    EXPECT_TRUE(window->close());
}

// The preview holds the active file, so the scene commands find each scene's datecode and
// picture in it; with no active file it holds nothing.
TEST_F(MainWindowTest, ThePreviewFollowsTheActiveFileForTheSceneDetails) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    const std::string b = Clip("b.avi", {2003, 5, 6, 7, 8, 9});
    auto window = OpenWindow({a, b});
    const auto yearAt0 = [&] {
        const auto values = window->SceneDetails().seekFrame(0);
        return values && values->datecodeValid ? DecodeDatecode(values->datecode).Year : 0;
    };
    window->List().SetActiveIndex(window->List().IndexOfPath(a));
    EXPECT_EQ(yearAt0(), 2007);
    EXPECT_GT(window->SceneDetails().snapshot().width, 0);
    window->List().SetActiveIndex(window->List().IndexOfPath(b));
    EXPECT_EQ(yearAt0(), 2003);
    window->Action("naVider")->Execute();
    EXPECT_EQ(yearAt0(), 0);
    EXPECT_EQ(window->SceneDetails().snapshot().width, 0);
    EXPECT_TRUE(window->close());
}

// The catalogue's settings reach the command modules at every change.
TEST_F(MainWindowTest, TheCatalogueSettingsReachTheCommandModules) {
    auto window = MakeWindow();
    TdmAction& dm_ = window->CommandSet().Dm;
    As<TWidestringAction>(window->Action("waDossierSave")).SetValue("/films/sortie");
    EXPECT_EQ(dm_.Settings.DossierSave, "/films/sortie");
    As<TCheckAction>(window->Action("caSameFolder")).SetChecked(false);
    EXPECT_FALSE(dm_.Settings.SameFolder);
    As<TCheckAction>(window->Action("caSameFolder")).SetChecked(true);
    EXPECT_TRUE(dm_.Settings.SameFolder);
    As<TWidestringAction>(window->Action("waTemplateRenommer")).SetValue("%D_%N");
    EXPECT_EQ(dm_.Settings.TemplateRenommer, "%D_%N");
}

TEST_F(MainWindowTest, TheListAndItsActiveFileAreKeptFromOneRunToTheNext) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    const std::string b = Clip("b.avi", {2003, 5, 6, 7, 8, 9});
    const std::string c = Clip("c.avi", {1999, 1, 1, 0, 0, 0});
    {
        auto window = OpenWindow({a, b, c});
        TFichierListModel& list = window->List();
        const int at = list.IndexOfPath(b);
        list.SelectAllFichiers(false);
        list.SetSelected(at, true);
        list.SetActiveIndex(at);
        EXPECT_TRUE(window->close());
    }
    fs::remove(c);  // a file gone since is simply not reopened
    {
        auto window = MakeWindow();
        window->show();
        window->Activate();
        EXPECT_TRUE(WaitFor([&] { return !window->List().Busy() && window->List().Count() == 2; }));
        EXPECT_EQ(Names(*window), (std::vector<std::string>{"a.avi", "b.avi"}));
        ASSERT_NE(window->ActiveRecord(), nullptr);
        EXPECT_EQ(window->ActiveRecord()->FileName, b);
        // Without the option the next run starts empty.
        As<TBooleanAction>(window->Action("baOpenlastFiles")).SetValue(false);
        EXPECT_TRUE(window->close());
    }
    {
        auto window = MakeWindow();
        window->show();
        window->Activate();
        EXPECT_TRUE(WaitFor([&] { return !window->List().Busy(); }));
        EXPECT_EQ(window->List().Count(), 0);
        EXPECT_TRUE(window->close());
    }
}

TEST_F(MainWindowTest, FilesAndFoldersDroppedOnTheListOrTheWindowAreOpened) {
    const fs::path drop = dir_.path() / "drop";
    fs::create_directories(drop / "sous-dossier");
    test::WriteDvClip((drop / "x.avi").string(), {2001, 1, 1, 0, 0, 0});
    test::WriteDvClip((drop / "sous-dossier" / "z.avi").string(), {2002, 1, 1, 0, 0, 0});
    std::ofstream(drop / "notes.txt.bak") << "pas une vidéo";
    const std::string single = Clip("seul.avi", {2003, 1, 1, 0, 0, 0});

    struct Case {
        bool ontoList;
        std::vector<std::string> urls;
        std::vector<std::string> names;
    };
    const Case cases[] = {{true, {drop.string()}, {"x.avi", "z.avi"}},
                          {false, {single}, {"seul.avi"}},
                          {true, {single, (drop / "x.avi").string()}, {"seul.avi", "x.avi"}}};
    for (const Case& c : cases) {
        session_ = c.names.front();
        auto window = MakeWindow();
        window->show();
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& url : c.urls) urls << QUrl::fromLocalFile(QString::fromStdString(url));
        data.setUrls(urls);
        QWidget* target = c.ontoList ? window->ListBox().viewport() : static_cast<QWidget*>(window.get());
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // The drag enters first, as the platform delivers it.
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        EXPECT_TRUE(event.isAccepted());
        EXPECT_TRUE(WaitFor([&] { return !window->List().Busy(); }));
        EXPECT_EQ(Names(*window), c.names);
        // The first file became the active one.
        ASSERT_NE(window->ActiveRecord(), nullptr);
        EXPECT_EQ(window->ActiveRecord()->Name, c.names.front());
        EXPECT_TRUE(window->close());
    }
}

TEST_F(MainWindowTest, TheSelectedFilesAreDraggedOutAsFileUrlsInListOrder) {
    const std::string b = Clip("b.avi", {2010, 1, 1, 0, 0, 0});
    const std::string a = Clip("a.avi", {2011, 1, 1, 0, 0, 0});
    const std::string c = Clip("c.avi", {2012, 1, 1, 0, 0, 0});
    auto window = OpenWindow({b, a, c});
    QAbstractItemModel* model = window->ListBox().model();
    window->List().SetSelected(0, false);
    EXPECT_EQ(model->mimeData({}), nullptr);  // nothing selected, nothing offered
    window->List().SetSelected(2, true);
    window->List().SetSelected(0, true);
    std::unique_ptr<QMimeData> data(model->mimeData({model->index(2, 0)}));
    ASSERT_NE(data, nullptr);
    QStringList paths;
    for (const QUrl& url : data->urls()) paths << url.toLocalFile();
    EXPECT_EQ(paths, (QStringList{QString::fromStdString(a), QString::fromStdString(c)}));
    EXPECT_TRUE(window->close());
}

// Right-clicks a widget, as the user would, and answers the menu that popped up (closed again).
QMenu* MenuOnRightClick(QWidget& widget) {
    const QPoint at(4, 4);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget.mapToGlobal(at));
    QApplication::sendEvent(&widget, &event);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu) menu->close();
    return menu;
}

TEST_F(MainWindowTest, EachPlaceOpensItsContextMenu) {
    auto window = MakeWindow();
    window->show();
    // The empty-list page first, then the places of a list with files.
    EXPECT_EQ(MenuOnRightClick(window->VideFrame()), window->Menus().mainPopup);
    window->close();
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    window = OpenWindow({a});
    const struct {
        const char* place;
        QWidget* widget;
        QMenu* menu;
    } places[] = {
        {"list", window->ListBox().viewport(), window->Menus().mainPopup},
        {"count label", &window->SelectLabel(), window->Menus().mainPopup},
        {"status bar", window->statusBar(), window->Menus().mainPopup},
        {"preview", &window->VueFrame(), window->Menus().pmWindow},
        {"info panel", window->InfoPanel().Label("labDatecode"), window->InfoPanel().CopierMenu()},
    };
    for (const auto& p : places) {
        ASSERT_NE(p.menu, nullptr) << p.place;
        EXPECT_EQ(MenuOnRightClick(*p.widget), p.menu) << p.place;
    }
    // With an active file every copy entry is on.
    int entries = 0;
    for (QAction* entry : window->InfoPanel().CopierMenu()->actions())
        if (!entry->isSeparator()) {
            ++entries;
            EXPECT_TRUE(entry->isEnabled()) << entry->text().toStdString();
        }
    EXPECT_EQ(entries, 11);
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, ListLabelAndActionsAgreeAfterACancelledCommand) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    const std::string b = Clip("b.avi", {2008, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a, b});
    tCustomCmd asks;
    asks.Name = "Demande";
    asks.Nombre = fnSelect;
    asks.OnFileVerification = [](TAbstractListFichier*, const CmdParams&, TCommandEngine&, int) {
        return false;
    };
    asks.OnFileConFirmation = [](TAbstractListFichier*, const CmdParams&, TCommandEngine&, int) {
        return std::string("Voulez-vous remplacer le fichier ?");
    };
    asks.OnExecution = [](TAbstractListFichier*, const CmdParams&, TCommandEngine&, int) {};
    window->Actions().Create<TNopeAction>("ccDemande").Category = "multi";
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Demande" ? &asks : nullptr; });
    As<TNopeAction>(window->Action("naSelectionnerTout")).Execute();
    window->RefreshActions();
    ASSERT_TRUE(window->Action("ccDemande")->Enabled());

    test::ModalResponder responder;
    responder.Then(test::ModalResponder::Click("Annuler"));
    window->Action("ccDemande")->Execute();
    EXPECT_TRUE(WaitFor(
        [&] { return !window->Engine().Running() && !window->CommandRunning() && responder.Done(); }));
    const int selected = window->List().SelectedCount();
    EXPECT_EQ(window->ListBox().selectionModel()->selectedRows().size(), selected);
    EXPECT_EQ(window->SelectLabel().text().toStdString(), SelectionCountText(selected, 2, kSortAlpha));
    EXPECT_EQ(window->Action("ccDemande")->Enabled(), selected > 0);
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, TheReducedViewNarrowsTheWindowToTheSideColumn) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a});
    ASSERT_EQ(window->width(), 962);
    As<TCheckAction>(window->Action("caVueReduite")).SetChecked(true);
    EXPECT_EQ(window->View(), 3);
    EXPECT_EQ(window->width(), 296);
    EXPECT_EQ(window->centralWidget()->width(), 296);
    As<TCheckAction>(window->Action("caVueReduite")).SetChecked(false);
    EXPECT_EQ(window->View(), 0);
    EXPECT_EQ(window->width(), 962);
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, AnEmptyListHidesTheListAndVideoButtons) {
    auto window = MakeWindow();
    window->show();
    const auto shown = [&](const char* button) {
        for (QAction* a : window->Menus().MainBar->actions())
            if (a->objectName() == button) return a->isVisible();
        ADD_FAILURE() << "no button " << button;
        return false;
    };
    const char* const grouped[] = {
        "tbClearAll", "tbParentFolder", "tbSavePlaylist", "tbSelectionnerTout", "tbMute", "sep2", "sep4"};
    for (const char* button : grouped) EXPECT_FALSE(shown(button)) << button;
    EXPECT_TRUE(shown("tbOpenFiles"));
    window->close();
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    window = OpenWindow({a});
    for (const char* button : {"tbClearAll", "tbParentFolder", "tbSavePlaylist"})
        EXPECT_TRUE(shown(button)) << button;
    As<TNopeAction>(window->Action("naVider")).Execute();
    for (const char* button : {"tbClearAll", "tbParentFolder", "tbSavePlaylist"})
        EXPECT_FALSE(shown(button)) << button;
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, TheCaptionAndTheErrorBoxCarryTheirOwnTitles) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a});
    EXPECT_EQ(window->windowTitle().toStdString(), "Velinor 1.0.0 fr de Morvane");
    tCustomCmd fails;
    fails.Name = "Echoue";
    fails.Nombre = fnSelect;
    fails.OnExecution = [](TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
        ce.CommandError("Échec", etNoError);
    };
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Echoue" ? &fails : nullptr; });
    std::string title;
    test::ModalResponder responder;
    responder.Then([&](QWidget* modal) {
        title = modal->windowTitle().toStdString();
        return test::ModalResponder::Click("OK")(modal);
    });
    ASSERT_TRUE(window->RunCommand("Echoue"));
    EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && responder.Done(); }));
    EXPECT_EQ(title, "Erreur");
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, CheckingOnePageUnchecksTheOthersAndNoneOpensAtStart) {
    {
        auto window = MakeWindow();
        window->show();
        const char* const pages[] = {"caOptions", "caAbout", "caCustom", "caOptions"};
        for (const char* page : pages) {
            window->Binder().Find(std::string_view(page))->trigger();  // its key, F10, F11 or Alt+F10
            for (const char* other : {"caOptions", "caAbout", "caCustom"}) {
                EXPECT_EQ(window->Action(other)->Checked(), std::string(other) == page)
                    << page << " " << other;
                EXPECT_EQ(window->Binder().Find(std::string_view(other))->isChecked(),
                          std::string(other) == page);
            }
        }
        As<TCheckAction>(window->Action("caHelp")).SetChecked(true);
        EXPECT_TRUE(window->close());
    }
    auto window = MakeWindow();
    window->show();
    // Saved checked, but no help window is shown at start: the toggle says so.
    EXPECT_FALSE(window->Action("caHelp")->Checked());
    EXPECT_FALSE(window->Binder().Find(std::string_view("caHelp"))->isChecked());
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, AStatusUpdateRunsNoOtherEvent) {
    auto window = MakeWindow();
    window->show();
    bool ran = false;
    QMetaObject::invokeMethod(
        qApp, [&] { ran = true; }, Qt::QueuedConnection);
    window->ListExports().OnStatus("Export en cours", true);
    EXPECT_FALSE(ran);
    EXPECT_EQ(window->StatusPanel().text().toStdString(), "Export en cours");
    EXPECT_EQ(window->Status(), StatusKind::Command);
    EXPECT_TRUE(WaitFor([&] { return ran; }));
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, APartialFileStaysToldInTheStatusLineAfterTheCommand) {
    const std::string a = Clip("a.avi", {2007, 3, 4, 10, 11, 12});
    auto window = OpenWindow({a});
    const std::string notice =
        "Conversion interrompue : a_type1.avi est un fichier partiel, il contient 1s 000ms "
        "des 4s 000ms de la source (25 %).";
    tCustomCmd stops;
    stops.Name = "Partiel";
    stops.Nombre = fnSelect;
    stops.OnExecution = [&](TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
        ce.CommandMessage("Conversion de a.avi");
        ce.CommandNotice(notice);
    };
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Partiel" ? &stops : nullptr; });
    ASSERT_TRUE(window->RunCommand("Partiel"));
    EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && !window->CommandRunning(); }));
    EXPECT_EQ(window->StatusPanel().text().toStdString(), notice);
    // The next command replaces it.
    tCustomCmd quiet;
    quiet.Name = "Calme";
    quiet.Nombre = fnSelect;
    quiet.OnExecution = [](TAbstractListFichier*, const CmdParams&, TCommandEngine&, int) {};
    window->CommandSet().AddCommandGroup(
        [&](const std::string& name) { return name == "Calme" ? &quiet : nullptr; });
    As<TNopeAction>(window->Action("naSelectionnerTout")).Execute();
    ASSERT_TRUE(window->RunCommand("Calme"));
    EXPECT_TRUE(WaitFor([&] { return !window->Engine().Running() && !window->CommandRunning(); }));
    EXPECT_EQ(window->StatusPanel().text().toStdString(), "Prêt");
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowTest, TheCopyMenuPutsEachTextOnTheClipboardAndTheNameOpensTheFolder) {
    const std::string clip = Clip("Vacances Été.avi", {2011, 7, 14, 9, 30, 0});
    auto w = OpenWindow({clip});
    auto* record = const_cast<TaviFichier*>(w->ActiveRecord());
    ASSERT_NE(record, nullptr);
    record->SizeHigh = 1;  // 5 000 000 000 bytes
    record->SizeLow = 705'032'704;
    w->InfoPanel().ShowFile(record);
    // The two audio lines, as the panel shows them.
    const std::string audio = w->InfoPanel().Label("LabAudio1")->text().toStdString() + "\r" +
                              w->InfoPanel().Label("LabAudio2")->text().toStdString();
    std::vector<std::string> copied;
    for (QAction* entry : w->InfoPanel().CopierMenu()->actions()) {
        if (entry->isSeparator()) continue;
        ASSERT_TRUE(entry->isEnabled()) << entry->text().toStdString();
        QGuiApplication::clipboard()->clear();
        entry->trigger();
        copied.push_back(QGuiApplication::clipboard()->text().toStdString());
    }
    ASSERT_EQ(copied.size(), 11u);
    EXPECT_EQ(copied[0], w->InfoPanel().Label("labDatecode")->text().toStdString());
    EXPECT_NE(copied[0].find("14/07/2011"), std::string::npos) << copied[0];
    EXPECT_EQ(copied[5], "25");
    EXPECT_EQ(copied[6], audio);
    EXPECT_EQ(copied[7], LowerCase(clip));
    EXPECT_EQ(copied[8], "vacances été.avi");
    EXPECT_EQ(copied[9].substr(0, 1), " ") << copied[9];  // the default display pattern starts with a blank
    EXPECT_EQ(copied[10], "5\u00A0000\u00A0000\u00A0000");

    int opened = 0;
    w->InfoPanel().OnNameClicked = [&] { ++opened; };
    QLabel* name = w->InfoPanel().Label("LabNom");
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), name->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(name, &release);
    EXPECT_EQ(opened, 1);

    // Without an active file the entries are off.
    w->InfoPanel().ClearFile();
    for (QAction* entry : w->InfoPanel().CopierMenu()->actions()) {
        if (entry->isSeparator()) continue;
        EXPECT_FALSE(entry->isEnabled()) << entry->text().toStdString();
    }
    EXPECT_TRUE(w->close());
}

}  // namespace
}  // namespace velinor
