#include "commands/action_states.h"

#include "actions/main_catalogue.h"
#include "commands/command.h"
#include "filelist/avi_fichier.h"
#include "filelist/list_model.h"

namespace velinor {

namespace {

// "ccRenommer" runs the command "Renommer"; the prefix is matched without regard to case.
bool RunsCommandByName(const TCustomAbstractAction& action) {
    const std::string& name = action.InternalId;
    return name.size() > 2 && LowerCase(name.substr(0, 2)) == "cc";
}

void Apply(TCustomAbstractAction& action, tAbstractCmd& command, TCommandEngine& ce,
           TFichierListModel& list) {
    const ActionState state = CommandActionState(command, ce, list, {action.Visible(), action.Enabled()});
    action.SetVisible(state.visible);
    action.SetEnabled(state.enabled);
}

}  // namespace

ActionState CommandActionState(tAbstractCmd& command, TCommandEngine& ce, TFichierListModel& list,
                               ActionState state) {
    if (command.OnCommandCondition) state.visible = state.visible && command.CommandCondition(ce);
    const auto ask = [&](TAbstractListFichier* record, bool& v, bool& e) {
        v = true;
        e = true;
        command.FileCondition(record, v, e);
    };
    switch (command.Nombre) {
        case fnSingle: {
            bool v = false, e = false;
            const int current = list.ItemIndex();
            if (current >= 0 && current < list.Count()) ask(list.Item(current), v, e);
            state.visible = v && state.visible;
            state.enabled = e && state.enabled;
            break;
        }
        case fnSelect:
        case fnAll: {
            bool any = false;
            for (int i = 0; i < list.Count() && !any; ++i) {
                if (command.Nombre == fnSelect && !list.Selected(i)) continue;
                bool v = false, e = false;
                ask(list.Item(i), v, e);
                any = e;
            }
            state.enabled = state.enabled && any;
            break;
        }
        case fnNone:
            break;
    }
    state.enabled = state.visible && state.enabled;
    return state;
}

void RefreshActionStates(TMainCatalogue& catalogue, TMvActionList& commandActions, TFichierListModel& list,
                         TCommandEngine& ce, const CommandLookup& find) {
    catalogue.RefreshVisibility(list.Count() == 0,
                                [&](TCustomAbstractAction& action, const CatalogueCommand& c) {
                                    if (tAbstractCmd* command = find(c.Name))
                                        Apply(action, *command, ce, list);
                                    else
                                        action.SetEnabled(false);  // its module is not part of this build
                                });
    // Command actions outside the catalogue follow the same rules.
    std::vector<TCustomAbstractAction*> others = catalogue.al.Actions();
    others.insert(others.end(), commandActions.Actions().begin(), commandActions.Actions().end());
    for (TCustomAbstractAction* action : others) {
        if (catalogue.CommandOf(*action) || !RunsCommandByName(*action)) continue;
        if (tAbstractCmd* command = find(action->InternalId.substr(2))) Apply(*action, *command, ce, list);
    }
    // The scene editor shows pictures.
    const int current = list.ItemIndex();
    if (current >= 0 && current < list.Count())
        if (const auto* record = dynamic_cast<const TaviFichier*>(list.Item(current)))
            if (TCustomAbstractAction* scenes = catalogue.Find("caEditerScenes"))
                scenes->SetEnabled(scenes->Enabled() && record->HasImage());
}

}  // namespace velinor
