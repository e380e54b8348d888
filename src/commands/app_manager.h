#pragma once
// What the application manager's windows show and do, free of any toolkit: the help window's
// entries (sort keys and the details of one action), the about page's texts, the script
// window's new-script text and its document manager `ficman_script` with the script window's
// own actions (run, macro start and stop, the saved rectangle). The Qt windows bind these.
// UI thread only.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "actions/actions_list.h"
#include "actions/script/mv_script.h"
#include "media/datecode.h"

namespace velinor {

// ---- help window ----

// The three orders of the help window's context menu.
enum class HelpOrder { Alpha, Shortcut, Switch };

// The text of an action's item in the help window: its script name, or its name without one.
std::string HelpItemText(const TCustomAbstractAction& action);
// The sort key of an action: its item text; by shortcut, the shortcut's text ("zzz" when there
// is none) then the item text; by switch, the switch ("zzz" when there is none) then the item text.
std::string HelpSortKey(const TCustomAbstractAction& action, HelpOrder order);
// The actions in the order of `order` (keys compared without regard to case, stable).
std::vector<TCustomAbstractAction*> HelpSorted(std::vector<TCustomAbstractAction*> actions, HelpOrder order);

struct HelpDetails {
    std::string Title;     // script name, four blanks, the shortcut's text
    std::string Hint;      // the action's hint
    std::string Syntax;    // the script declaration
    std::string Switch;    // the command-line form, "N/A" when the action has no switch
    std::string Comments;  // the comments, one per line
};
HelpDetails HelpDetailsOf(const TCustomAbstractAction& action);

// ---- about page ----

struct AboutTexts {
    std::string Title;    // "Velinor"
    std::string Version;  // "Version 1.0.0"
    std::string Date;     // "Mise à jour le 08/10/2023"
    std::string Maker;    // who makes it
    std::string Contact;  // the e-mail address
    std::string Web;      // the home page
    std::string Blog;     // the blog
};
// The build date of this version, "08/10/2023".
std::string BuildDateText();
AboutTexts AboutPageTexts();
// The close link of a page: "Tapez <key> pour quitter cette page ou cliquez ici." with the
// link named `link` on "cliquez ici" (rich text), and its hint.
std::string CloseLinkText(const std::string& key, const std::string& link);
inline constexpr const char* kCloseLinkHint =
    "Cliquez pour fermer cette page\r\net retourner à l'application";

// ---- script window ----

std::vector<std::string> NewScriptLines();
// "//Macro enregistrée le " uses this text of `now` ("dddddd à tt").
std::string MacroWhenText(Datecode now);

// Dialogs of the document manager; each answers nothing when cancelled.
struct TScriptDialogs {
    std::function<std::optional<std::string>(const std::string& title, const std::string& filter,
                                             const std::string& initialDir)>
        OpenFile;
    std::function<std::optional<std::string>(const std::string& title, const std::string& filter,
                                             const std::string& initialDir)>
        SaveFile;
};

// What closing or replacing a modified script does.
enum class DiscardAnswer { Save, Discard, Cancel };

inline constexpr int kRecentScripts = 10;

// The script window's document manager and its actions. The editor is reached through hooks;
// the window calls Edited whenever the user changes the text.
class TScriptFichierMan {
public:
    TScriptFichierMan();
    TScriptFichierMan(const TScriptFichierMan&) = delete;
    TScriptFichierMan& operator=(const TScriptFichierMan&) = delete;

    static constexpr const char* kFilter = "Fichiers Macro (*.txt)|*.txt";
    static constexpr const char* kDefaultExt = ".txt";
    static constexpr const char* kOpenTitle = "Ouvrir un script";
    static constexpr const char* kSaveTitle = "Enregistrer le script";

    // The editor's text (lines joined by "\n") and its replacement.
    std::function<std::string()> GetText;
    std::function<void(const std::string& text)> SetText;
    TScriptDialogs Dialogs;
    // The files named on the clipboard.
    std::function<std::vector<std::string>()> ClipboardFiles;
    // Asked before a modified script is replaced or closed; without it the edit is kept by
    // cancelling.
    std::function<DiscardAnswer(const std::string& fileName)> AskDiscard;
    std::function<void(const std::string& message)> OnError;
    // Shows a file selected in the file manager; answers "" or the reason.
    std::function<std::string(const std::string& path)> ShowInFileManager;
    // Called whenever the file name or the state text changes.
    std::function<void()> OnStatus;

    // The status bar's two panels.
    const std::string& FileName() const { return fileName_; }
    const std::string& State() const { return state_; }
    bool Modified() const { return modified_; }
    const std::vector<std::string>& Recent() const { return recent_; }

    // The user changed the editor's text.
    void Edited();
    // Before the program closes: a modified script is offered for saving; false when the user
    // cancels or the save failed.
    bool MayClose() { return mayDiscard(); }
    // Replaces the editor's text with one that is not yet saved ("Modifié").
    void ShowText(const std::string& text);

    TMvActionList Actions;
    TNopeAction& naNewFile;
    TWidestringAction& waOpenFile;
    TNopeAction& naPasteFile;
    TNopeAction& naSaveFile;
    TWidestringAction& waSaveFileAs;
    TNopeAction& naCloseFile;
    TWidestringAction& waInitialDir;
    TWidestringAction& waCurrentFileName;
    TBooleanAction& baOpenLastFile;
    TNopeAction& naParentFolder;
    TWStringsAction& saRecentFiles;
    std::vector<TNopeAction*> naRecent;  // naRecent1 ... naRecent10

private:
    void setup();
    bool mayDiscard();
    bool open(const std::string& path);
    bool save(const std::string& path);
    void addRecent(const std::string& path);
    void showRecent();
    void setState(const std::string& file, const std::string& state, bool modified);
    void setEditor(const std::string& text);
    void report(const std::string& message);

    std::string fileName_;
    std::string state_;
    bool modified_ = false;
    bool settingText_ = false;
    std::vector<std::string> recent_;
};

// The script window's own actions: run, macro start and stop, the window's rectangle. `script`
// compiles against the lists the window attaches to it.
class TScriptFormActions {
public:
    TScriptFormActions(TMvScript& script, TScriptFichierMan& files);
    TScriptFormActions(const TScriptFormActions&) = delete;
    TScriptFormActions& operator=(const TScriptFormActions&) = delete;
    ~TScriptFormActions();

    // The time the recorded macro's first line gives; the local time unless replaced.
    std::function<Datecode()> Now;
    // The messages changed (after a compile and after a run).
    std::function<void(const std::vector<std::string>& messages)> OnMessages;
    // Recording started or stopped.
    std::function<void(bool recording)> OnRecording;

    bool Recording() const { return recording_; }
    // The macro's lines so far (what the editor shows while recording).
    const std::vector<std::string>& MacroText() const { return macro_; }

    TMvActionList Actions;
    TNopeAction& naExecuteMacro;
    TNopeAction& naStartMacro;
    TNopeAction& naStopMacro;
    TRectAction& raScriptFormSave;

private:
    TMvScript& script_;
    TScriptFichierMan& files_;
    std::vector<std::string> macro_;
    bool recording_ = false;
};

}  // namespace velinor
