#include "ui/window/window_actions.h"

#include "commands/catalogue.h"

namespace velinor {

void CreateCommandActions(TMvActionList& al, TdmAction& commands,
                          const std::function<TCustomAbstractAction*(const std::string&)>& existing) {
    for (tAbstractCmd* command : commands.Commands()) {
        const std::string name = "cc" + command->Name;
        if (existing(name) || al.FindAction(name)) continue;
        TNopeAction& action = al.Create<TNopeAction>(name);
        action.Category = command->Category.empty() ? "multi" : command->Category;
        action.SetCaption(command->Name);
    }
}

}  // namespace velinor
