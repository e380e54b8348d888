#pragma once
// The program's command set: the file list with its cache and command engine, the command
// modules, the overlay settings, the list exports, the headless preview and the whole catalogue
// of typed actions (the window's list, the application manager's and the list manager's), with
// every effect of applying them that needs no widget. The window and velinor-cli build it the
// same way; the window adds its widgets' effects on top. UI thread only.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "actions/actions_list.h"
#include "actions/main_catalogue.h"
#include "actions/preferences_morvane.h"
#include "commands/catalogue.h"
#include "commands/cdm.h"
#include "commands/command.h"
#include "commands/conversions.h"
#include "commands/list_export_actions.h"
#include "commands/overlay_settings.h"
#include "commands/scene_commands.h"
#include "commands/scene_export_commands.h"
#include "commands/viewdm.h"
#include "commands/viewdm_scene_source.h"
#include "filelist/fichier_list.h"
#include "filelist/list_fichier_man.h"
#include "filelist/list_model.h"
#include "filters/overlay_texts.h"

namespace velinor {

// Whether a command can run now, as its menu entry shows it; `Reason` says why not, in French.
struct TCommandState {
    bool Visible = true;
    bool Enabled = true;
    std::string Reason;
};

class TCommandSet {
public:
    // `ui` is the UI thread's dispatcher; `pump` runs the UI thread's events until its argument
    // answers true (the list waits for its open worker with it).
    TCommandSet(UiDispatcher& ui, TFichierListModel::UiPump pump);
    ~TCommandSet();
    TCommandSet(const TCommandSet&) = delete;
    TCommandSet& operator=(const TCommandSet&) = delete;

    // First: every module below draws and writes its texts from this store.
    OverlayTextSettingsStore Texts;
    TMainCatalogue Catalogue;
    TListFichierMan ListManager;
    TFichierList Cache;
    TFichierListModel List;
    TCommandEngine Engine;
    TdmAction Dm;
    TCdm Cdm;
    TConversions Conversions;
    TdmScene Scenes;
    TSceneExportCommands SceneExports;
    TOverlaySettings Overlay;
    TListExportActions ListExports;
    Tviewdm Preview;
    TviewdmSceneSource SceneDetails;
    // "cc" actions of the commands the catalogue does not present, so every command has one.
    TMvActionList CommandActions;

    // The lists in the order the preferences load them: the application manager's, the
    // window's, the list manager's, then the command actions (never saved).
    std::vector<TMvActionList*> ActionLists();
    // The action with this internal id in any list, or null.
    TCustomAbstractAction* Action(const std::string& internalId);
    // The action with this script name (any case) in any list, or null.
    TCustomAbstractAction* ScriptAction(const std::string& scriptName);
    // Whether the action holds a setting (a value that is not a command's parameter).
    bool IsSetting(const TCustomAbstractAction& action) const;
    // The settings of every list, in load order.
    std::vector<TCustomAbstractAction*> Settings();
    // Whether the modules that read the setting take this value (an audio rate index of 7 is
    // refused); true for the settings no module reads.
    bool AcceptsValue(const TCustomAbstractAction& action, const std::string& value) const;
    // A setting's design default as text, as the first start applies it.
    std::string DefaultText(const TCustomAbstractAction& action) const;

    // The command of this name (any case) in any module, or null.
    tAbstractCmd* FindCommand(const std::string& name);
    std::vector<tAbstractCmd*> Commands();
    // Adds commands found by name after the modules' (the tests' own commands), and binds the
    // "cc" actions added since to the commands of their names.
    void AddCommandGroup(std::function<tAbstractCmd*(const std::string&)> group) {
        groups_.push_back(std::move(group));
        bindCommandActions();
    }
    // What the window shows of the command's entry: the command's own condition, then the
    // condition of the files it takes (the active one, the selected ones or all).
    TCommandState CommandState(tAbstractCmd& command);
    // Starts the command of this name when its state allows it; otherwise OnRefused is told
    // why. False when none has this name, it was refused or it did not start.
    bool RunCommand(const std::string& name, const CmdParams& params = {});
    std::function<void(const std::string& reason)> OnRefused;
    // Runs after a command started (velinor-cli waits there for its end).
    std::function<void()> AfterCommandStart;

    // Visibility and enabled state of every action for the list as it is now.
    void RefreshActions();

    // The preferences: loaded into every list (the list manager's only with `keptList`, since it
    // reopens the files kept from the last run), each value through its apply path.
    void LoadPreferences(TMorvanePreferences& prefs, bool keptList = true);
    void SavePreferences(TMorvanePreferences& prefs);
    // Every setting takes its default through its apply path, as on a first start.
    void ApplyDefaults();

    // The active file changed: the overlay record and templates follow it and, when
    // PreviewFollowsActive, the preview opens it.
    void ActiveFileChanged(TAbstractListFichier* record);
    bool PreviewFollowsActive = true;
    void SetPreviewWindow(PreviewWindow window) { previewWindow_ = std::move(window); }

    // Opens paths as velinor-cli takes them: folders as trees of ".avi" files, ".txt" files as
    // playlists (their entries, never the playlist itself), other paths and masks as given; waits
    // for the open worker. Answers the number of files found for each path.
    std::vector<int> OpenPaths(const std::vector<std::string>& paths);

private:
    void wireSettings();
    void wireCommands();
    void bindCommandActions();
    void pushSetting(const TCustomAbstractAction& action);

    TFichierListModel::UiPump pump_;
    PreviewWindow previewWindow_;
    std::map<const TCustomAbstractAction*, std::string> defaults_;
    std::vector<std::function<tAbstractCmd*(const std::string&)>> groups_;
};

}  // namespace velinor
