#pragma once
// The enabled and visible states of the main window's actions, worked out from the list and the
// commands: the catalogue's category rule first, then each action that runs a command asks that
// command about the files it would run on, then the scene editor needs a file with a picture.
// Free of Qt, so the same rules hold wherever the catalogue is shown. UI thread only.
#include <functional>
#include <string>

namespace velinor {

class TCommandEngine;
class TFichierListModel;
class TMainCatalogue;
class TMvActionList;
class tAbstractCmd;

// The command of a name (matched without regard to case), or null when no module has it.
using CommandLookup = std::function<tAbstractCmd*(const std::string& name)>;

struct ActionState {
    bool visible = true;
    bool enabled = true;
};

// The state of an action that runs `command`, narrowed from the one the catalogue gave it: the
// command's own condition, then by its number of files the answer for the active file
// (fnSingle), or whether any selected (fnSelect) or listed (fnAll) file enables it. A hidden
// action is never enabled.
ActionState CommandActionState(tAbstractCmd& command, TCommandEngine& ce, TFichierListModel& list,
                               ActionState state);

// Sets the state of every action of the catalogue's window list and of `commandActions` (the
// "cc" actions of the commands the catalogue does not present). An action whose command no
// module has is disabled.
void RefreshActionStates(TMainCatalogue& catalogue, TMvActionList& commandActions, TFichierListModel& list,
                         TCommandEngine& ce, const CommandLookup& find);

}  // namespace velinor
