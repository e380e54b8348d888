#include "actions/mv_switch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "actions/actions_list.h"
#include "actions/value_text.h"

namespace velinor {

TMvSwitch::~TMvSwitch() {
    while (!lists_.empty()) lists_.back()->SetSwitch(nullptr);
}

void TMvSwitch::Activate(const std::vector<std::string>& arguments) {
    if (OnActivate) OnActivate();
    if (activated_) return;
    activated_ = true;
    ProcessCommandLine(arguments);
}

void TMvSwitch::ProcessCommandLine(const std::vector<std::string>& arguments) {
    arguments_.clear();
    quit_ = false;
    for (const auto& argument : arguments) ParseArgument(argument);
    if (!arguments_.empty())
        RunSwitches();
    else if (OnNoCommandLine)
        OnNoCommandLine();
    arguments_.clear();
}

void TMvSwitch::ParseArgument(const std::string& argument) {
    uint8_t mode = 3;
    if (!argument.empty()) {
        switch (argument.front()) {
            case '+':
                mode = 0;
                break;
            case '-':
                mode = 1;
                break;
            case '/':
                mode = 2;
                break;
            default:
                break;
        }
    }
    // Absolute paths begin with "/" here: an argument whose name holds a "/" or that names an
    // existing file or folder is a plain argument, never a switch.
    if (mode == 2) {
        const auto nameEnd = argument.find('=', 1);
        std::error_code ec;
        if (argument.substr(1, nameEnd == std::string::npos ? std::string::npos : nameEnd - 1).find('/') !=
                std::string::npos ||
            (argument.size() > 1 && std::filesystem::exists(argument, ec)))
            mode = 3;
    }
    std::string name;
    std::string value;
    if (mode == 3) {
        value = argument;
    } else {
        const auto eq = argument.find('=', 1);
        if (eq != std::string::npos) {
            name = text::Lower(argument.substr(1, eq - 1));
            value = argument.substr(eq + 1);
        } else {
            name = text::Lower(argument.substr(1));
        }
    }
    TCustomAbstractAction* target = name.empty() ? DefaultAction : FindSwitch(name);
    if (target) arguments_.push_back(TActionEx{target, std::move(value), mode});
}

TCustomAbstractAction* TMvSwitch::FindSwitch(const std::string& nameIn) {
    if (table_.empty()) return nullptr;
    const std::string name = text::Lower(nameIn);
    if (name.empty()) return DefaultAction;
    if (name == "quit") {
        quit_ = true;
        return nullptr;
    }
    for (const auto& [switchText, action] : table_)
        if (!switchText.empty() && text::SameTextNoCase(switchText, name)) return action;
    return DefaultAction;
}

void TMvSwitch::RunSwitches() {
    struct Running {
        TMvSwitch& self;
        explicit Running(TMvSwitch& s) : self(s) { self.executing_ = true; }
        ~Running() {
            self.executing_ = false;
            self.current_ = -1;
        }
    } running(*this);
    // A handler may start another run that empties the list, so the items are taken from a copy.
    const TSuperList items = arguments_;
    for (size_t i = 0; i < items.size(); ++i) {
        current_ = static_cast<int>(i);
        const TActionEx& item = items[i];
        if (ProcessMessages) ProcessMessages();
        if (!item.Action->Enabled()) continue;
        if (auto* check = dynamic_cast<TCheckAction*>(item.Action)) {
            switch (item.Mode) {
                case 0:
                    check->SetChecked(true);
                    break;
                case 1:
                    check->SetChecked(false);
                    break;
                case 2:
                    check->Toggle();
                    break;
                default:
                    break;
            }
        } else {
            item.Action->SetValueText(item.Value);
        }
        if (ProcessMessages) ProcessMessages();
    }
    if (quit_ && CloseMainWindow) CloseMainWindow();
}

void TMvSwitch::AddSwitch(const std::string& switchText, TCustomAbstractAction& action) {
    table_.emplace_back(switchText, &action);
}

void TMvSwitch::RemoveAction(TCustomAbstractAction& action, bool forget) {
    std::erase_if(table_, [&](const auto& entry) { return entry.second == &action; });
    std::erase_if(arguments_, [&](const TActionEx& item) { return item.Action == &action; });
    if (forget && DefaultAction == &action) DefaultAction = nullptr;
}

}  // namespace velinor
