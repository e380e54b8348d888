#pragma once
// Action lists: the actions a window declares, loaded from and saved to the preferences
// together, declared to the script engine and learnt by the command-line switch component.
// UI thread only.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/actions.h"

namespace velinor {

class TMvSwitch;

class TCustomMvActionList {
public:
    using TListLoadEvent = std::function<bool(TMorvanePreferences&)>;
    using TListSaveEvent = std::function<bool(TMorvanePreferences&)>;

    TCustomMvActionList() = default;
    TCustomMvActionList(const TCustomMvActionList&) = delete;
    TCustomMvActionList& operator=(const TCustomMvActionList&) = delete;
    virtual ~TCustomMvActionList();

    TListLoadEvent OnLoadFromPrefs;
    TListSaveEvent OnSaveToPrefs;

    // Appends an action the caller owns; it leaves the list when destroyed.
    void AddAction(TCustomAbstractAction& action);
    void RemoveAction(TCustomAbstractAction& action);
    // Makes an action owned by the list, named `name`.
    template <class T>
    T& Create(const std::string& name) {
        auto action = std::make_unique<T>(name);
        T& ref = *action;
        owned_.push_back(std::move(action));
        AddAction(ref);
        return ref;
    }
    // Makes an action at run time: only its internal id is set, and its category is "internal".
    template <class T>
    T& CreateInternal(const std::string& internalId) {
        T& action = Create<T>(std::string());
        action.InternalId = internalId;
        action.Category = "internal";
        return action;
    }

    const std::vector<TCustomAbstractAction*>& Actions() const { return actions_; }
    // The first action whose InternalId is exactly `internalId`, or null.
    TCustomAbstractAction* FindAction(const std::string& internalId) const;
    // The first action whose ScriptName matches without regard to case (script names are
    // Pascal identifiers), or null.
    TCustomAbstractAction* FindScriptName(const std::string& scriptName) const;

    // Loads (saves) every action with IncludePrefs in list order, then runs OnLoadFromPrefs
    // (OnSaveToPrefs). False when any of them failed; an exception ends the walk with false.
    bool LoadActions(TMorvanePreferences& prefs);
    bool SaveActions(TMorvanePreferences& prefs);

protected:
    virtual void ActionRemoved(TCustomAbstractAction&) {}

private:
    std::vector<TCustomAbstractAction*> actions_;
    std::vector<std::unique_ptr<TCustomAbstractAction>> owned_;
};

class TMvActionList : public TCustomMvActionList {
public:
    TMvActionList() = default;
    ~TMvActionList() override;

    // The script component whose compilation declares the list's actions. Its previous
    // OnCompile handler keeps running first, and is put back when the property is cleared.
    ScriptRegistrar* PascalScript() const { return script_; }
    void SetPascalScript(ScriptRegistrar* script);
    // The switch component that learns the switches of the list's actions.
    TMvSwitch* Switch() const { return switch_; }
    void SetSwitch(TMvSwitch* component);
    // Declares every action of the list, in list order.
    bool RegisterScripts(ScriptRegistrar& script);

protected:
    void ActionRemoved(TCustomAbstractAction& action) override;

private:
    ScriptRegistrar* script_ = nullptr;
    std::function<bool(ScriptRegistrar&)> previousOnCompile_;
    TMvSwitch* switch_ = nullptr;
};

}  // namespace velinor
