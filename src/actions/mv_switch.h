#pragma once
// The command-line switch component: parses the program's arguments into switches of the
// attached actions and runs them once, at the first activation of the application.
// UI thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "actions/actions.h"

namespace velinor {

class TCustomMvActionList;
class TMvActionList;

// One parsed argument. Mode: 0 "+name" set, 1 "-name" clear, 2 "/name" toggle or set,
// 3 a plain argument (the whole argument is the value).
struct TActionEx {
    TCustomAbstractAction* Action = nullptr;
    std::string Value;
    uint8_t Mode = 3;
};
using TSuperList = std::vector<TActionEx>;

class TMvSwitch {
public:
    TMvSwitch() = default;
    TMvSwitch(const TMvSwitch&) = delete;
    TMvSwitch& operator=(const TMvSwitch&) = delete;
    // Lists still attached are detached, so that neither side keeps a pointer to the other.
    ~TMvSwitch();

    // The application's previous activation handler, run at every activation.
    std::function<void()> OnActivate;
    // Receives plain arguments and unknown switches; may be null.
    TCustomAbstractAction* DefaultAction = nullptr;
    std::function<void()> OnNoCommandLine;
    TCustomMvActionList* actionlist = nullptr;
    // Processes pending UI events between two switches (the window sets it).
    std::function<void()> ProcessMessages;
    // Closes the main window after the switches ran, when "quit" was among them.
    std::function<void()> CloseMainWindow;

    bool Executing() const { return executing_; }

    // The application was activated: the command line is processed at the first activation only.
    void Activate(const std::vector<std::string>& arguments);
    void ProcessCommandLine(const std::vector<std::string>& arguments);
    void ParseArgument(const std::string& argument);
    TCustomAbstractAction* FindSwitch(const std::string& name);
    void RunSwitches();

    const TSuperList& Arguments() const { return arguments_; }
    bool QuitRequested() const { return quit_; }
    // Index of the argument being run, -1 outside RunSwitches.
    int Current() const { return current_; }

    // The switch table, filled and emptied by the action lists attached to this component.
    void AddSwitch(const std::string& switchText, TCustomAbstractAction& action);
    // forget: the action is going away, so it no longer receives plain arguments either.
    void RemoveAction(TCustomAbstractAction& action, bool forget = false);
    const std::vector<std::pair<std::string, TCustomAbstractAction*>>& Table() const { return table_; }

private:
    friend class TMvActionList;

    std::vector<std::pair<std::string, TCustomAbstractAction*>> table_;
    std::vector<TMvActionList*> lists_;
    TSuperList arguments_;
    bool quit_ = false;
    bool executing_ = false;
    bool activated_ = false;
    int current_ = -1;
};

}  // namespace velinor
