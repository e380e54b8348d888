#include "commands/command_set.h"

#include <sys/stat.h>

#include <algorithm>

#include "actions/value_text.h"
#include "commands/action_states.h"
#include "filelist/avi_fichier.h"
#include "filelist/base_frame.h"
#include "graph/sinks.h"

namespace velinor {

namespace {

// Command names compare without regard to case.
std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool IsCcName(const std::string& id) {
    return id.size() > 2 && Lower(id.substr(0, 2)) == "cc";
}

constexpr const char* kWindowSection = "UIForm";

}  // namespace

TCommandSet::TCommandSet(UiDispatcher& ui, TFichierListModel::UiPump pump)
    : Cache([](const std::string& path) { return std::make_unique<TaviFichier>(path); }),
      List(ui, pump),
      Engine(ui),
      Cdm(Texts),
      Conversions(Cdm),
      Scenes(Texts),
      SceneExports(Dm),
      Overlay(&Catalogue.al, Texts),
      ListExports(&Catalogue.al),
      Preview(Texts, &ui),
      SceneDetails(Preview),
      pump_(std::move(pump)),
      previewWindow_{std::make_shared<graph::HeadlessVideoSurface>(),
                     std::make_shared<graph::HeadlessAudioDevice>(), nullptr} {
    List.SetCache(&Cache);
    ListManager.SetFichierListBox(&List);
    ListExports.SetFichierListBox(&List);
    Engine.SourceFichierListbox = &List;
    Engine.DestFichierListbox = &List;
    Engine.FichierClass = [](const std::string& path) { return std::make_unique<TAfficherFichier>(path); };

    // The overlay settings reach the preview's overlay, the subtitle scan's datecode filter and
    // the burn-in; the templates follow the file each of them works on.
    Overlay.PreviewOverlay = &Preview.Overlay().Overlay;
    Overlay.ConversionDetector = &Scenes.Detector();
    Overlay.RefreshPreview = [this] {
        Preview.RunOnOwner([this] {
            if (Preview.Opened) Preview.RefreshPreview();
        });
    };
    ConnectConversions(Conversions, Dm, Overlay);
    Scenes.PrepareOverlay = [this](const TAbstractListFichier& record) {
        Overlay.SetOverlayRecord(&record);
        Overlay.PrepareOverlayTexts();
    };
    // The scene commands take each scene's texts and thumbnail from the preview, which holds the
    // file the engine makes active.
    Scenes.DetailsSource = &SceneDetails;
    SceneExports.DetailsSource = &SceneDetails;
    // The commands that change a file in place let go of it first.
    Dm.ReleasePreview = [this](const std::string&) { Preview.ReleasePreview(); };

    for (tAbstractCmd* command : Commands()) {
        const std::string name = "cc" + command->Name;
        if (Action(name)) continue;
        TNopeAction& action = CommandActions.Create<TNopeAction>(name);
        action.Category = command->Category.empty() ? "multi" : command->Category;
        action.SetCaption(command->Name);
        action.IncludePrefs = false;
        // A catalogue action may already answer to the command's name in scripts (naRiffHeader).
        if (&action != ScriptAction(action.ScriptName) ||
            CommandActions.FindScriptName(action.ScriptName) != &action)
            action.ScriptName.clear();
    }
    wireCommands();
    wireSettings();
}

TCommandSet::~TCommandSet() {
    List.StopOpening();
    if (Engine.Running()) {
        Engine.InterruptAll();
        Engine.Signal();
        pump_([this] { return !Engine.Running(); });
    }
    List.OnActiveChange = nullptr;
    List.OnCountsChange = nullptr;
    Overlay.PreviewOverlay = nullptr;
    Overlay.ConversionDetector = nullptr;
    Overlay.RefreshPreview = nullptr;
    Preview.ReleasePreview();
    List.ClearFichiers();
}

std::vector<TMvActionList*> TCommandSet::ActionLists() {
    return {&Catalogue.am, &Catalogue.al, &ListManager.Actions, &CommandActions};
}

TCustomAbstractAction* TCommandSet::Action(const std::string& internalId) {
    for (TMvActionList* list : ActionLists())
        if (TCustomAbstractAction* action = list->FindAction(internalId)) return action;
    return nullptr;
}

TCustomAbstractAction* TCommandSet::ScriptAction(const std::string& scriptName) {
    if (scriptName.empty()) return nullptr;
    for (TMvActionList* list : ActionLists())
        if (TCustomAbstractAction* action = list->FindScriptName(scriptName)) return action;
    return nullptr;
}

bool TCommandSet::IsSetting(const TCustomAbstractAction& action) const {
    if (action.ScriptName.empty() || action.ValueType() == ActionValueType::None) return false;
    // A command's parameter is not a setting: setting it runs the command.
    if (Catalogue.CommandOf(action) || IsCcName(action.InternalId)) return false;
    return action.ActionList() != &CommandActions;
}

std::vector<TCustomAbstractAction*> TCommandSet::Settings() {
    std::vector<TCustomAbstractAction*> settings;
    for (TMvActionList* list : ActionLists())
        for (TCustomAbstractAction* action : list->Actions())
            if (IsSetting(*action)) settings.push_back(action);
    return settings;
}

bool TCommandSet::AcceptsValue(const TCustomAbstractAction& action, const std::string& value) const {
    // Each module is tried on a copy of its settings: one that knows the name (it takes the
    // current value) must also take the new one.
    const std::string& name = action.ScriptName;
    const std::string current = action.ValueText();
    const auto takes = [&](auto settings) {
        auto probe = settings;
        return !probe.Set(name, current) || settings.Set(name, value);
    };
    return takes(Dm.Settings) && takes(Conversions.Settings) && takes(Scenes.Settings) &&
           takes(SceneExports.Settings);
}

std::string TCommandSet::DefaultText(const TCustomAbstractAction& action) const {
    const auto found = defaults_.find(&action);
    return found == defaults_.end() ? std::string() : found->second;
}

void TCommandSet::pushSetting(const TCustomAbstractAction& action) {
    // A name several modules know (the save folder) is set in each of them.
    const std::string value = action.ValueText();
    Dm.Settings.Set(action.ScriptName, value);
    Conversions.Settings.Set(action.ScriptName, value);
    Scenes.Settings.Set(action.ScriptName, value);
    SceneExports.Set(action.ScriptName, value);
    // The record's datecode text in the list, the info panel and the exports.
    if (Lower(action.ScriptName) == "formatafficherdatecode") SetFormatAfficherDatecode(value);
}

void TCommandSet::wireSettings() {
    for (TCustomAbstractAction* action : Settings()) {
        pushSetting(*action);
        action->AddChangeListener([this](TCustomAbstractAction& changed, ActionProperty property) {
            // A check action's value is its checked state.
            if (property == ActionProperty::Value || property == ActionProperty::Checked)
                pushSetting(changed);
        });
    }
}

void TCommandSet::wireCommands() {
    // The catalogue's command actions run their command with the value they hold.
    Catalogue.RunCommand = [this](TCustomAbstractAction&, const CatalogueCommand& command,
                                  const ActionValue& value) {
        CmdParams params;
        if (const auto* text = std::get_if<std::string>(&value)) params.push_back(*text);
        if (const auto* real = std::get_if<double>(&value)) params.push_back(GeneralFloatText(*real));
        if (const auto* whole = std::get_if<int32_t>(&value)) params.push_back(std::to_string(*whole));
        RunCommand(command.Name, params);
    };
    bindCommandActions();
}

// Every "cc" action without a handler of its own runs the command of its name.
void TCommandSet::bindCommandActions() {
    for (TMvActionList* list : {&Catalogue.al, &CommandActions})
        for (TCustomAbstractAction* action : list->Actions()) {
            if (Catalogue.CommandOf(*action)) continue;
            auto* nope = dynamic_cast<TNopeAction*>(action);
            if (!nope || !IsCcName(action->InternalId) || nope->OnAfterApply || nope->InternalApply) continue;
            nope->InternalApply = [this, command = action->InternalId.substr(2)] { RunCommand(command); };
        }
}

std::vector<tAbstractCmd*> TCommandSet::Commands() {
    std::vector<tAbstractCmd*> all = Dm.Commands();
    for (const auto& group : {Conversions.Commands(), Scenes.Commands(), SceneExports.Commands()})
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

tAbstractCmd* TCommandSet::FindCommand(const std::string& name) {
    const std::string key = Lower(name);
    for (tAbstractCmd* command : Commands())
        if (Lower(command->Name) == key) return command;
    for (const auto& group : groups_)
        if (tAbstractCmd* command = group(name)) return command;
    return nullptr;
}

TCommandState TCommandSet::CommandState(tAbstractCmd& command) {
    const ActionState st = CommandActionState(command, Engine, List, {});
    TCommandState state{st.visible, st.enabled, {}};
    if (state.Enabled) return state;
    if (command.OnCommandCondition && !command.CommandCondition(Engine)) {
        state.Reason = "La commande " + command.Name + " ne s'applique pas en ce moment.";
    } else if (command.Nombre == fnSingle) {
        const int current = List.ItemIndex();
        state.Reason = current >= 0 && current < List.Count()
                           ? "La commande " + command.Name + " ne s'applique pas au fichier " +
                                 List.Item(current)->FileName + "."
                           : "La commande " + command.Name + " demande un fichier actif.";
    } else {
        state.Reason = "La commande " + command.Name + " ne s'applique à aucun fichier" +
                       (command.Nombre == fnSelect ? " sélectionné." : " de la liste.");
    }
    // The command's own words for the files it refuses, as the engine reports them.
    const bool byFiles = !(command.OnCommandCondition && !command.CommandCondition(Engine));
    if (byFiles && List.Count() > 0 && !command.RefusalReason.empty()) {
        state.Reason.pop_back();  // the final "."
        state.Reason += " : " + command.RefusalReason + ".";
    }
    return state;
}

bool TCommandSet::RunCommand(const std::string& name, const CmdParams& params) {
    tAbstractCmd* command = FindCommand(name);
    if (!command) {
        if (OnRefused) OnRefused("Commande inconnue : " + name);
        return false;
    }
    const TCommandState state = CommandState(*command);
    if (!state.Enabled) {
        if (OnRefused) OnRefused(state.Reason);
        return false;
    }
    if (command == &Dm.Renommer) Dm.RenameCounter = 1;
    if (!Engine.ExecuteCommand(*command, params)) {
        if (OnRefused) OnRefused("La commande " + command->Name + " n'a pas pu démarrer.");
        return false;
    }
    if (AfterCommandStart) AfterCommandStart();
    return true;
}

void TCommandSet::RefreshActions() {
    RefreshActionStates(Catalogue, CommandActions, List, Engine,
                        [this](const std::string& name) { return FindCommand(name); });
}

void TCommandSet::LoadPreferences(TMorvanePreferences& prefs, bool keptList) {
    // The application manager first, the list manager last; saved the other way round.
    prefs.OpenPrefsKey(kWindowSection);
    Catalogue.am.LoadActions(prefs);
    Catalogue.al.LoadActions(prefs);
    if (keptList) ListManager.Actions.LoadActions(prefs);
    prefs.ClosePrefsKey();
}

void TCommandSet::SavePreferences(TMorvanePreferences& prefs) {
    prefs.OpenPrefsKey(kWindowSection);
    ListManager.Actions.SaveActions(prefs);
    Catalogue.al.SaveActions(prefs);
    Catalogue.am.SaveActions(prefs);
    prefs.ClosePrefsKey();
}

void TCommandSet::ApplyDefaults() {
    // A store that holds nothing gives every action its default, as on a first start.
    TMorvanePreferences none(PreferencesPaths{});
    LoadPreferences(none, false);
    for (TCustomAbstractAction* action : Settings()) defaults_[action] = action->ValueText();
}

void TCommandSet::ActiveFileChanged(TAbstractListFichier* record) {
    Overlay.SetOverlayRecord(record);
    Overlay.PrepareOverlayTexts();
    Overlay.UpdateExamples();
    if (!PreviewFollowsActive) return;
    if (auto* avi = dynamic_cast<TaviFichier*>(record))
        Preview.OpenRecord(avi, previewWindow_);
    else
        Preview.ReleasePreview();
}

std::vector<int> TCommandSet::OpenPaths(const std::vector<std::string>& paths) {
    std::vector<int> found;
    int count = 0;
    auto previousEnd = List.OnOpenEnd;
    List.OnOpenEnd = [&count, &previousEnd](int n) {
        count = n;
        if (previousEnd) previousEnd(n);
    };
    auto previousTest = List.OnOpenTestExtension;
    for (const std::string& path : paths) {
        struct stat st {};
        const bool exists = ::stat(path.c_str(), &st) == 0;
        count = 0;
        if (exists && S_ISDIR(st.st_mode)) {
            List.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
            List.OpenFolderTree(path);
        } else {
            List.OnOpenTestExtension = previousTest;
            if (exists && S_ISREG(st.st_mode) && Lower(path).ends_with(".txt"))
                List.OpenPlayListFile(path);
            else
                List.OpenPaths({path});
        }
        pump_([this] { return !List.Busy(); });
        found.push_back(count);
    }
    List.OnOpenTestExtension = previousTest;
    List.OnOpenEnd = previousEnd;
    return found;
}

}  // namespace velinor
