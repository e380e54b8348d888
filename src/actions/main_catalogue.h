#pragma once
// The main window's catalogue of typed actions: the window's own list `al` and the application
// manager's list `am`, with their captions, shortcuts, script names, switches and defaults, and
// the rules that move shortcuts and rewrite captions at run time. Free of Qt; the window binds
// the actions to its menus and attaches the effects. UI thread only.
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "actions/actions.h"
#include "actions/actions_list.h"

namespace velinor {

// The images the catalogue's actions show, by image index; the window draws one glyph per value.
enum class CatalogueImage : int {
    None = -1,
    OpenFolder = 0,
    OpenFiles,
    PasteFiles,
    PreferredFolder,
    OpenPlayList,
    SavePlayList,
    ClearList,
    SelectAll,
    SoundOn,
    SoundOff,
    OverlayShow,
    OverlayHide,
    Deinterlace,
    Fullscreen,
    LeaveFullscreen,
    ParentFolder,
    TimeShift,
    EditScenes,
    EditOverlay,
    InsertScene,
    DeleteScene,
    Title,
    SaveScenes,
    Help,
    Options,
    Script,
    About,
    Quit,
    ExportExcel,
    Play,
    Pause,
    WebPage,
    EMail,
    Count
};
constexpr int ImageIndexOf(CatalogueImage image) {
    return static_cast<int>(image);
}

// What a catalogue action runs in the command module.
struct CatalogueCommand {
    // Command name as the command module knows it ("ConvertirDV1"); matched without regard to case.
    std::string Name;
    // The scene editor is closed (its scenes offered for saving) before the command starts.
    bool ClosesSceneEditor = false;
};

class TMainCatalogue {
public:
    TMainCatalogue();
    TMainCatalogue(const TMainCatalogue&) = delete;
    TMainCatalogue& operator=(const TMainCatalogue&) = delete;

    // The window's actions, then the application manager's, in catalogue order.
    TMvActionList al;
    TMvActionList am;

    // Menu entries that are not actions of a list (not saved, not scripted): the "Vidéo" menu's
    // "Dossier parent" (runs the command DossierParent) and the preview menu's picture copy.
    TNopeAction DossierParentEntry;
    TNopeAction CopyPictureEntry;

    // The action of either list with this name; throws std::out_of_range when there is none and
    // std::logic_error when it is not of kind T.
    template <class T = TCustomAbstractAction>
    T& Get(std::string_view name) const {
        TCustomAbstractAction* action = Find(name);
        if (!action) throw std::out_of_range("no catalogue action " + std::string(name));
        T* typed = dynamic_cast<T*>(action);
        if (!typed) throw std::logic_error("catalogue action " + std::string(name) + " has another kind");
        return *typed;
    }
    TCustomAbstractAction* Find(std::string_view name) const;

    // The command an action runs, or nothing for an action whose effect is not a command.
    std::optional<CatalogueCommand> CommandOf(const TCustomAbstractAction& action) const;

    // Runs a command of the command module: the action that asked, the command and the value the
    // action holds (its parameter; monostate for a command without parameter). Set by the window.
    std::function<void(TCustomAbstractAction& action, const CatalogueCommand& command,
                       const ActionValue& parameter)>
        RunCommand;
    // Opens an address (a web page or a "mailto:" address) with the desktop. Set by the window.
    std::function<void(const std::string& address)> OpenAddress;

    // Moves the shortcuts of the keys that text fields need (Space, keypad + and -, Del) to their
    // Ctrl combinations while `on`; also what applying caCTRLShortcuts does.
    void SwitchCtrlShortcuts(bool on);
    // "Ouvrir avec " + the program's file name without its extension; "Ouvrir avec..." when no
    // program is set. Also run when waFichierF3 or waFichierF4 is applied.
    void UpdateOpenWithCaptions(const std::string& programF3, const std::string& programF4);

    // Visibility and enabled state of `al` for a list with or without items: "permanent" actions
    // are always shown; the others (except the category "open") only while the list has items.
    // The two menu entries outside the lists follow the same rule. `refineCommand` then narrows
    // the state of every action that runs a command.
    void RefreshVisibility(
        bool listEmpty,
        const std::function<void(TCustomAbstractAction&, const CatalogueCommand&)>& refineCommand = nullptr);

private:
    void addRows();
    void addRules();
    std::vector<std::pair<TCustomAbstractAction*, CatalogueCommand>> commands_;
};

// The maker's address with the subject "A propos de " + the full title, as a mailto URL.
std::string EMailAddress();

// The file name of a program path without folder and extension ("/usr/bin/vlc.sh" -> "vlc").
std::string CatalogueProgramName(const std::string& path);

}  // namespace velinor
