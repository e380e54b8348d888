#include "actions/actions.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "actions/actions_list.h"
#include "actions/preferences_morvane.h"
#include "actions/value_text.h"

namespace velinor {

MacroState& Macro() {
    static MacroState state;
    return state;
}

std::string PascalQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            // A line break inside quotes would end the line; control characters go as #N codes.
            out += "'#" + std::to_string(static_cast<unsigned char>(c)) + "'";
            continue;
        }
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

bool BooleanFromText(std::string_view textIn) {
    const std::string t = text::Lower(text::Trim(textIn));
    if (t == "true" || t == "vrai" || t == "t" || t == "v") return true;
    const auto n = text::ParseInt32(t);
    return n && *n != 0;
}

// Items end at the delimiter or at a blank; an item opened by a double quote runs to the
// closing quote, a doubled quote standing for one; a delimiter at the very end adds an empty item.
std::vector<std::string> SplitDelimited(std::string_view s) {
    std::vector<std::string> items;
    const auto blank = [&](size_t i) { return i < s.size() && static_cast<unsigned char>(s[i]) <= ' '; };
    size_t p = 0;
    while (blank(p)) ++p;
    while (p < s.size()) {
        std::string item;
        if (s[p] == '"') {
            ++p;
            while (p < s.size()) {
                if (s[p] == '"') {
                    if (p + 1 < s.size() && s[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += s[p++];
            }
        } else {
            const size_t start = p;
            while (p < s.size() && static_cast<unsigned char>(s[p]) > ' ' && s[p] != ',') ++p;
            item.assign(s.substr(start, p - start));
        }
        items.push_back(std::move(item));
        while (blank(p)) ++p;
        if (p < s.size() && s[p] == ',') {
            if (p + 1 == s.size()) items.emplace_back();
            do {
                ++p;
            } while (blank(p));
        }
    }
    return items;
}

std::string JoinDelimited(const std::vector<std::string>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        const std::string& item = items[i];
        bool quote = item.empty();
        for (char c : item)
            if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"') quote = true;
        if (!quote) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            out += c;
            if (c == '"') out += '"';
        }
        out += '"';
    }
    return out;
}

namespace {

std::string WithoutPrefix(const std::string& name) {
    return name.size() > 2 ? name.substr(2) : std::string();
}

[[noreturn]] void BadArguments(const std::string& scriptName) {
    throw std::invalid_argument("Paramètres incorrects pour " + scriptName);
}

void NeedArgs(const std::vector<ScriptArg>& args, size_t count, const std::string& scriptName) {
    if (args.size() < count) BadArguments(scriptName);
}

int64_t ArgInteger(const ScriptArg& arg, const std::string& scriptName) {
    if (const auto* i = std::get_if<int64_t>(&arg)) return *i;
    if (const auto* b = std::get_if<bool>(&arg)) return *b ? 1 : 0;
    if (const auto* d = std::get_if<double>(&arg)) {
        if (std::isfinite(*d) && std::fabs(*d) < 9.2e18) return static_cast<int64_t>(std::trunc(*d));
    }
    BadArguments(scriptName);
}

int32_t ArgInt32(const ScriptArg& arg, const std::string& scriptName) {
    // Pascal integers wrap to 32 bits when passed to an integer parameter.
    return static_cast<int32_t>(static_cast<uint32_t>(ArgInteger(arg, scriptName)));
}

double ArgDouble(const ScriptArg& arg, const std::string& scriptName) {
    if (const auto* d = std::get_if<double>(&arg)) return *d;
    if (const auto* i = std::get_if<int64_t>(&arg)) return static_cast<double>(*i);
    BadArguments(scriptName);
}

bool ArgBool(const ScriptArg& arg, const std::string& scriptName) {
    if (const auto* b = std::get_if<bool>(&arg)) return *b;
    BadArguments(scriptName);
}

std::string ArgString(const ScriptArg& arg, const std::string& scriptName) {
    if (const auto* s = std::get_if<std::string>(&arg)) return *s;
    BadArguments(scriptName);
}

std::vector<std::string> ArgStrings(const ScriptArg& arg, const std::string& scriptName) {
    if (const auto* v = std::get_if<std::vector<std::string>>(&arg)) return *v;
    if (const auto* s = std::get_if<std::string>(&arg)) return {*s};
    BadArguments(scriptName);
}

const char* TrueFalse(bool b) {
    return b ? "True" : "False";
}

}  // namespace

// ---- TCustomAbstractAction ----

TCustomAbstractAction::TCustomAbstractAction(const std::string& name) {
    SetName(name);
}

TCustomAbstractAction::~TCustomAbstractAction() {
    if (list_) list_->RemoveAction(*this);
}

void TCustomAbstractAction::SetName(const std::string& name) {
    const std::string oldDerived = WithoutPrefix(name_);
    if (InternalId.empty() || InternalId == name_) InternalId = name;
    if (ScriptName.empty() || ScriptName == oldDerived) ScriptName = WithoutPrefix(name);
    if (caption_.empty() || caption_ == oldDerived) SetCaption(WithoutPrefix(name));
    name_ = name;
}

void TCustomAbstractAction::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed(ActionProperty::Caption);
}

void TCustomAbstractAction::SetHint(const std::string& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    Changed(ActionProperty::Hint);
}

void TCustomAbstractAction::SetShortCut(const std::string& shortCut) {
    if (shortCut == shortCut_) return;
    shortCut_ = shortCut;
    Changed(ActionProperty::ShortCut);
}

void TCustomAbstractAction::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed(ActionProperty::Visible);
}

void TCustomAbstractAction::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed(ActionProperty::Enabled);
}

void TCustomAbstractAction::SetCheckedState(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    Changed(ActionProperty::Checked);
}

void TCustomAbstractAction::SetImageIndex(int index) {
    if (index == imageIndex_) return;
    imageIndex_ = index;
    Changed(ActionProperty::ImageIndex);
    if (list_ && OnImageChanged) OnImageChanged(index);
}

int TCustomAbstractAction::AddChangeListener(ActionChangeListener listener) {
    listeners_[nextListener_] = std::move(listener);
    return nextListener_++;
}

void TCustomAbstractAction::RemoveChangeListener(int id) {
    listeners_.erase(id);
}

void TCustomAbstractAction::Changed(ActionProperty what) {
    // A listener may remove itself while being told.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners)
        if (listener) listener(*this, what);
}

void TCustomAbstractAction::ResetAction() {
    Category.clear();
    ScriptName.clear();
    SetShortCut({});
    SecondaryShortcuts.clear();
}

std::string TCustomAbstractAction::VariablesOr(const char* fallback) const {
    return Variables.empty() ? std::string(fallback) : Variables;
}

void TCustomAbstractAction::Recorded(const std::optional<std::string>& line, bool markBusy,
                                     const std::function<void()>& body) {
    MacroState& macro = Macro();
    if (!macro.MacroLines || macro.MacroBusy) {
        body();
        return;
    }
    if (line) macro.MacroLines->push_back(*line);
    if (!markBusy) {
        body();
        return;
    }
    macro.MacroBusy = true;
    try {
        body();
    } catch (...) {
        macro.MacroBusy = false;
        throw;
    }
    macro.MacroBusy = false;
}

// ---- TNopeAction ----

bool TNopeAction::RegisterScript(ScriptRegistrar& script) {
    if (ScriptName.empty()) return true;
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>&) { Apply(); });
}

void TNopeAction::DoExecute() {
    if (OnPrepare && !OnPrepare()) return;
    if (InternalPrepare && !InternalPrepare()) return;
    Apply();
}

std::string TNopeAction::ScriptSyntax() const {
    return ScriptName.empty() ? std::string() : "procedure " + ScriptName + ";";
}

std::string TNopeAction::SwitchSyntax() const {
    return "/" + Switch;
}

void TNopeAction::ResetAction() {
    TAbstractAction::ResetAction();
    InternalPrepare = nullptr;
    InternalApply = nullptr;
    InternalSave = nullptr;
}

void TNopeAction::SetValueText(const std::string&) {
    Apply();
}

void TNopeAction::Apply() {
    std::optional<std::string> line;
    if (!ScriptName.empty()) line = "    " + ScriptName + ";";
    Recorded(line, true, [&] {
        if (OnBeforeApply) OnBeforeApply();
        if (InternalApply) InternalApply();
        if (OnAfterApply) OnAfterApply();
    });
}

bool TNopeAction::LoadFromPrefs(TMorvanePreferences&) {
    try {
        if (ApplyWhenLoad) Apply();
        return true;
    } catch (...) {
        return false;
    }
}

bool TNopeAction::SaveToPrefs(TMorvanePreferences&) {
    try {
        if (BeforeSave) BeforeSave();
        if (InternalSave) InternalSave();
        return true;
    } catch (...) {
        return false;
    }
}

bool TNopeAction::SetActionValue(const ActionValue& value) {
    if (!std::holds_alternative<std::monostate>(value)) return false;
    Apply();
    return true;
}

// ---- TWidestringAction ----

bool TWidestringAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 1, ScriptName);
        SetValue(ArgString(args[0], ScriptName));
    });
}

std::string TWidestringAction::ScriptSyntax() const {
    return ScalarDeclaration("widestring", "aWidestring");
}

std::string TWidestringAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aWidestring");
}

std::optional<std::string> TWidestringAction::MacroLine(const std::string& value) const {
    return "    " + ScriptName + "('" + PascalQuoted(value) + "');";
}

std::string TWidestringAction::ReadValue(TMorvanePreferences& prefs, const std::string& def) {
    return prefs.ReadString(ScriptName, def);
}

bool TWidestringAction::WriteValue(TMorvanePreferences& prefs, const std::string& value) {
    return prefs.WriteString(ScriptName, value);
}

// ---- TWStringsAction ----

bool TWStringsAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 1, ScriptName);
        SetValue(ArgStrings(args[0], ScriptName));
    });
}

std::string TWStringsAction::ScriptSyntax() const {
    return "procedure " + ScriptName + "(ws:array of widestring);";
}

std::string TWStringsAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aWStrings");
}

std::optional<std::string> TWStringsAction::MacroLine(const std::vector<std::string>& value) const {
    std::string line = "    " + ScriptName + "([";
    for (size_t i = 0; i < value.size(); ++i) line += (i ? ", '" : "'") + PascalQuoted(value[i]) + "'";
    return line + "]);";
}

std::vector<std::string> TWStringsAction::ReadValue(TMorvanePreferences& prefs,
                                                    const std::vector<std::string>& def) {
    return prefs.ReadStrings(ScriptName, def);
}

bool TWStringsAction::WriteValue(TMorvanePreferences& prefs, const std::vector<std::string>& value) {
    return prefs.WriteStrings(ScriptName, value);
}

// ---- TFontAction ----

bool TFontAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 7, ScriptName);
        TFont font;
        font.Name = ArgString(args[0], ScriptName);
        font.Size = ArgInt32(args[1], ScriptName);
        font.Color = ArgInt32(args[2], ScriptName);
        font.Bold = ArgBool(args[3], ScriptName);
        font.Italic = ArgBool(args[4], ScriptName);
        font.Underline = ArgBool(args[5], ScriptName);
        font.StrikeOut = ArgBool(args[6], ScriptName);
        SetValue(font);
    });
}

std::string TFontAction::ScriptSyntax() const {
    return "procedure " + ScriptName +
           "(aName:widestring;aSize:integer;aColor:TColor;isBold:Boolean;isItalic:Boolean;isUnderline:"
           "Boolean;"
           "isStrikeOut:Boolean);";
}

std::string TFontAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aFont");
}

std::optional<std::string> TFontAction::MacroLine(const TFont& value) const {
    char colour[16];
    std::snprintf(colour, sizeof colour, "%06X", static_cast<unsigned>(value.Color));
    return "    " + ScriptName + "('" + PascalQuoted(value.Name) + "', " + std::to_string(value.Size) +
           ", $" + colour + ", " + TrueFalse(value.Bold) + ", " + TrueFalse(value.Italic) + ", " +
           TrueFalse(value.Underline) + ", " + TrueFalse(value.StrikeOut) + ");";
}

TFont TFontAction::ReadValue(TMorvanePreferences& prefs, const TFont& def) {
    return prefs.ReadFont(ScriptName, def);
}

bool TFontAction::WriteValue(TMorvanePreferences& prefs, const TFont& value) {
    return prefs.WriteFont(ScriptName, value);
}

// ---- TIntegerAction ----

bool TIntegerAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 1, ScriptName);
        SetValue(ArgInt32(args[0], ScriptName));
    });
}

std::string TIntegerAction::ScriptSyntax() const {
    return ScalarDeclaration("integer", "aInteger");
}

std::string TIntegerAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aInteger");
}

void TIntegerAction::SetValueText(const std::string& text) {
    SetValue(text::ParseInt32(text).value_or(-1));
}

std::optional<std::string> TIntegerAction::MacroLine(const int32_t& value) const {
    return "    " + ScriptName + "(" + std::to_string(value) + ");";
}

int32_t TIntegerAction::ReadValue(TMorvanePreferences& prefs, const int32_t& def) {
    return prefs.ReadInteger(ScriptName, def);
}

bool TIntegerAction::WriteValue(TMorvanePreferences& prefs, const int32_t& value) {
    return prefs.WriteInteger(ScriptName, value);
}

// ---- TDoubleAction ----

bool TDoubleAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 1, ScriptName);
        SetValue(ArgDouble(args[0], ScriptName));
    });
}

std::string TDoubleAction::ScriptSyntax() const {
    return ScalarDeclaration("Double", "aDouble");
}

std::string TDoubleAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aDouble");
}

void TDoubleAction::SetValueText(const std::string& text) {
    SetValue(text::ParseDouble(text).value_or(0.0));
}

std::string TDoubleAction::ValueText() const {
    return text::FormatExact(value_);
}

std::optional<std::string> TDoubleAction::MacroLine(const double& value) const {
    return "    " + ScriptName + "(" + text::FormatGeneral(value) + ");";
}

double TDoubleAction::ReadValue(TMorvanePreferences& prefs, const double& def) {
    return prefs.ReadDouble(ScriptName, def);
}

bool TDoubleAction::WriteValue(TMorvanePreferences& prefs, const double& value) {
    return prefs.WriteDouble(ScriptName, value);
}

// ---- TBooleanAction ----

void TBooleanAction::SetValue(const bool& value) {
    if (value == value_) return;
    TValueAction::SetValue(value);
}

bool TBooleanAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 1, ScriptName);
        SetValue(ArgBool(args[0], ScriptName));
    });
}

std::string TBooleanAction::ScriptSyntax() const {
    return ScalarDeclaration("Boolean", "aBoolean");
}

std::string TBooleanAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aBoolean");
}

std::optional<std::string> TBooleanAction::MacroLine(const bool& value) const {
    return "    " + ScriptName + "(" + TrueFalse(value) + ");";
}

bool TBooleanAction::ReadValue(TMorvanePreferences& prefs, const bool& def) {
    return prefs.ReadBoolean(ScriptName, def);
}

bool TBooleanAction::WriteValue(TMorvanePreferences& prefs, const bool& value) {
    return prefs.WriteBoolean(ScriptName, value);
}

// ---- TRectAction ----

// The script procedure takes left, right, top, bottom in that order.
bool TRectAction::RegisterScript(ScriptRegistrar& script) {
    return script.RegisterProcedure(ScriptSyntax(), [this](const std::vector<ScriptArg>& args) {
        NeedArgs(args, 4, ScriptName);
        TRect r;
        r.Left = ArgInt32(args[0], ScriptName);
        r.Right = ArgInt32(args[1], ScriptName);
        r.Top = ArgInt32(args[2], ScriptName);
        r.Bottom = ArgInt32(args[3], ScriptName);
        SetValue(r);
    });
}

std::string TRectAction::ScriptSyntax() const {
    return ScalarDeclaration("integer", "left,right,top,bottom");
}

std::string TRectAction::SwitchSyntax() const {
    return "/" + Switch + "=" + VariablesOr("aRect");
}

void TRectAction::SetValueText(const std::string& textIn) {
    const std::string_view t = text::Trim(textIn);
    if (t.size() < 2 || t.front() != '(' || t.back() != ')') return;
    std::vector<std::string_view> fields;
    std::string_view inner = t.substr(1, t.size() - 2);
    while (true) {
        const auto comma = inner.find(',');
        fields.push_back(inner.substr(0, comma));
        if (comma == std::string_view::npos) break;
        inner.remove_prefix(comma + 1);
    }
    if (fields.size() < 4) return;
    const auto field = [&](size_t i) { return text::ParseInt32(fields[i]).value_or(0); };
    SetValue(TRect{field(0), field(1), field(2), field(3)});
}

std::string TRectAction::ValueText() const {
    return "(" + std::to_string(value_.Left) + "," + std::to_string(value_.Top) + "," +
           std::to_string(value_.Right) + "," + std::to_string(value_.Bottom) + ")";
}

std::optional<std::string> TRectAction::MacroLine(const TRect& value) const {
    return "    " + ScriptName + "(" + std::to_string(value.Left) + "," + std::to_string(value.Right) + "," +
           std::to_string(value.Top) + "," + std::to_string(value.Bottom) + ");";
}

TRect TRectAction::ReadValue(TMorvanePreferences& prefs, const TRect& def) {
    return prefs.ReadRect(ScriptName, def);
}

bool TRectAction::WriteValue(TMorvanePreferences& prefs, const TRect& value) {
    return prefs.WriteRect(ScriptName, value);
}

// ---- TCheckAction ----

void TCheckAction::SetTrueCaption(const std::string& caption) {
    trueCaption_ = caption;
    if (Checked()) SetCaption(caption);
}

void TCheckAction::SetFalseCaption(const std::string& caption) {
    falseCaption_ = caption;
    if (!Checked()) SetCaption(caption);
}

void TCheckAction::SetTrueHint(const std::string& hint) {
    trueHint_ = hint;
    if (Checked()) SetHint(hint);
}

void TCheckAction::SetFalseHint(const std::string& hint) {
    falseHint_ = hint;
    if (!Checked()) SetHint(hint);
}

void TCheckAction::SetTrueImageIndex(int index) {
    trueImage_ = index;
    if (Checked()) SetImageIndex(index);
}

void TCheckAction::SetFalseImageIndex(int index) {
    falseImage_ = index;
    if (!Checked()) SetImageIndex(index);
}

void TCheckAction::ShowState() {
    SetCaption(Checked() ? trueCaption_ : falseCaption_);
    SetHint(Checked() ? trueHint_ : falseHint_);
    SetImageIndex(Checked() ? trueImage_ : falseImage_);
}

void TCheckAction::SetDefaultValue(bool value) {
    default_ = value;
    SetCheckedState(value);
    ShowState();
}

void TCheckAction::SetChecked(bool checked) {
    // Stopping the recorder is never recorded; running a script is not recorded either, but the
    // actions the script sets are not recorded one by one.
    std::optional<std::string> line;
    bool markBusy = true;
    if (InternalId == "naStopMacro") {
        markBusy = false;
    } else if (ScriptName != "Script") {
        line = "    set" + ScriptName + "(" + TrueFalse(checked) + ");";
    }
    Recorded(line, markBusy, [&] {
        SetCheckedState(checked);
        Apply();
    });
}

bool TCheckAction::RegisterScript(ScriptRegistrar& script) {
    const bool set = script.RegisterProcedure("procedure set" + ScriptName + "(const aBoolean:Boolean);",
                                              [this](const std::vector<ScriptArg>& args) {
                                                  NeedArgs(args, 1, "set" + ScriptName);
                                                  SetChecked(ArgBool(args[0], "set" + ScriptName));
                                              });
    const bool toggle = script.RegisterProcedure("procedure " + ScriptName + ";",
                                                 [this](const std::vector<ScriptArg>&) { Toggle(); });
    return set && toggle;
}

void TCheckAction::DoExecute() {
    if (OnPrepare && !OnPrepare()) return;
    if (InternalPrepare && !InternalPrepare()) return;
    Toggle();
}

std::string TCheckAction::ScriptSyntax() const {
    return "procedure set" + ScriptName + "(const " + VariablesOr("fisTrue") + ":Boolean);\r\nprocedure " +
           ScriptName + ";";
}

std::string TCheckAction::SwitchSyntax() const {
    return "/" + Switch + " +" + Switch + " -" + Switch;
}

void TCheckAction::ResetAction() {
    TCustomAbstractAction::ResetAction();
    InternalPrepare = nullptr;
    InternalTrueApply = nullptr;
    InternalFalseApply = nullptr;
    InternalDefault = nullptr;
    InternalSave = nullptr;
}

void TCheckAction::Apply() {
    if (Checked()) {
        if (OnBeforeTrueApply) OnBeforeTrueApply();
        if (InternalTrueApply) InternalTrueApply();
        if (OnAfterTrueApply) OnAfterTrueApply();
    } else {
        if (OnBeforeFalseApply) OnBeforeFalseApply();
        if (InternalFalseApply) InternalFalseApply();
        if (OnAfterFalseApply) OnAfterFalseApply();
    }
    ShowState();
}

bool TCheckAction::LoadFromPrefs(TMorvanePreferences& prefs) {
    try {
        if (OnDefault) OnDefault(default_);
        if (InternalDefault) InternalDefault(default_);
        SetCheckedState(prefs.ReadBoolean(ScriptName, default_));
        ShowState();
        if (ApplyWhenLoad) Apply();
        return true;
    } catch (...) {
        return false;
    }
}

bool TCheckAction::SaveToPrefs(TMorvanePreferences& prefs) {
    try {
        bool value = Checked();
        if (BeforeSave) BeforeSave(value);
        if (InternalSave) InternalSave(value);
        return prefs.WriteBoolean(ScriptName, value);
    } catch (...) {
        return false;
    }
}

bool TCheckAction::SetActionValue(const ActionValue& value) {
    const bool* b = std::get_if<bool>(&value);
    if (!b) return false;
    SetChecked(*b);
    return true;
}

}  // namespace velinor
