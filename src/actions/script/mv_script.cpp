#include "actions/script/mv_script.h"

#include <fnmatch.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace velinor {

using script::Value;

namespace fs = std::filesystem;

struct TMvScript::FindState {
    std::string folder;
    std::vector<std::string> names;
    size_t next = 0;
};

namespace {

size_t lastSeparator(const std::string& path) {
    return path.find_last_of('/');
}

// Types as the platform's user-interface library defines them, so scripts written for it compile.
const std::pair<const char*, const char*> kTypes[] = {
    {"TAlignment", "(taLeftJustify, taRightJustify, taCenter)"},
    {"HResult", "Longint"},
    {"TGUID", "record D1: LongWord; D2: Word; D3: Word; D4: array[0..7] of Byte; end"},
    {"TCLSID", "TGUID"},
    {"TIID", "TGUID"},
    {"TPoint", "record X, Y: Longint; end"},
    {"TScrollBarKind", "(sbHorizontal, sbVertical)"},
    {"TScrollBarInc", "1..32767"},
    {"TFormBorderStyle", "(bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)"},
    {"TBorderStyle", "TFormBorderStyle"},
    {"TWindowState", "(wsNormal, wsMinimized, wsMaximized)"},
    {"TFormStyle", "(fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)"},
    {"TPosition",
     "(poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, "
     "poMainFormCenter, poOwnerFormCenter)"},
    {"TPrintScale", "(poNone, poProportional, poPrintToFit)"},
    {"TCloseAction", "(caNone, caHide, caFree, caMinimize)"},
    {"TBorderIcon", "(biSystemMenu, biMinimize, biMaximize, biHelp)"},
    {"TBorderIcons", "set of TBorderIcon"},
    {"THELPCONTEXT", "Longint"},
    {"TRect", "record Left, Top, Right, Bottom: Longint; end"},
    {"TEditCharCase", "(ecNormal, ecUpperCase, ecLowerCase)"},
    {"TScrollStyle", "(ssNone, ssHorizontal, ssVertical, ssBoth)"},
    {"TComboBoxStyle", "(csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable)"},
    {"TCheckBoxState", "(cbUnchecked, cbChecked, cbGrayed)"},
    {"TListBoxStyle", "(lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable)"},
    {"TScrollCode",
     "(scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll)"},
    {"TEOwnerDrawState",
     "(odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, "
     "odNoAccel, odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit)"},
    {"TTextLayout", "(tlTop, tlCenter, tlBottom)"},
    {"TOwnerDrawState", "set of TEOwnerDrawState"},
    {"TSHORTCUT", "Word"},
    {"TSavePreferences", "(spRegistre,spPortable,spNone)"},
    // Graphics types of the standard import.
    {"TFontStyle", "(fsBold, fsItalic, fsUnderline, fsStrikeOut)"},
    {"TFontStyles", "set of TFontStyle"},
    {"TFontPitch", "(fpDefault, fpVariable, fpFixed)"},
    {"TPenStyle", "(psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)"},
    {"TBrushStyle",
     "(bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross)"},
};

const std::pair<const char*, int64_t> kColours[] = {
    {"clBlack", 0x000000},      {"clMaroon", 0x000080},  {"clGreen", 0x008000}, {"clOlive", 0x008080},
    {"clNavy", 0x800000},       {"clPurple", 0x800080},  {"clTeal", 0x808000},  {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},     {"clRed", 0x0000FF},     {"clLime", 0x00FF00},  {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},       {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 12639424}, {"clSkyBlue", 15780518}, {"clCream", 15793151},
};

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string ScriptChangeFileExt(const std::string& path, const std::string& ext) {
    const size_t sep = lastSeparator(path);
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + ext;
    return path.substr(0, dot) + ext;
}

std::string ScriptExtractFileName(const std::string& path) {
    const size_t sep = lastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ScriptExtractFilePath(const std::string& path) {
    const size_t sep = lastSeparator(path);
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string ScriptExtractFileExt(const std::string& path) {
    const size_t sep = lastSeparator(path);
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return {};
    return path.substr(dot);
}

TMvScript::TMvScript() : find_(std::make_unique<FindState>()) {
    Macro().MacroBusy = false;
}

namespace {

ScriptArg toScriptArg(const Value& v) {
    if (auto b = std::get_if<bool>(&v.data)) return *b;
    if (auto i = std::get_if<int64_t>(&v.data)) return *i;
    if (auto d = std::get_if<double>(&v.data)) return *d;
    if (auto s = std::get_if<std::string>(&v.data)) return *s;
    std::vector<std::string> items;
    if (const script::Aggregate* a = v.asAggregate())
        for (const auto& item : a->items) items.push_back(item.asString());
    return items;
}

}  // namespace

bool TMvScript::RegisterProcedure(const std::string& declaration, ScriptProc proc) {
    if (declaration.empty() || !proc) return false;
    declarations_.addRoutine(declaration, [proc = std::move(proc)](std::vector<Value>& args) {
        std::vector<ScriptArg> converted;
        converted.reserve(args.size());
        for (const auto& a : args) converted.push_back(toScriptArg(a));
        proc(converted);
        return Value{};
    });
    return true;
}

void StartMacro(std::vector<std::string>& lines, const std::string& whenText) {
    lines = {"//Macro enregistrée le " + whenText, "", "begin"};
    Macro().MacroBusy = false;
    Macro().MacroLines = &lines;
}

void StopMacro() {
    if (Macro().MacroLines) Macro().MacroLines->push_back("end.");
    Macro().MacroLines = nullptr;
    Macro().MacroBusy = false;
}

TMvScript::~TMvScript() = default;

void TMvScript::RegisterHelpers() {
    auto& d = declarations_;
    for (const auto& [name, def] : kTypes) d.addType(name, def);
    d.addClass("TFont",
               "Name: widestring; Size: Integer; Color: TColor; Style: TFontStyles; Pitch: TFontPitch; "
               "Height: Integer; Charset: Byte");
    d.addClass("TPen", "Color: TColor; Width: Integer; Style: TPenStyle");
    d.addClass("TBrush", "Color: TColor; Style: TBrushStyle");
    d.addClass("TGraphic", "Width: Integer; Height: Integer; Empty: Boolean; Transparent: Boolean");
    d.addClass("TBitmap", "", "TGraphic");
    d.addClass("TCanvas", "Font: TFont; Pen: TPen; Brush: TBrush");
    for (const auto& [name, value] : kColours) d.addConstant(name, "Integer", Value::integer(value));
    d.addConstant("SecsPerDay", "Longint", Value::integer(86400));
    d.addConstant("MSecPerDay", "Longint", Value::integer(86400000));

    FindState* find = find_.get();
    auto nextFound = [find]() -> std::string {
        if (find->next >= find->names.size()) return {};
        return find->folder + find->names[find->next++];
    };
    d.addRoutine("function findfirst(dossier:widestring;masque:widestring):widestring;",
                 [find, nextFound](std::vector<Value>& a) {
                     find->folder = withSlash(a[0].asString());
                     find->names.clear();
                     find->next = 0;
                     // "*.*" matches every name, with or without a dot, as the mask always has.
                     const std::string mask = a[1].asString() == "*.*" ? std::string("*") : a[1].asString();
                     std::error_code ec;
                     for (fs::directory_iterator it(find->folder, ec), end; !ec && it != end;
                          it.increment(ec)) {
                         const std::string name = it->path().filename().string();
                         if (fnmatch(mask.c_str(), name.c_str(), 0) == 0) find->names.push_back(name);
                     }
                     std::sort(find->names.begin(), find->names.end());
                     return Value::string(nextFound());
                 });
    d.addRoutine("function findnext:widestring;",
                 [nextFound](std::vector<Value>&) { return Value::string(nextFound()); });
    d.addRoutine("procedure findclose;", [find](std::vector<Value>&) {
        find->names.clear();
        find->next = 0;
        return Value{};
    });
    d.addRoutine("procedure showmessage(z:string);", [this](std::vector<Value>& a) {
        if (OnShowMessage)
            OnShowMessage(a[0].asString());
        else
            Messages.push_back(a[0].asString());
        return Value{};
    });
    d.addRoutine("procedure sleep(milli:Cardinal);", [this](std::vector<Value>& a) {
        // Waits in short slices so a stop request ends the wait.
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(std::max<int64_t>(0, a[0].asInteger()));
        while (std::chrono::steady_clock::now() < end) {
            if (engine_.stopRequested()) throw std::runtime_error("Exécution interrompue");
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                std::chrono::milliseconds(20), end - std::chrono::steady_clock::now()));
        }
        return Value{};
    });
    d.addRoutine("procedure processmessages;", [this](std::vector<Value>&) {
        if (OnProcessMessages) OnProcessMessages();
        return Value{};
    });
    d.addRoutine("procedure forcedirectories(dir:widestring);", [](std::vector<Value>& a) {
        std::error_code ec;
        fs::create_directories(a[0].asString(), ec);
        if (ec)
            throw std::runtime_error("Impossible de créer le dossier " + a[0].asString() + " : " +
                                     ec.message());
        return Value{};
    });
    d.addRoutine("function changefileext(fichier:widestring;ext:widestring):widestring;",
                 [](std::vector<Value>& a) {
                     return Value::string(ScriptChangeFileExt(a[0].asString(), a[1].asString()));
                 });
    d.addRoutine("function deletefiletorecyclebin(fichier:widestring):Boolean;",
                 [this](std::vector<Value>& a) {
                     return Value::boolean(OnMoveToTrash ? OnMoveToTrash(a[0].asString()) : false);
                 });
    d.addRoutine("procedure renamefile(oldfile,newname:widestring);", [](std::vector<Value>& a) {
        const std::string& from = a[0].asString();
        const std::string& to = a[1].asString();
        std::error_code ec;
        // Never replace a file that already has the new name: its data would be lost.
        if (fs::exists(fs::symlink_status(to, ec)))
            throw std::runtime_error("Impossible de renommer " + from + " en " + to +
                                     " : le fichier existe déjà");
        fs::rename(from, to, ec);
        if (ec)
            throw std::runtime_error("Impossible de renommer " + from + " en " + to + " : " + ec.message());
        return Value{};
    });
    d.addRoutine("function extractfilename(fichier:widestring):widestring;",
                 [](std::vector<Value>& a) { return Value::string(ScriptExtractFileName(a[0].asString())); });
    d.addRoutine("function extractfilepath(fichier:widestring):widestring;",
                 [](std::vector<Value>& a) { return Value::string(ScriptExtractFilePath(a[0].asString())); });
    d.addRoutine("function extractfileext(fichier:widestring):widestring;",
                 [](std::vector<Value>& a) { return Value::string(ScriptExtractFileExt(a[0].asString())); });
}

bool TMvScript::CompileScript() {
    Messages.clear();
    compiled_ = false;
    declarations_.clear();
    RegisterHelpers();
    if (OnCompile) OnCompile(*this);
    compiled_ = engine_.compile(Script, declarations_);
    for (const auto& m : engine_.messages()) Messages.push_back(m.format());
    Messages.push_back(compiled_ ? "*** Compilation succeeded ***" : "### Compilation Failed");
    return compiled_;
}

bool TMvScript::RunScript() {
    Messages.clear();
    if (!compiled_) {
        Messages.push_back("### Compilation non prête");
        return false;
    }
    if (OnProcessMessages) engine_.setPollHook(OnProcessMessages);
    const script::RunOutcome outcome = engine_.run();
    find_->names.clear();
    if (outcome.ok)
        Messages.push_back("*** Exécution réussie ***");
    else
        Messages.push_back("### Erreur pendant l'exécution: " + outcome.error);
    return outcome.ok;
}

}  // namespace velinor
