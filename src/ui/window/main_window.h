#pragma once
// The main window `TUIForm`: composes the areas (the list side, the info panel, the preview
// place, the empty-list page, the menus and toolbar, the status line, the dialogs), owns the
// window's actions, the preferences and the command engine, and wires the list's and the
// engine's events to the areas. Its methods are split by idea over the files of this folder:
// composition and life (main_window.cpp), list and engine events (main_window_events.cpp),
// action effects (main_window_actions.cpp) and views (main_window_views.cpp). GUI thread only.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions/actions_list.h"
#include "actions/main_catalogue.h"
#include "actions/preferences_morvane.h"
#include "commands/catalogue.h"
#include "commands/command.h"
#include "commands/command_set.h"
#include "commands/list_export_actions.h"
#include "commands/preview_texts.h"
#include "commands/viewdm.h"
#include "commands/viewdm_scene_source.h"
#include "commands/window_texts.h"
#include "filelist/fichier_list.h"
#include "filelist/list_fichier_man.h"
#include "filelist/list_model.h"
#include "ui/binding/action_binding.h"
#include "ui/binding/main_menus.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/preview/preview_handlers.h"

class QLabel;
class QTimer;

namespace velinor {

class TBaseFramePanel;
class TFichierListbox2;
class TListeFrame;
class TStatusLine;
class TCodecForm;
class TEditIncrustForm;
class TFrequenceForm;
class TDecalageForm;
class TIntroduireForm;
class TIntervalleForm;
class TaviFichier;
class TQtAudioOutput;
class TVideFrame;
class TVidePanel;
class TVueFrame;
class TSceneEditor;
class TSceneEditorFrame;
class TEditerTitresForm;
class TMvAppliMan;
class TOptionsFrame;

class TUIForm final : public QMainWindow, private TConfirmer {
public:
    // `set` is the command set (list, engine, modules and catalogue), created before the window
    // on the window's thread; the window adds its widgets' effects to it. `arguments` are the
    // command-line paths, opened at the first activation.
    TUIForm(TCommandSet& set, PreferencesPaths paths, std::vector<std::string> arguments,
            QWidget* parent = nullptr);
    ~TUIForm() override;

    // The full title, "Velinor 1.0.0 fr"; the caption adds " de Morvane".
    static std::string FullTitle();

    // Every activation of the window; the command-line paths are opened at the first only.
    void Activate();
    // Views 0 (normal), 1 (empty list), 2 (video only), 3 (reduced); any other value does nothing.
    void SetView(int view);
    int View() const { return view_; }
    // Runs the command of this name (any case) from the command groups; false when none
    // has this name or it did not start.
    bool RunCommand(const std::string& name, const CmdParams& params = {});
    void RefreshActiveFile();
    void RefreshActions();

    // Asks where to keep the preferences when no store is chosen yet; the default shows the
    // choice box. Tests answer it directly.
    std::function<std::optional<TSavePreferences>(const std::string& caption)> ChooseMode;
    // Asks which export columns, in which order, from the available ones; nothing when
    // cancelled. The default shows the column box.
    std::function<std::optional<std::vector<std::string>>(const std::vector<std::string>& available,
                                                          const std::vector<std::string>& selected)>
        ChooseColumns;
    // Shows an information box with an OK button; tests read it directly.
    std::function<void(const std::string& text)> ShowInformation;

    // The window's catalogue list `al`; the application manager's is Catalogue().am and the list
    // manager's ListManagerActions(); the commands the catalogue does not present have theirs in
    // CommandActions().
    TMvActionList& Actions() { return catalogue_.al; }
    TMainCatalogue& Catalogue() { return catalogue_; }
    TMvActionList& ListManagerActions() { return ficman_.Actions; }
    // Its dialogs and error report are the window's; tests may answer them in their place.
    TListFichierMan& ListManager() { return ficman_; }
    // The exports of the list, driving the catalogue's export actions; their dialogs are the
    // window's, and tests may answer them in their place.
    TListExportActions& ListExports() { return *exports_; }
    // The preview of the active file; the scene commands take each scene's texts and thumbnail
    // from it.
    Tviewdm& Preview() { return *preview_; }
    TPreviewHandlers& PreviewHandlers() { return *previewHandlers_; }
    SceneDetailsSource& SceneDetails() { return *details_; }
    TMvActionList& CommandActions() { return commandActions_; }
    TCommandSet& CommandSet() { return set_; }
    // Makes the window the owner of its command set, which then goes with it (the tests open
    // several windows in turn, each on a set of its own).
    void AdoptCommandSet(std::unique_ptr<TCommandSet> set) { ownedSet_ = std::move(set); }
    ActionBinder& Binder() { return binder_; }
    MainMenus& Menus() { return menus_; }
    // The action of this name in any of the window's lists, or null.
    TCustomAbstractAction* Action(const std::string& name) const;
    TFichierListModel& List() { return lf_; }
    TCommandEngine& Engine() { return ce_; }
    TMorvanePreferences& Preferences() { return gp_; }

    // The areas.
    TListeFrame& ListeFrame() { return *lframe_; }
    TFichierListbox2& ListBox();
    TBaseFramePanel& InfoPanel() { return *baseFrame_; }
    TVueFrame& VueFrame() { return *vueFrame_; }
    TVidePanel& VidePanel() { return *videPanel_; }
    TVideFrame& VideFrame();
    // The scene editor: its core, its frames in the side column and the titles editor.
    TSceneEditor& SceneEditor() { return *sceneEditor_; }
    TSceneEditorFrame& SceneFrame() { return *sceneFrame_; }
    TEditerTitresForm& TitlesForm() { return *titlesForm_; }
    TCodecForm& CodecForm() { return *codecForm_; }
    TFrequenceForm& FrequenceForm() { return *frequenceForm_; }
    TEditIncrustForm& EditIncrustForm() { return *editIncrust_; }
    TDecalageForm& DecalageForm() { return *decalageForm_; }
    TIntroduireForm& IntroduireForm() { return *introduireForm_; }
    TIntervalleForm& IntervalleForm() { return *intervalleForm_; }
    // The application manager: the options, about and custom pages, the help and script windows.
    TMvAppliMan& AppliMan() { return *am_; }
    // The options page, over the client area while caOptions is checked.
    TOptionsFrame& OptionsFrame() { return *optionsFrame_; }
    // The datecode display shift in days: the preview, the active record and labDecalage.
    void ApplyDisplayShift(double days);
    QLabel& StatusPanel();
    QLabel& SelectLabel();
    StatusKind Status() const;
    bool CommandRunning() const { return commandRunning_; }
    const TaviFichier* ActiveRecord() const;
    // The last preferences save at close: error text, empty when it went well.
    const std::string& LastSaveError() const { return lastSaveError_; }

    // A drop anywhere on the window is a drop on the list.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TAnswer Ask(const std::string& question, bool several) override;

    // main_window.cpp: the areas and the core objects put together.
    void buildAreas();
    void composePreview();
    void attachContextMenus();
    void bindPreferences();
    void buildAppliMan();
    tAbstractCmd* findCommand(const std::string& name) const;
    // main_window_events.cpp
    void bindList();
    void bindEngine();
    void showCounts();
    // main_window_actions.cpp
    void bindActions();
    void bindListManager();
    void bindListExports();
    void interruptAll();
    void showError(const std::string& text);
    // main_window_scenes.cpp
    void buildSceneEditor();
    void bindSceneEditor();
    void releaseSceneEditor();
    bool closeSceneEditorFirst();
    void showSceneEditorMode(bool open);
    // main_window_options.cpp
    void buildOptions();
    void releaseOptions();
    void showOptionsExample();
    // main_window_dialogs.cpp
    void buildDialogs();
    void bindDialogs();
    // main_window_views.cpp
    void layoutViews();
    void setViewFromList();
    int currentViewFromChecks() const;
    bool checked(const char* name) const;

    // Declared first so that it goes last, after everything that refers to it.
    std::unique_ptr<TCommandSet> ownedSet_;
    TCommandSet& set_;
    TdmAction& dm_;
    TFichierListModel& lf_;
    TCommandEngine& ce_;
    TMorvanePreferences gp_;
    TMainCatalogue& catalogue_;
    TListFichierMan& ficman_;
    TListExportActions* exports_;
    Tviewdm* preview_;
    TviewdmSceneSource* details_;
    TMvActionList& commandActions_;
    TPreviewMessages previewMessages_;
    ActionBinder binder_;
    MainMenus menus_;
    std::vector<std::string> arguments_;

    TListeFrame* lframe_ = nullptr;
    TBaseFramePanel* baseFrame_ = nullptr;
    QWidget* sideColumn_ = nullptr;
    TVueFrame* vueFrame_ = nullptr;
    TVidePanel* videPanel_ = nullptr;
    std::unique_ptr<TPreviewHandlers> previewHandlers_;
    std::shared_ptr<TQtAudioOutput> audio_;
    bool reopenPreview_ = false;
    TStatusLine* status_ = nullptr;
    QTimer* timer1_ = nullptr;
    std::unique_ptr<TSceneEditor> sceneEditor_;
    TSceneEditorFrame* sceneFrame_ = nullptr;
    TEditerTitresForm* titlesForm_ = nullptr;
    TOptionsFrame* optionsFrame_ = nullptr;
    // The command set's way of running the catalogue's commands, given back when the window goes.
    std::function<void(TCustomAbstractAction&, const CatalogueCommand&, const ActionValue&)>
        runCatalogueCommand_;
    std::unique_ptr<TCodecForm> codecForm_;
    std::unique_ptr<TFrequenceForm> frequenceForm_;
    std::unique_ptr<TEditIncrustForm> editIncrust_;
    std::unique_ptr<TDecalageForm> decalageForm_;
    std::unique_ptr<TIntroduireForm> introduireForm_;
    std::unique_ptr<TIntervalleForm> intervalleForm_;
    TMvAppliMan* am_ = nullptr;
    int32_t currentInterval_ = 20;  // seconds, proposed by the interval dialog

    int view_ = -1;
    // The window's width before the reduced view narrowed it, given back when it ends.
    int widthBeforeReduced_ = 0;
    bool shown_ = false;
    bool argumentsOpened_ = false;
    bool commandRunning_ = false;
    bool listWasEmpty_ = false;
    bool closing_ = false;
    std::string lastSaveError_;
    std::string lastPositionText_;
};

}  // namespace velinor
