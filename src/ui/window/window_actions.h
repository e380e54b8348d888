#pragma once
// The "cc" actions of the commands that the catalogue does not present, created in a list of
// their own so that every command can be run by name. GUI thread only.
#include <functional>
#include <string>

#include "actions/actions_list.h"

namespace velinor {

class TdmAction;

// Adds to `list` one "cc" action per command of `commands` that `existing` does not find.
void CreateCommandActions(TMvActionList& list, TdmAction& commands,
                          const std::function<TCustomAbstractAction*(const std::string&)>& existing);

}  // namespace velinor
