#include "actions/actions_list.h"

#include <algorithm>

#include "actions/mv_switch.h"
#include "actions/value_text.h"

namespace velinor {

ScriptRegistrar::~ScriptRegistrar() {
    while (!attachedLists_.empty()) attachedLists_.back()->SetPascalScript(nullptr);
}

TCustomMvActionList::~TCustomMvActionList() {
    for (auto* action : actions_) action->list_ = nullptr;
    actions_.clear();
    owned_.clear();
}

void TCustomMvActionList::AddAction(TCustomAbstractAction& action) {
    if (action.list_ == this) return;
    if (action.list_) action.list_->RemoveAction(action);
    action.list_ = this;
    actions_.push_back(&action);
}

void TCustomMvActionList::RemoveAction(TCustomAbstractAction& action) {
    const auto it = std::find(actions_.begin(), actions_.end(), &action);
    if (it == actions_.end()) return;
    actions_.erase(it);
    action.list_ = nullptr;
    ActionRemoved(action);
}

TCustomAbstractAction* TCustomMvActionList::FindAction(const std::string& internalId) const {
    for (auto* action : actions_)
        if (action->InternalId == internalId) return action;
    return nullptr;
}

TCustomAbstractAction* TCustomMvActionList::FindScriptName(const std::string& scriptName) const {
    if (scriptName.empty()) return nullptr;
    for (auto* action : actions_)
        if (text::SameTextNoCase(action->ScriptName, scriptName)) return action;
    return nullptr;
}

bool TCustomMvActionList::LoadActions(TMorvanePreferences& prefs) {
    bool ok = true;
    try {
        // A copy: a handler may add actions to the list while it loads.
        const auto actions = actions_;
        for (auto* action : actions)
            if (action->IncludePrefs && !action->LoadFromPrefs(prefs)) ok = false;
        if (OnLoadFromPrefs && !OnLoadFromPrefs(prefs)) ok = false;
    } catch (...) {
        return false;
    }
    return ok;
}

bool TCustomMvActionList::SaveActions(TMorvanePreferences& prefs) {
    bool ok = true;
    try {
        const auto actions = actions_;
        for (auto* action : actions)
            if (action->IncludePrefs && !action->SaveToPrefs(prefs)) ok = false;
        if (OnSaveToPrefs && !OnSaveToPrefs(prefs)) ok = false;
    } catch (...) {
        return false;
    }
    return ok;
}

TMvActionList::~TMvActionList() {
    SetSwitch(nullptr);
    SetPascalScript(nullptr);
}

void TMvActionList::SetPascalScript(ScriptRegistrar* script) {
    if (script == script_) return;
    if (script_) {
        script_->OnCompile = std::move(previousOnCompile_);
        std::erase(script_->attachedLists_, this);
    }
    previousOnCompile_ = nullptr;
    script_ = script;
    if (!script_) return;
    script_->attachedLists_.push_back(this);
    previousOnCompile_ = script_->OnCompile;
    script_->OnCompile = [this, previous = previousOnCompile_](ScriptRegistrar& registrar) {
        bool ok = previous ? previous(registrar) : true;
        return RegisterScripts(registrar) && ok;
    };
}

bool TMvActionList::RegisterScripts(ScriptRegistrar& script) {
    bool ok = true;
    for (auto* action : Actions())
        if (!action->RegisterScript(script)) ok = false;
    return ok;
}

void TMvActionList::SetSwitch(TMvSwitch* component) {
    if (component == switch_) return;
    if (switch_) {
        for (auto* action : Actions()) switch_->RemoveAction(*action);
        std::erase(switch_->lists_, this);
    }
    switch_ = component;
    if (switch_) {
        switch_->lists_.push_back(this);
        for (auto* action : Actions()) switch_->AddSwitch(action->Switch, *action);
    }
}

void TMvActionList::ActionRemoved(TCustomAbstractAction& action) {
    if (switch_) switch_->RemoveAction(action, true);
}

}  // namespace velinor
