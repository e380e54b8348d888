#pragma once
// The window's own actions that the handlers of the main window need, created in the window's
// action list when the catalogue has not created them already. GUI thread only.
#include "actions/actions_list.h"

namespace velinor {

class TdmAction;

// Adds every missing action, and one "cc" action per command of `commands` that has none.
void CreateWindowActions(TMvActionList& al, TdmAction& commands);

}  // namespace velinor
