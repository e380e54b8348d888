// The scene editor in the window, on a real DV clip with a .scn beside it: the editing mode, the
// scene selection narrowing the preview, the picture clicks, cut, merge, save and navigation, the
// titles editor, the save questions, and the saved file read back by velinor-cli.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QToolButton>
#include <filesystem>

#include <gtest/gtest.h>

#include "commands/scene_editor.h"
#include "commands/viewdm.h"
#include "filelist/avi_fichier.h"
#include "scenes/scn_file.h"
#include "support/temp_dir.h"
#include "ui/list/list_frame.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/scenes/scene_editor_frame.h"
#include "ui/titles/titles_editor_form.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using test::ModalResponder;
using test::WaitFor;

template <class T>
T& As(TUIForm& window, const char* name) {
    auto* typed = dynamic_cast<T*>(window.Action(name));
    if (!typed) throw std::runtime_error(std::string("pas d'action ") + name);
    return *typed;
}

void Key(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(&widget, &release);
}

void Mouse(QWidget& widget, QEvent::Type type, QPoint where = {2, 2}) {
    QMouseEvent event(type, QPointF(where), QPointF(widget.mapToGlobal(where)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void Click(QWidget& widget) {
    Mouse(widget, QEvent::MouseButtonPress);
    Mouse(widget, QEvent::MouseButtonRelease);
}

class SceneEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        clip_ = (dir_.path() / "plage.avi").string();
        test::WriteDvClip(clip_, {2011, 7, 14, 9, 30, 0}, 60);
        WriteThreeScenes();
    }
    // Three scenes [0, 20), [20, 40), [40, 60) with titles.
    void WriteThreeScenes() {
        TwriteScene writer(clip_);
        for (uint32_t k = 0; k < 3; ++k) {
            TSceneClass scene(20 * k, 20 * (k + 1));
            scene.Titre = "Titre " + std::to_string(k + 1);
            scene.SousTitre = "Sous-titre " + std::to_string(k + 1);
            ASSERT_TRUE(writer.AddScene(scene)) << writer.error();
        }
        ASSERT_TRUE(writer.Finish()) << writer.error();
        scn_ = ReplaceExtension(clip_, ".scn");
    }

    std::unique_ptr<TUIForm> Open() {
        const PreferencesPaths where = test::ScratchPreferences(dir_.path());
        if (!ui_) ui_ = std::make_unique<QtUiDispatcher>();
        auto set = test::MakeCommandSet(*ui_);
        auto window = std::make_unique<TUIForm>(*set, where, std::vector<std::string>{clip_});
        window->AdoptCommandSet(std::move(set));
        window->ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
        window->resize(1000, 760);
        window->show();
        window->Activate();
        EXPECT_TRUE(WaitFor([&] {
            return !window->List().Busy() && window->List().Count() == 1 && window->Preview().Opened &&
                   window->SceneEditor().List.Count() == 3;
        }));
        return window;
    }
    static void Enter(TUIForm& w) {
        w.Action("caEditerScenes")->Execute();
        QApplication::processEvents();
    }
    static std::string Text(const QLabel& label) { return label.text().toStdString(); }
    static std::vector<std::string> Captions(TUIForm& w) {
        std::vector<std::string> captions;
        QListWidget& list = w.SceneFrame().lbScenes();
        for (int i = 0; i < list.count(); ++i) captions.push_back(list.item(i)->text().toStdString());
        return captions;
    }
    // The scenes of the .scn on disk as velinor-cli lists them: one JSON object a line.
    std::vector<std::string> CliScenes() {
        QProcess cli;
        cli.start(VELINOR_CLI, {"scenes", QString::fromStdString(clip_), "--json"});
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        std::vector<std::string> lines;
        for (const QByteArray& line : cli.readAllStandardOutput().split('\n'))
            if (!line.isEmpty()) lines.push_back(line.toStdString());
        return lines;
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    test::TempDir dir_;
    std::unique_ptr<QtUiDispatcher> ui_;
    std::string clip_;
    std::string scn_;
};

TEST_F(SceneEditorTest, TheEditingModeReplacesTheFileListAndShowsTheFirstScene) {
    auto w = Open();
    Tviewdm& preview = w->Preview();
    EXPECT_EQ(preview.RangeLast, 59);
    Enter(*w);
    TSceneEditorFrame& frame = w->SceneFrame();
    EXPECT_TRUE(w->SceneEditor().IsOpen());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(w->ListeFrame().isVisible());
    EXPECT_TRUE(w->Menus().GroupVisible(ToolGroup::Scene));
    EXPECT_FALSE(w->Menus().GroupVisible(ToolGroup::List));
    EXPECT_TRUE(As<TCheckAction>(*w, "caCTRLShortcuts").Checked());
    EXPECT_EQ(Text(frame.labSelect()), "plage.avi");
    EXPECT_EQ(Captions(*w),
              (std::vector<std::string>{"Scène 1: Titre 1", "Scène 2: Titre 2", "Scène 3: Titre 3"}));
    EXPECT_EQ(frame.lbScenes().currentRow(), 0);
    EXPECT_EQ(preview.RangeFirst, 0);
    EXPECT_EQ(preview.RangeLast, 19);
    EXPECT_EQ(Text(frame.labScene()), "Scène 1");
    EXPECT_EQ(Text(frame.labTimeStamp()), "0:00:00:00");
    EXPECT_EQ(Text(frame.labDuree()), "Durée 00.20");
    EXPECT_TRUE(Has(Text(frame.labDatecode()), "14/07/2011")) << Text(frame.labDatecode());
    EXPECT_EQ(frame.memoTitre().toPlainText().toStdString(), "Titre 1\nSous-titre 1");
    EXPECT_TRUE(frame.image().isVisible());
    EXPECT_EQ(Text(frame.Label1()), "* Editeur de scènes *");

    // Unchanged scenes leave without a question; the file list and the whole range come back.
    Enter(*w);
    EXPECT_FALSE(w->SceneEditor().IsOpen());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(w->ListeFrame().isVisible());
    EXPECT_FALSE(w->Menus().GroupVisible(ToolGroup::Scene));
    EXPECT_TRUE(w->Menus().GroupVisible(ToolGroup::List));
    EXPECT_FALSE(As<TCheckAction>(*w, "caCTRLShortcuts").Checked());
    EXPECT_EQ(preview.RangeFirst, 0);
    EXPECT_EQ(preview.RangeLast, 59);
    EXPECT_TRUE(w->close());
}

TEST_F(SceneEditorTest, EverySelectionKeyAndTheMouseSelectAScene) {
    auto w = Open();
    Enter(*w);
    QListWidget& list = w->SceneFrame().lbScenes();
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        int scene;  // selected afterwards (from 0)
    };
    const Case cases[] = {
        {Qt::Key_Down, Qt::NoModifier, 1},     {Qt::Key_End, Qt::NoModifier, 2},
        {Qt::Key_Up, Qt::NoModifier, 1},       {Qt::Key_Home, Qt::NoModifier, 0},
        {Qt::Key_PageDown, Qt::NoModifier, 2}, {Qt::Key_PageUp, Qt::NoModifier, 0},
        {Qt::Key_Delete, Qt::NoModifier, 0},
    };
    for (const Case& c : cases) {
        Key(list, c.key, c.modifiers);
        EXPECT_EQ(w->SceneEditor().Current(), size_t(c.scene)) << c.key;
        EXPECT_EQ(w->Preview().RangeFirst, 20 * c.scene) << c.key;
        EXPECT_EQ(w->Preview().RangeLast, 20 * c.scene + 19) << c.key;
        EXPECT_EQ(w->Preview().CurrentPosition(), 20 * c.scene) << c.key;
        EXPECT_EQ(Text(w->SceneFrame().labScene()), "Scène " + std::to_string(c.scene + 1)) << c.key;
    }
    // With a modifier held the list moves but no scene is selected.
    Key(list, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w->SceneEditor().Current(), size_t(0));
    EXPECT_EQ(w->Preview().RangeLast, 19);

    // The mouse selects on release.
    list.setCurrentRow(2);
    Mouse(*list.viewport(), QEvent::MouseButtonRelease);
    EXPECT_EQ(w->SceneEditor().Current(), size_t(2));
    EXPECT_EQ(w->Preview().RangeFirst, 40);
    EXPECT_EQ(w->Preview().RangeLast, 59);
    EXPECT_EQ(Text(w->SceneFrame().labTimeStamp()), "0:00:01:15");
    // The preview's steps stay in the scene.
    w->Action("naAvanceFin")->Execute();
    EXPECT_EQ(w->Preview().CurrentPosition(), 59);
    w->Action("naReculeDebut")->Execute();
    EXPECT_EQ(w->Preview().CurrentPosition(), 40);
    EXPECT_TRUE(w->close());
}

TEST_F(SceneEditorTest, ClickingTheVideoTakesTheThumbnailAndClickingThePictureGoesBackToIt) {
    auto w = Open();
    Enter(*w);
    TSceneEditor& editor = w->SceneEditor();
    ASSERT_TRUE(editor.Select(1));
    w->Preview().SeekTo(27);
    const QPixmap before = w->SceneFrame().image().pixmap();
    Click(w->VueFrame().vw());
    ASSERT_NE(editor.Shown(), nullptr);
    EXPECT_EQ(editor.Shown()->ImageOffset, 7u);
    EXPECT_TRUE(editor.List.Modified);
    EXPECT_FALSE(w->SceneFrame().image().pixmap().isNull());
    EXPECT_NE(w->SceneFrame().image().pixmap().cacheKey(), before.cacheKey());

    w->Preview().SeekTo(35);
    Mouse(w->SceneFrame().image(), QEvent::MouseButtonRelease);
    EXPECT_EQ(w->Preview().CurrentPosition(), 27);

    // Outside the editor a click on the video changes no scene.
    editor.List.Modified = false;
    Enter(*w);
    ASSERT_FALSE(editor.IsOpen());
    w->Preview().SeekTo(50);
    Click(w->VueFrame().vw());
    EXPECT_FALSE(editor.List.Modified);
    EXPECT_TRUE(w->close());
}

TEST_F(SceneEditorTest, CutMergeAndSceneNavigationFollowThePreview) {
    auto w = Open();
    TSceneEditor& editor = w->SceneEditor();
    // Outside the editor the navigation moves the preview from scene start to scene start.
    w->Action("naAvanceScene")->Execute();
    EXPECT_EQ(w->Preview().CurrentPosition(), 20);
    w->Action("naAvanceScene")->Execute();
    EXPECT_EQ(w->Preview().CurrentPosition(), 40);
    w->Action("naReculeScene")->Execute();
    EXPECT_EQ(w->Preview().CurrentPosition(), 20);

    Enter(*w);
    ASSERT_TRUE(editor.Select(1));
    w->Preview().SeekTo(30);
    w->Action("saInsererScene")->Execute();
    // The titles name their scene's number, which follows the new cut.
    EXPECT_EQ(Captions(*w), (std::vector<std::string>{"Scène 1: Titre 1", "Scène 2: Titre 2",
                                                      "Scène 3: Titre 3 <<", "Scène 4: Titre 4"}));
    EXPECT_EQ(editor.Current(), size_t(2));
    EXPECT_EQ(w->SceneFrame().lbScenes().currentRow(), 2);
    EXPECT_EQ(w->Preview().RangeFirst, 30);
    EXPECT_EQ(w->Preview().RangeLast, 39);
    EXPECT_EQ(Text(w->SceneFrame().labScene()), "Scène 3");
    EXPECT_TRUE(editor.List.Modified);
    // In the editor the navigation selects the scene it reaches.
    w->Action("naAvanceScene")->Execute();
    EXPECT_EQ(editor.Current(), size_t(3));
    EXPECT_EQ(w->Preview().RangeFirst, 40);
    w->Action("naReculeScene")->Execute();
    EXPECT_EQ(editor.Current(), size_t(2));

    w->Action("saSupprimerScene")->Execute();
    EXPECT_EQ(Captions(*w),
              (std::vector<std::string>{"Scène 1: Titre 1", "Scène 2: Titre 2", "Scène 3: Titre 3"}));
    EXPECT_EQ(editor.Current(), size_t(1));
    EXPECT_EQ(w->Preview().RangeFirst, 20);
    EXPECT_EQ(w->Preview().RangeLast, 39);
    // The first scene has nothing before it.
    ASSERT_TRUE(editor.Select(0));
    w->Action("saSupprimerScene")->Execute();
    EXPECT_EQ(editor.List.Count(), 3u);
    editor.List.Modified = false;
    EXPECT_TRUE(w->close());
}

TEST_F(SceneEditorTest, TheTitlesEditorShowsItsExampleAndAppliesToTheShownSceneOrEveryScene) {
    auto w = Open();
    Enter(*w);
    TSceneEditor& editor = w->SceneEditor();
    ASSERT_TRUE(editor.Select(1));
    // A click on the title box opens the titles editor with the shown scene's texts.
    Mouse(*w->SceneFrame().memoTitre().viewport(), QEvent::MouseButtonRelease);
    TEditerTitresForm& form = w->TitlesForm();
    ASSERT_TRUE(form.isVisible());
    EXPECT_TRUE(As<TCheckAction>(*w, "caEditerTitres").Checked());
    EXPECT_EQ(form.windowTitle().toStdString(), "Editer le titre d'une scène");
    EXPECT_EQ(form.edTitre().text().toStdString(), "Titre %N");
    EXPECT_EQ(form.edSoustitre().text().toStdString(), "Sous-titre %N");
    EXPECT_EQ(form.LabTitres().text().toStdString(), "Titre 2\r\nSous-titre 2");

    form.Button("StudiooBtn").click();
    EXPECT_EQ(form.edTitre().text().toStdString(), "Scène %N: %D");
    EXPECT_EQ(form.edSoustitre().text().toStdString(), "Durée = %U");
    const std::string example = form.LabTitres().text().toStdString();
    EXPECT_EQ(example.rfind("Scène 2: ", 0), 0u) << example;
    EXPECT_TRUE(Has(example, "14/07/2011")) << example;
    EXPECT_TRUE(Has(example, "\r\nDurée = 00.20")) << example;
    // The example follows every change of a template.
    form.edSoustitre().setText("Plage %N de %F");
    EXPECT_TRUE(Has(form.LabTitres().text().toStdString(), "\r\nPlage 2 de plage"))
        << form.LabTitres().text().toStdString();

    form.Button("tbAppliquer").click();
    EXPECT_EQ(Captions(*w)[0], "Scène 1: Titre 1");
    EXPECT_EQ(Captions(*w)[1].rfind("Scène 2: Scène 2: ", 0), 0u) << Captions(*w)[1];
    EXPECT_EQ(Captions(*w)[2], "Scène 3: Titre 3");
    EXPECT_EQ(editor.Shown()->SousTitre, "Plage 2 de plage");
    EXPECT_TRUE(Has(w->SceneFrame().memoTitre().toPlainText().toStdString(), "Plage 2 de plage"));
    EXPECT_TRUE(editor.List.Modified);

    form.Button("tbAppliquerTous").click();
    for (size_t i = 0; i < 3; ++i) {
        const TSceneClass& s = *editor.List.SceneAt(i);
        EXPECT_EQ(s.Titre.rfind("Scène " + std::to_string(i + 1) + ": ", 0), 0u) << s.Titre;
        EXPECT_TRUE(Has(s.Titre, "14/07/2011")) << s.Titre;
        EXPECT_EQ(s.SousTitre, "Plage " + std::to_string(i + 1) + " de plage");
    }
    // The shown scene stays shown, with its range.
    EXPECT_EQ(editor.Current(), size_t(1));
    EXPECT_EQ(w->Preview().RangeFirst, 20);
    EXPECT_EQ(w->Preview().RangeLast, 39);

    // "Vider" empties both templates; the close box only hides the window.
    form.Button("ViderBtn5").click();
    EXPECT_TRUE(form.edTitre().text().isEmpty());
    EXPECT_TRUE(form.edSoustitre().text().isEmpty());
    EXPECT_TRUE(form.close() == false || !form.isVisible());
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(As<TCheckAction>(*w, "caEditerTitres").Checked());
    w->Action("caEditerTitres")->Execute();
    EXPECT_TRUE(form.isVisible());
    form.Button("tbCancel").click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(editor.Titles.ApplyMode, TitlesEditor::kNone);
    editor.List.Modified = false;
    EXPECT_TRUE(w->close());
}

// The question before a scene command: Annuler keeps the editor and runs nothing; Oui saves,
// Non drops the changes, and both close the editor and run the command. After that first answer
// the editor never asks again, and the other commands still ask their own questions.
TEST_F(SceneEditorTest, TheCloseFirstQuestionDecidesWhetherTheSceneCommandRuns) {
    struct Case {
        const char* button;
        bool runs;
        bool saved;
    };
    const Case cases[] = {{"Annuler", false, false}, {"&Oui", true, true}, {"&Non", true, false}};
    for (const Case& c : cases) {
        const std::string exported = ReplaceExtension(clip_, "_scn.txt");
        fs::remove(exported);
        WriteThreeScenes();
        auto w = Open();
        Enter(*w);
        TSceneEditor& editor = w->SceneEditor();
        ASSERT_TRUE(editor.Select(1));
        w->Preview().SeekTo(30);
        w->Action("saInsererScene")->Execute();
        ASSERT_EQ(editor.List.Count(), 4u);

        std::string question;
        {
            ModalResponder responder;
            responder.Then(ModalResponder::Click(c.button, &question));
            w->Action("ccExporterScenesTexte")->Execute();
            EXPECT_TRUE(WaitFor([&] { return responder.Done() && !w->Engine().Running(); })) << c.button;
        }
        EXPECT_EQ(question, TSceneEditor::kCloseFirstQuestion);
        EXPECT_EQ(fs::exists(exported), c.runs) << c.button;
        EXPECT_EQ(editor.IsOpen(), !c.runs) << c.button;
        EXPECT_EQ(As<TCheckAction>(*w, "caEditerScenes").Checked(), !c.runs) << c.button;
        EXPECT_EQ(editor.DiscardScenes(), c.runs) << c.button;
        EXPECT_EQ(CliScenes().size(), c.saved ? 4u : 3u) << c.button;
        if (!c.runs) {
            // Still open with its changes.
            EXPECT_EQ(editor.List.Count(), 4u);
            editor.List.Modified = false;
            EXPECT_TRUE(w->close());
            continue;
        }
        // Leaving the editor with modified scenes, or closing the window, asks nothing now.
        Enter(*w);
        ASSERT_TRUE(editor.Select(0));
        w->Preview().SeekTo(10);
        w->Action("saInsererScene")->Execute();
        ASSERT_TRUE(editor.List.Modified);
        int asked = 0;
        ModalResponder watch;
        watch.Then([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal);
                box && box->text().toStdString().rfind("Voulez-vous enregistrer", 0) == 0) {
                ++asked;
                box->reject();
                return true;
            }
            return false;
        });
        Enter(*w);
        EXPECT_FALSE(editor.IsOpen());
        // The rename commands still ask their own question.
        std::string rename;
        {
            ModalResponder responder;
            responder.Then(ModalResponder::Click("&Non", &rename));
            w->Action("ccAjouterTimecode")->Execute();
            EXPECT_TRUE(WaitFor([&] { return responder.Done() && !w->Engine().Running(); }));
        }
        EXPECT_EQ(rename.rfind("Voulez-vous renommer plage.avi en ", 0), 0u) << rename;
        Enter(*w);
        ASSERT_TRUE(editor.Select(0));
        w->Preview().SeekTo(5);
        w->Action("saInsererScene")->Execute();
        EXPECT_TRUE(w->close());
        EXPECT_EQ(asked, 0);
        w.reset();
        fs::remove(exported);
    }
}

TEST_F(SceneEditorTest, LeavingOrClosingWithModifiedScenesOffersToSaveThem) {
    struct Case {
        const char* button;
        bool closeWindow;
        size_t onDisk;  // scenes in the .scn afterwards
    };
    const Case cases[] = {{"&Oui", false, 4}, {"&Non", false, 3}, {"&Oui", true, 4}, {"&Non", true, 3}};
    for (const Case& c : cases) {
        WriteThreeScenes();
        auto w = Open();
        Enter(*w);
        TSceneEditor& editor = w->SceneEditor();
        ASSERT_TRUE(editor.Select(2));
        w->Preview().SeekTo(50);
        w->Action("saInsererScene")->Execute();
        std::string question;
        ModalResponder responder;
        responder.Then(ModalResponder::Click(c.button, &question));
        if (c.closeWindow) {
            EXPECT_TRUE(w->close());
        } else {
            Enter(*w);
            EXPECT_FALSE(editor.IsOpen());
            // Non reads the scenes again from disk.
            EXPECT_EQ(editor.List.Count(), c.onDisk);
            EXPECT_FALSE(editor.List.Modified);
        }
        EXPECT_TRUE(responder.Done());
        EXPECT_EQ(question, TSceneEditor::SaveQuestion(clip_)) << c.button;
        EXPECT_EQ(question.rfind("Voulez-vous enregistrer les scènes dans le fichier scn associé à ", 0), 0u);
        EXPECT_EQ(CliScenes().size(), c.onDisk) << c.button << c.closeWindow;
        if (!c.closeWindow) {
            EXPECT_TRUE(w->close());
        }
    }
}

TEST_F(SceneEditorTest, AScnSavedAfterEditsIsReadBackByTheCommandLineProgram) {
    auto w = Open();
    Enter(*w);
    TSceneEditor& editor = w->SceneEditor();
    ASSERT_TRUE(editor.Select(0));
    w->Preview().SeekTo(8);
    w->Action("saInsererScene")->Execute();  // [0, 8) [8, 20) [20, 40) [40, 60)
    ASSERT_TRUE(editor.Select(3));
    w->Action("saSupprimerScene")->Execute();  // [0, 8) [8, 20) [20, 60)
    ASSERT_TRUE(editor.Select(2));
    w->Preview().SeekTo(33);
    Click(w->VueFrame().vw());  // thumbnail at 13 frames into the scene
    w->Action("caEditerTitres")->Execute();
    w->TitlesForm().edTitre().setText("Baignade %N");
    w->TitlesForm().edSoustitre().setText("Durée %U");
    w->TitlesForm().Button("tbAppliquer").click();
    w->Action("saEnregistrerScn")->Execute();
    EXPECT_FALSE(editor.List.Modified);

    const std::vector<std::string> scenes = CliScenes();
    ASSERT_EQ(scenes.size(), 3u);
    EXPECT_TRUE(Has(scenes[0], "\"Debut\":0,\"Fin\":8,")) << scenes[0];
    EXPECT_TRUE(Has(scenes[0], "\"Titre\":\"Titre 1\"")) << scenes[0];
    EXPECT_TRUE(Has(scenes[1], "\"Numero\":2,\"Debut\":8,\"Fin\":20,")) << scenes[1];
    EXPECT_TRUE(Has(scenes[1], "\"Titre\":\"Titre 2 <<\"")) << scenes[1];
    EXPECT_TRUE(Has(scenes[2], "\"Numero\":3,\"Debut\":20,\"Fin\":60,")) << scenes[2];
    EXPECT_TRUE(Has(scenes[2], "\"Titre\":\"Baignade 3\",\"SousTitre\":\"Durée 01.15\"")) << scenes[2];
    EXPECT_TRUE(Has(scenes[2], "\"ImageOffset\":13")) << scenes[2];
    EXPECT_TRUE(w->close());
}

// The Ctrl shortcuts follow the editors and pages as they open and close: the last of these
// events decides, so closing one while another stays open gives the plain keys back.
TEST_F(SceneEditorTest, TheLastEditorOpenedOrClosedDecidesTheCtrlShortcuts) {
    auto w = Open();
    auto& ctrl = dynamic_cast<TCheckAction&>(*w->Action("caCTRLShortcuts"));
    const auto set = [&](const char* name, bool on) {
        dynamic_cast<TCheckAction&>(*w->Action(name)).SetChecked(on);
        QApplication::processEvents();
    };
    const struct {
        const char* action;
        bool on;
        bool shortcuts;
    } steps[] = {
        {"caEditerScenes", true, true},  {"caEditerTitres", true, true},    {"caEditerTitres", false, false},
        {"caEditerIncrust", true, true}, {"caEditerIncrust", false, false}, {"caOptions", true, true},
        {"caOptions", false, false},     {"caEditerScenes", false, false},
    };
    ASSERT_FALSE(ctrl.Checked());
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.action) + (step.on ? " on" : " off"));
        set(step.action, step.on);
        EXPECT_EQ(ctrl.Checked(), step.shortcuts);
    }
    EXPECT_TRUE(w->close());
}

}  // namespace
}  // namespace velinor
