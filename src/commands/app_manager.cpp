#include "commands/app_manager.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "media/datetime_format.h"
#include "platform/atomic_file.h"
#include "platform/product.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Join(const std::vector<std::string>& lines, const char* separator) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += separator;
        out += lines[i];
    }
    return out;
}

}  // namespace

// ---- help window ----

std::string HelpItemText(const TCustomAbstractAction& action) {
    return action.ScriptName.empty() ? action.Name() : action.ScriptName;
}

std::string HelpSortKey(const TCustomAbstractAction& action, HelpOrder order) {
    const std::string text = HelpItemText(action);
    switch (order) {
        case HelpOrder::Alpha:
            return text;
        case HelpOrder::Shortcut:
            return (action.ShortCut().empty() ? std::string("zzz") : action.ShortCut()) + text;
        case HelpOrder::Switch:
            return (action.Switch.empty() ? std::string("zzz") : action.Switch) + text;
    }
    return text;
}

std::vector<TCustomAbstractAction*> HelpSorted(std::vector<TCustomAbstractAction*> actions, HelpOrder order) {
    std::stable_sort(actions.begin(), actions.end(), [order](const auto* a, const auto* b) {
        return Lower(HelpSortKey(*a, order)) < Lower(HelpSortKey(*b, order));
    });
    return actions;
}

HelpDetails HelpDetailsOf(const TCustomAbstractAction& action) {
    HelpDetails d;
    d.Title = HelpItemText(action) + "    " + action.ShortCut();
    d.Hint = action.Hint();
    d.Syntax = action.ScriptSyntax();
    d.Switch = action.Switch.empty() ? std::string("N/A") : action.SwitchSyntax();
    d.Comments = Join(action.Comments, "\n");
    return d;
}

// ---- about page ----

std::string BuildDateText() {
    // The date this version was last updated: 8 October 2023.
    return FormatDateTime("dd/mm/yyyy", *MakeDatecode({2023, 10, 8, 0, 0, 0}));
}

AboutTexts AboutPageTexts() {
    AboutTexts t;
    t.Title = product::kName;
    t.Version = std::string("Version ") + product::kVersion;
    t.Date = "Mise à jour le " + BuildDateText();
    t.Maker = std::string("Un programme de ") + product::kMaker;
    t.Contact = product::kEmailAddress;
    t.Web = product::kWebAddress;
    t.Blog = product::kBlogAddress;
    return t;
}

std::string CloseLinkText(const std::string& key, const std::string& link) {
    return "Tapez " + key + " pour quitter cette page ou <a href=\"" + link + "\">cliquez ici</a>.";
}

// ---- script window ----

std::vector<std::string> NewScriptLines() {
    return {"//Ecrivez un script entre begin et end.", "//N'oubliez pas de finir chaque commande par ;",
            "begin", "", "end."};
}

std::string MacroWhenText(Datecode now) {
    return FormatDateTime("dddddd \"à\" tt", now);
}

TScriptFichierMan::TScriptFichierMan()
    : naNewFile(Actions.Create<TNopeAction>("naNewFile")),
      waOpenFile(Actions.Create<TWidestringAction>("waOpenFile")),
      naPasteFile(Actions.Create<TNopeAction>("naPasteFile")),
      naSaveFile(Actions.Create<TNopeAction>("naSaveFile")),
      waSaveFileAs(Actions.Create<TWidestringAction>("waSaveFileAs")),
      naCloseFile(Actions.Create<TNopeAction>("naCloseFile")),
      waInitialDir(Actions.Create<TWidestringAction>("waInitialDir")),
      waCurrentFileName(Actions.Create<TWidestringAction>("waCurrentFileName")),
      baOpenLastFile(Actions.Create<TBooleanAction>("baOpenLastFile")),
      naParentFolder(Actions.Create<TNopeAction>("naParentFolder")),
      saRecentFiles(Actions.Create<TWStringsAction>("saRecentFiles")) {
    for (int i = 1; i <= kRecentScripts; ++i)
        naRecent.push_back(&Actions.Create<TNopeAction>("naRecent" + std::to_string(i)));
    setup();
}

void TScriptFichierMan::setup() {
    struct Row {
        TCustomAbstractAction* action;
        const char* caption;
        const char* shortCut;
        const char* script;
    };
    const Row rows[] = {
        {&naNewFile, "Nouveau...", "Ctrl+N", "NewScript"},
        {&waOpenFile, "Ouvrir...", "Ctrl+O", "OpenScript"},
        {&naPasteFile, "Coller", "Ctrl+V", "PasteScript"},
        {&naSaveFile, "Enregistrer", "Ctrl+S", "SaveScript"},
        {&waSaveFileAs, "Enregistrer sous...", "Shift+Ctrl+S", "SaveScriptAs"},
        {&naCloseFile, "Fermer", "Ctrl+F", "CloseScript"},
        {&waInitialDir, "Dossier initial", "", "InitialDirScript"},
        {&waCurrentFileName, "Fichier Courant", "", "CurrentScriptName"},
        {&baOpenLastFile, "Fichier précédent", "", "OpenLastScript"},
        {&naParentFolder, "Dossier parent", "F9", "ScriptParentFolder"},
        {&saRecentFiles, "Scripts récents", "", "RecentScripts"},
    };
    for (const Row& r : rows) {
        r.action->SetCaption(r.caption);
        r.action->SetShortCut(r.shortCut);
        r.action->ScriptName = r.script;
        r.action->Category = "internal";
    }
    for (int i = 0; i < kRecentScripts; ++i) {
        TNopeAction& recent = *naRecent[i];
        recent.SetCaption(std::to_string(i + 1) + " ");
        recent.ScriptName = "Recent" + std::to_string(i + 1);
        recent.Category = "internal";
        recent.IncludePrefs = false;
        recent.SetVisible(false);
        recent.InternalApply = [this, i] {
            if (i < static_cast<int>(recent_.size())) waOpenFile.SetValue(recent_[i]);
        };
    }
    for (TNopeAction* command : {&naNewFile, &naPasteFile, &naSaveFile, &naCloseFile, &naParentFolder})
        command->IncludePrefs = false;
    waOpenFile.IncludePrefs = false;
    waSaveFileAs.IncludePrefs = false;

    naNewFile.InternalApply = [this] {
        if (!mayDiscard()) return;
        setEditor(Join(NewScriptLines(), "\n"));
        setState("", "Nouveau", false);
        waCurrentFileName.SetValue(std::string());
    };
    waOpenFile.InternalPrepare = [this](std::string& value) {
        if (!Dialogs.OpenFile) return false;
        const auto chosen = Dialogs.OpenFile(kOpenTitle, kFilter, waInitialDir.CurrentValue());
        if (!chosen) return false;
        value = *chosen;
        return true;
    };
    waOpenFile.InternalApply = [this](const std::string& path) {
        if (path.empty() || (path == fileName_ && !modified_)) return;
        if (!mayDiscard()) return;
        open(path);
    };
    naPasteFile.InternalApply = [this] {
        if (!ClipboardFiles) return;
        const std::vector<std::string> files = ClipboardFiles();
        if (!files.empty()) waOpenFile.SetValue(files.front());
    };
    naSaveFile.InternalApply = [this] {
        if (fileName_.empty())
            waSaveFileAs.Execute();
        else
            save(fileName_);
    };
    waSaveFileAs.InternalPrepare = [this](std::string& value) {
        if (!Dialogs.SaveFile) return false;
        const std::string start = fileName_.empty() ? waInitialDir.CurrentValue() : fileName_;
        const auto chosen = Dialogs.SaveFile(kSaveTitle, kFilter, start);
        if (!chosen) return false;
        value = *chosen;
        if (std::filesystem::path(value).extension().empty()) value += kDefaultExt;
        return true;
    };
    waSaveFileAs.InternalApply = [this](const std::string& path) {
        if (!path.empty()) save(path);
    };
    naCloseFile.InternalApply = [this] {
        if (!mayDiscard()) return;
        setEditor(std::string());
        setState("", "", false);
        waCurrentFileName.SetValue(std::string());
    };
    naParentFolder.InternalApply = [this] {
        if (fileName_.empty() || !ShowInFileManager) return;
        const std::string error = ShowInFileManager(fileName_);
        if (!error.empty()) report(error);
    };

    // The previous file reopens at load when asked to; the list of recent files comes back with
    // the preferences.
    baOpenLastFile.SetDefaultValue(true);
    baOpenLastFile.ApplyWhenLoad = true;
    saRecentFiles.ApplyWhenLoad = true;
    saRecentFiles.BeforeSave = [this](std::vector<std::string>& value) {
        value = recent_;
        return true;
    };
    saRecentFiles.InternalApply = [this](const std::vector<std::string>& value) {
        recent_ = value;
        if (recent_.size() > static_cast<size_t>(kRecentScripts)) recent_.resize(kRecentScripts);
        showRecent();
    };
    waCurrentFileName.BeforeSave = [this](std::string& value) {
        value = fileName_;
        return true;
    };
    baOpenLastFile.InternalApply = [this](const bool& reopen) {
        const std::string last = waCurrentFileName.CurrentValue();
        if (reopen && !last.empty() && last != fileName_ && std::filesystem::is_regular_file(last))
            open(last);
    };
}

void TScriptFichierMan::report(const std::string& message) {
    if (OnError) OnError(message);
}

void TScriptFichierMan::setEditor(const std::string& text) {
    settingText_ = true;
    if (SetText) SetText(text);
    settingText_ = false;
}

void TScriptFichierMan::setState(const std::string& file, const std::string& state, bool modified) {
    fileName_ = file;
    state_ = state;
    modified_ = modified;
    if (OnStatus) OnStatus();
}

void TScriptFichierMan::Edited() {
    if (settingText_ || modified_) return;
    setState(fileName_, "Modifié", true);
}

void TScriptFichierMan::ShowText(const std::string& text) {
    setEditor(text);
    setState(fileName_, "Modifié", true);
}

bool TScriptFichierMan::mayDiscard() {
    if (!modified_) return true;
    const DiscardAnswer answer = AskDiscard ? AskDiscard(fileName_) : DiscardAnswer::Cancel;
    if (answer == DiscardAnswer::Cancel) return false;
    if (answer == DiscardAnswer::Discard) return true;
    if (fileName_.empty()) {
        waSaveFileAs.Execute();
        return !modified_;
    }
    return save(fileName_);
}

bool TScriptFichierMan::open(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    if (!in || in.bad()) {
        report("Impossible d'ouvrir le script " + path);
        return false;
    }
    std::string text;
    for (char c : bytes.str())
        if (c != '\r') text += c;
    setEditor(text);
    setState(path, "Ouvert", false);
    waCurrentFileName.SetValue(path);
    addRecent(path);
    return true;
}

bool TScriptFichierMan::save(const std::string& path) {
    // Text files of this program end their lines with CR LF.
    std::string bytes;
    const std::string text = GetText ? GetText() : std::string();
    for (char c : text) {
        if (c == '\n') bytes += '\r';
        if (c != '\r') bytes += c;
    }
    const std::string error = WriteFileAtomically(path, bytes);
    if (!error.empty()) {
        report("Impossible d'enregistrer le script " + path + " : " + error);
        return false;
    }
    setState(path, "Enregistré", false);
    waCurrentFileName.SetValue(path);
    addRecent(path);
    return true;
}

void TScriptFichierMan::addRecent(const std::string& path) {
    recent_.erase(std::remove(recent_.begin(), recent_.end(), path), recent_.end());
    recent_.insert(recent_.begin(), path);
    if (recent_.size() > static_cast<size_t>(kRecentScripts)) recent_.resize(kRecentScripts);
    showRecent();
}

void TScriptFichierMan::showRecent() {
    for (int i = 0; i < kRecentScripts; ++i) {
        const bool used = i < static_cast<int>(recent_.size());
        naRecent[i]->SetCaption(std::to_string(i + 1) + " " + (used ? recent_[i] : std::string()));
        naRecent[i]->SetVisible(used);
    }
}

// ---- the script window's actions ----

TScriptFormActions::TScriptFormActions(TMvScript& script, TScriptFichierMan& files)
    : naExecuteMacro(Actions.Create<TNopeAction>("naExecuteMacro")),
      naStartMacro(Actions.Create<TNopeAction>("naStartMacro")),
      naStopMacro(Actions.Create<TNopeAction>("naStopMacro")),
      raScriptFormSave(Actions.Create<TRectAction>("raScriptFormSave")),
      script_(script),
      files_(files) {
    naExecuteMacro.SetCaption("Exécuter");
    naExecuteMacro.SetShortCut("F5");
    naExecuteMacro.ScriptName = "ExecuteMacro";
    naStartMacro.SetCaption("Démarrer");
    naStartMacro.SetShortCut("F3");
    naStopMacro.SetCaption("Arrêter");
    naStopMacro.SetShortCut("F4");
    naStopMacro.SetEnabled(false);
    raScriptFormSave.ScriptName = "ScriptFormSave";
    for (TCustomAbstractAction* a : Actions.Actions()) {
        a->Category = "internal";
        a->IncludePrefs = false;
    }
    raScriptFormSave.IncludePrefs = true;
    raScriptFormSave.ApplyWhenLoad = true;

    naExecuteMacro.InternalApply = [this] {
        if (recording_) return;  // the script being recorded is not complete
        script_.Messages.clear();
        if (OnMessages) OnMessages(script_.Messages);
        script_.CompileScript(files_.GetText ? files_.GetText() : std::string());
        if (OnMessages) OnMessages(script_.Messages);
        std::vector<std::string> compiled = script_.Messages;
        script_.RunScript();
        compiled.insert(compiled.end(), script_.Messages.begin(), script_.Messages.end());
        script_.Messages = compiled;
        if (OnMessages) OnMessages(script_.Messages);
    };
    naStartMacro.InternalApply = [this] {
        if (recording_) return;
        StartMacro(macro_, MacroWhenText(Now ? Now() : DatecodeNow()));
        recording_ = true;
        naStartMacro.SetEnabled(false);
        naStopMacro.SetEnabled(true);
        naExecuteMacro.SetEnabled(false);
        files_.ShowText(Join(macro_, "\n"));
        if (OnRecording) OnRecording(true);
    };
    naStopMacro.OnBeforeApply = [this] {
        if (!recording_) return;
        // Pressing Stop is not a step of the macro.
        if (!macro_.empty() && macro_.back() == "    " + naStopMacro.ScriptName + ";") macro_.pop_back();
        StopMacro();
        recording_ = false;
        naStartMacro.SetEnabled(true);
        naStopMacro.SetEnabled(false);
        naExecuteMacro.SetEnabled(true);
        files_.ShowText(Join(macro_, "\n"));
        if (OnRecording) OnRecording(false);
    };
}

TScriptFormActions::~TScriptFormActions() {
    if (recording_) StopMacro();
}

}  // namespace velinor
