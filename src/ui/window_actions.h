#pragma once
// The actions the handlers of the main window need that the catalogue does not hold (those of the
// list manager), created in a list of their own. GUI thread only.
#include <functional>
#include <string>

#include "actions/actions_list.h"

namespace velinor {

class TdmAction;

// Adds to `list` every action that `existing` does not find, and one "cc" action per command of
// `commands` that has none.
void CreateWindowActions(TMvActionList& list, TdmAction& commands,
                         const std::function<TCustomAbstractAction*(const std::string&)>& existing);

}  // namespace velinor
