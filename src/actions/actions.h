#pragma once
// Typed actions: every setting and command of the program, with a value, a default, a script
// name, a command-line switch and the way to store, read back and apply the value. This model
// is free of Qt; the window binds each action to a QAction and follows its changes through
// AddChangeListener. UI thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "actions/preferences.h"

namespace velinor {

class TMorvanePreferences;
class TCustomMvActionList;
class TMvActionList;
class TCustomAbstractAction;

enum class ActionValueType : uint8_t {
    None,
    WideString,
    WStrings,
    Font,
    Integer,
    Double,
    Boolean,
    Rect,
    Check
};

// A value of any action, by its kind (monostate for an action without value).
using ActionValue =
    std::variant<std::monostate, std::string, std::vector<std::string>, TFont, int32_t, double, bool, TRect>;

// An argument passed by a script to an action's procedure, as the script engine holds it.
using ScriptArg = std::variant<bool, int64_t, double, std::string, std::vector<std::string>>;
// The body bound to a declared procedure. Throws std::invalid_argument when the arguments
// do not match the declaration, which the engine reports as a run-time error.
using ScriptProc = std::function<void(const std::vector<ScriptArg>& args)>;

// What an action list declares its actions to: the script engine's host implements it.
class ScriptRegistrar {
public:
    ScriptRegistrar() = default;
    ScriptRegistrar(const ScriptRegistrar&) = delete;
    ScriptRegistrar& operator=(const ScriptRegistrar&) = delete;
    // Lists still attached are detached, so that none keeps a pointer to a destroyed script.
    virtual ~ScriptRegistrar();
    // declaration: Pascal text such as "procedure volume(const aInteger:integer);".
    virtual bool RegisterProcedure(const std::string& declaration, ScriptProc proc) = 0;
    // The owner's registration handler, run at compilation after the built-in declarations.
    std::function<bool(ScriptRegistrar&)> OnCompile;

private:
    friend class TMvActionList;
    std::vector<TMvActionList*> attachedLists_;
};

// The macro recorder's process-wide state: the lines being recorded (null when not
// recording) and the flag that keeps actions applied by a recorded action's handlers
// from being recorded themselves.
struct MacroState {
    std::vector<std::string>* MacroLines = nullptr;
    bool MacroBusy = false;
};
MacroState& Macro();
// A Pascal string literal body: apostrophes doubled, so that the recorded line compiles.
std::string PascalQuoted(std::string_view text);

// Boolean text of the command line: "true", "vrai", "t", "v" (any case, blanks trimmed) or a
// non-zero integer mean true.
bool BooleanFromText(std::string_view text);
// Comma-delimited list with double-quoted items, blanks also separating unquoted items.
std::vector<std::string> SplitDelimited(std::string_view text);
std::string JoinDelimited(const std::vector<std::string>& items);

enum class ActionProperty : uint8_t { Caption, Hint, ShortCut, Visible, Enabled, Checked, ImageIndex, Value };
using ActionChangeListener = std::function<void(TCustomAbstractAction&, ActionProperty)>;

class TCustomAbstractAction {
public:
    explicit TCustomAbstractAction(const std::string& name = {});
    TCustomAbstractAction(const TCustomAbstractAction&) = delete;
    TCustomAbstractAction& operator=(const TCustomAbstractAction&) = delete;
    virtual ~TCustomAbstractAction();

    // Renaming keeps InternalId, ScriptName and Caption in step unless they were changed by hand;
    // the last two default to the name without its two-letter prefix.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    // Shortcuts as portable key texts ("Ctrl+F11", "Alt+Return"); empty means none.
    const std::string& ShortCut() const { return shortCut_; }
    void SetShortCut(const std::string& shortCut);
    std::vector<std::string> SecondaryShortcuts;
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool AutoCheck = false;
    bool Checked() const { return checked_; }
    // The plain checked state, without applying anything.
    void SetCheckedState(bool checked);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    // Fired with the new index when the image index changes while the action is in a list.
    std::function<void(int)> OnImageChanged;
    std::string ScriptName;
    std::string Switch;
    bool ApplyWhenLoad = false;
    std::vector<std::string> Comments;
    // Parameter names of the script declaration; the kind's default name when empty.
    std::string Variables;
    std::string InternalId;
    bool IncludePrefs = true;
    std::string Category;

    int AddChangeListener(ActionChangeListener listener);
    void RemoveChangeListener(int id);
    TCustomMvActionList* ActionList() const { return list_; }

    // Declares the action's script procedures.
    virtual bool RegisterScript(ScriptRegistrar& script) = 0;
    // What runs when the action is triggered from a menu, a toolbar button or a shortcut.
    virtual void DoExecute() = 0;
    virtual std::string ScriptSyntax() const = 0;
    virtual std::string SwitchSyntax() const = 0;
    // Empties Category and ScriptName and the shortcuts; value kinds also drop their owner hooks.
    virtual void ResetAction();
    // Sets the value from a command-line text.
    virtual void SetValueText(const std::string& text) = 0;
    // Runs the apply events with the current value.
    virtual void Apply() = 0;
    virtual bool LoadFromPrefs(TMorvanePreferences& prefs) = 0;
    virtual bool SaveToPrefs(TMorvanePreferences& prefs) = 0;

    virtual ActionValueType ValueType() const = 0;
    // The current value, and its text in the form SetValueText reads back.
    virtual ActionValue Value() const { return std::monostate{}; }
    virtual std::string ValueText() const { return {}; }
    // Runs the setter with a value of the action's kind (the command for an action without
    // value); false when the kind does not match.
    virtual bool SetActionValue(const ActionValue& value) = 0;

    void Execute() { DoExecute(); }
    // Variables, or the given default when empty.
    std::string VariablesOr(const char* fallback) const;
    // The parameter names the script declaration uses when Variables is empty.
    virtual const char* DefaultVariables() const = 0;
    std::string ScriptVariables() const { return VariablesOr(DefaultVariables()); }

protected:
    void Changed(ActionProperty what);
    // Appends the macro line (when recording and not already inside a recorded action) and
    // runs `body` with the busy flag set; otherwise just runs `body`.
    void Recorded(const std::optional<std::string>& line, bool markBusy, const std::function<void()>& body);

private:
    friend class TCustomMvActionList;

    std::string name_;
    std::string caption_;
    std::string hint_;
    std::string shortCut_;
    bool visible_ = true;
    bool enabled_ = true;
    bool checked_ = false;
    int imageIndex_ = -1;
    TCustomMvActionList* list_ = nullptr;
    std::map<int, ActionChangeListener> listeners_;
    int nextListener_ = 0;
};

class TAbstractAction : public TCustomAbstractAction {
public:
    using TCustomAbstractAction::TCustomAbstractAction;
};

// A command: no value; applying it is the command.
class TNopeAction : public TAbstractAction {
public:
    using TPrepareNopeEvent = std::function<bool()>;
    using TApplyNopeEvent = std::function<void()>;

    explicit TNopeAction(const std::string& name = {}) : TAbstractAction(name) {}

    TPrepareNopeEvent OnPrepare, BeforeSave, InternalPrepare, InternalSave;
    TApplyNopeEvent OnBeforeApply, OnAfterApply, InternalApply;

    bool RegisterScript(ScriptRegistrar& script) override;
    void DoExecute() override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    void ResetAction() override;
    void SetValueText(const std::string& text) override;
    void Apply() override;
    bool LoadFromPrefs(TMorvanePreferences& prefs) override;
    bool SaveToPrefs(TMorvanePreferences& prefs) override;
    ActionValueType ValueType() const override { return ActionValueType::None; }
    const char* DefaultVariables() const override { return ""; }
    bool SetActionValue(const ActionValue& value) override;
};

// The part shared by the actions that hold a value of type T.
template <class T>
class TValueAction : public TAbstractAction {
public:
    using PrepareEvent = std::function<bool(T&)>;
    using ApplyEvent = std::function<void(const T&)>;

    explicit TValueAction(const std::string& name) : TAbstractAction(name) {}

    PrepareEvent OnPrepare, OnDefault, BeforeSave;
    ApplyEvent OnBeforeApply, OnAfterApply;
    PrepareEvent InternalPrepare, InternalDefault, InternalSave;
    ApplyEvent InternalApply;

    const T& CurrentValue() const { return value_; }
    const T& DefaultValue() const { return default_; }
    void SetDefaultValue(const T& value) { default_ = value; }

    // Records the macro line, stores the value and applies it.
    virtual void SetValue(const T& value) {
        Recorded(MacroLine(value), true, [&] {
            value_ = value;
            Changed(ActionProperty::Value);
            Apply();
        });
    }

    void DoExecute() override {
        if (!OnPrepare && !InternalPrepare) return;
        T fresh{};
        if (OnPrepare && !OnPrepare(fresh)) return;
        if (InternalPrepare && !InternalPrepare(fresh)) return;
        SetValue(fresh);
    }

    void ResetAction() override {
        TAbstractAction::ResetAction();
        InternalPrepare = nullptr;
        InternalApply = nullptr;
        InternalDefault = nullptr;
        InternalSave = nullptr;
    }

    void Apply() override {
        const T value = value_;  // a handler may set the action again
        if (OnBeforeApply) OnBeforeApply(value);
        if (InternalApply) InternalApply(value);
        if (OnAfterApply) OnAfterApply(value);
    }

    bool LoadFromPrefs(TMorvanePreferences& prefs) override {
        try {
            if (OnDefault) OnDefault(default_);
            if (InternalDefault) InternalDefault(default_);
            value_ = ReadValue(prefs, default_);
            Changed(ActionProperty::Value);
            if (ApplyWhenLoad) Apply();
            return true;
        } catch (...) {
            return false;
        }
    }

    bool SaveToPrefs(TMorvanePreferences& prefs) override {
        try {
            if (BeforeSave) BeforeSave(value_);
            if (InternalSave) InternalSave(value_);
            return WriteValue(prefs, value_);
        } catch (...) {
            return false;
        }
    }

    ActionValue Value() const override { return value_; }
    bool SetActionValue(const ActionValue& value) override {
        const T* v = std::get_if<T>(&value);
        if (!v) return false;
        SetValue(*v);
        return true;
    }

protected:
    // The macro line of a setter call with this value; nothing when no line is recorded.
    virtual std::optional<std::string> MacroLine(const T& value) const = 0;
    virtual T ReadValue(TMorvanePreferences& prefs, const T& def) = 0;
    virtual bool WriteValue(TMorvanePreferences& prefs, const T& value) = 0;
    // "procedure " SN "(const " V ":" type ");", used by the scalar kinds.
    std::string ScalarDeclaration(const char* type, const char* variablesDefault) const {
        return "procedure " + ScriptName + "(const " + VariablesOr(variablesDefault) + ":" + type + ");";
    }

    T value_{};
    T default_{};
};

class TWidestringAction : public TValueAction<std::string> {
public:
    using TPrepareWideStringEvent = PrepareEvent;
    using TApplyWideStringEvent = ApplyEvent;
    explicit TWidestringAction(const std::string& name = {}) : TValueAction(name) {}

    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    void SetValueText(const std::string& text) override { SetValue(text); }
    ActionValueType ValueType() const override { return ActionValueType::WideString; }
    const char* DefaultVariables() const override { return "aWidestring"; }
    std::string ValueText() const override { return value_; }

protected:
    std::optional<std::string> MacroLine(const std::string& value) const override;
    std::string ReadValue(TMorvanePreferences& prefs, const std::string& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const std::string& value) override;
};

class TWStringsAction : public TValueAction<std::vector<std::string>> {
public:
    using TPrepareWStringsEvent = PrepareEvent;
    using TApplyWStringsEvent = ApplyEvent;
    explicit TWStringsAction(const std::string& name = {}) : TValueAction(name) {}

    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    void SetValueText(const std::string& text) override { SetValue(SplitDelimited(text)); }
    ActionValueType ValueType() const override { return ActionValueType::WStrings; }
    const char* DefaultVariables() const override { return "ws"; }
    std::string ValueText() const override { return JoinDelimited(value_); }

protected:
    std::optional<std::string> MacroLine(const std::vector<std::string>& value) const override;
    std::vector<std::string> ReadValue(TMorvanePreferences& prefs,
                                       const std::vector<std::string>& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const std::vector<std::string>& value) override;
};

class TFontAction : public TValueAction<TFont> {
public:
    using TPrepareFontEvent = PrepareEvent;
    using TApplyFontEvent = ApplyEvent;
    explicit TFontAction(const std::string& name = {}) : TValueAction(name) {}

    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    // A font is not given on the command line.
    void SetValueText(const std::string&) override {}
    ActionValueType ValueType() const override { return ActionValueType::Font; }
    const char* DefaultVariables() const override {
        return "aName,aSize,aColor,isBold,isItalic,isUnderline,isStrikeOut";
    }

protected:
    std::optional<std::string> MacroLine(const TFont& value) const override;
    TFont ReadValue(TMorvanePreferences& prefs, const TFont& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const TFont& value) override;
};

class TIntegerAction : public TValueAction<int32_t> {
public:
    using TPrepareIntegerEvent = PrepareEvent;
    using TApplyIntegerEvent = ApplyEvent;
    explicit TIntegerAction(const std::string& name = {}) : TValueAction(name) {}

    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    // A text that is not a decimal integer gives -1.
    void SetValueText(const std::string& text) override;
    ActionValueType ValueType() const override { return ActionValueType::Integer; }
    const char* DefaultVariables() const override { return "aInteger"; }
    std::string ValueText() const override { return std::to_string(value_); }

protected:
    std::optional<std::string> MacroLine(const int32_t& value) const override;
    int32_t ReadValue(TMorvanePreferences& prefs, const int32_t& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const int32_t& value) override;
};

class TDoubleAction : public TValueAction<double> {
public:
    using TPrepareDoubleEvent = PrepareEvent;
    using TApplyDoubleEvent = ApplyEvent;
    explicit TDoubleAction(const std::string& name = {}) : TValueAction(name) {}

    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    // A text that is not a number gives 0.
    void SetValueText(const std::string& text) override;
    ActionValueType ValueType() const override { return ActionValueType::Double; }
    const char* DefaultVariables() const override { return "aDouble"; }
    std::string ValueText() const override;

protected:
    std::optional<std::string> MacroLine(const double& value) const override;
    double ReadValue(TMorvanePreferences& prefs, const double& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const double& value) override;
};

class TBooleanAction : public TValueAction<bool> {
public:
    using TPrepareBooleanEvent = PrepareEvent;
    using TApplyBooleanEvent = ApplyEvent;
    explicit TBooleanAction(const std::string& name = {}) : TValueAction(name) {}

    // Setting the value it already has does nothing: no macro line, no apply.
    void SetValue(const bool& value) override;
    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    void SetValueText(const std::string& text) override { SetValue(BooleanFromText(text)); }
    ActionValueType ValueType() const override { return ActionValueType::Boolean; }
    const char* DefaultVariables() const override { return "aBoolean"; }
    std::string ValueText() const override { return value_ ? "True" : "False"; }

protected:
    std::optional<std::string> MacroLine(const bool& value) const override;
    bool ReadValue(TMorvanePreferences& prefs, const bool& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const bool& value) override;
};

class TRectAction : public TValueAction<TRect> {
public:
    using TPrepareRectEvent = PrepareEvent;
    using TApplyRectEvent = ApplyEvent;
    explicit TRectAction(const std::string& name = {}) : TValueAction(name) {}

    bool RegisterScript(ScriptRegistrar& script) override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    // "(left,top,right,bottom)"; a text without the parentheses or with fewer than four
    // fields changes nothing, a field that is not an integer reads as 0.
    void SetValueText(const std::string& text) override;
    ActionValueType ValueType() const override { return ActionValueType::Rect; }
    const char* DefaultVariables() const override { return "left,right,top,bottom"; }
    std::string ValueText() const override;

protected:
    std::optional<std::string> MacroLine(const TRect& value) const override;
    TRect ReadValue(TMorvanePreferences& prefs, const TRect& def) override;
    bool WriteValue(TMorvanePreferences& prefs, const TRect& value) override;
};

// A boolean held in the Checked state, with a caption, a hint and an image for each state.
class TCheckAction : public TCustomAbstractAction {
public:
    using TPrepareNopeEvent = std::function<bool()>;
    using TPrepareBooleanEvent = std::function<bool(bool&)>;
    using TApplyEvent = std::function<void()>;

    explicit TCheckAction(const std::string& name = {}) : TCustomAbstractAction(name) {}

    TPrepareNopeEvent OnPrepare, InternalPrepare;
    TPrepareBooleanEvent OnDefault, BeforeSave, InternalDefault, InternalSave;
    TApplyEvent OnBeforeTrueApply, OnAfterTrueApply, OnBeforeFalseApply, OnAfterFalseApply;
    TApplyEvent InternalTrueApply, InternalFalseApply;

    // Setting a state's caption, hint or image while the action is in that state shows it.
    const std::string& TrueCaption() const { return trueCaption_; }
    void SetTrueCaption(const std::string& caption);
    const std::string& FalseCaption() const { return falseCaption_; }
    void SetFalseCaption(const std::string& caption);
    const std::string& TrueHint() const { return trueHint_; }
    void SetTrueHint(const std::string& hint);
    const std::string& FalseHint() const { return falseHint_; }
    void SetFalseHint(const std::string& hint);
    int TrueImageIndex() const { return trueImage_; }
    void SetTrueImageIndex(int index);
    int FalseImageIndex() const { return falseImage_; }
    void SetFalseImageIndex(int index);

    bool DefaultValue() const { return default_; }
    // Also sets Checked and shows the matching caption, hint and image.
    void SetDefaultValue(bool value);

    // Records the macro line, sets the state and applies, even when the state does not change.
    void SetChecked(bool checked);
    void Toggle() { SetChecked(!Checked()); }

    bool RegisterScript(ScriptRegistrar& script) override;
    void DoExecute() override;
    std::string ScriptSyntax() const override;
    std::string SwitchSyntax() const override;
    void ResetAction() override;
    void SetValueText(const std::string& text) override { SetChecked(BooleanFromText(text)); }
    void Apply() override;
    bool LoadFromPrefs(TMorvanePreferences& prefs) override;
    bool SaveToPrefs(TMorvanePreferences& prefs) override;
    ActionValueType ValueType() const override { return ActionValueType::Check; }
    const char* DefaultVariables() const override { return "fisTrue"; }
    ActionValue Value() const override { return Checked(); }
    std::string ValueText() const override { return Checked() ? "True" : "False"; }
    bool SetActionValue(const ActionValue& value) override;

private:
    void ShowState();

    std::string trueCaption_, falseCaption_, trueHint_, falseHint_;
    int trueImage_ = -1;
    int falseImage_ = -1;
    bool default_ = false;
};

}  // namespace velinor
