#pragma once
// The list manager: the user-level file actions of a file list (open files, a folder, a
// playlist, every mounted volume or the clipboard's files; empty the list or remove the
// selection; stop an opening; save and open playlists; show the active file in the file
// manager) as typed actions, and the list kept from one run to the next. Free of any toolkit:
// the window fills the dialog hooks and binds the actions. UI thread only.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "actions/actions_list.h"
#include "filelist/list_fichier.h"
#include "filelist/list_model.h"
#include "media/datecode.h"

namespace velinor {

// The bytes of a playlist: UTF-16LE with a byte-order mark, every line ending with CR LF. A
// commented heading with `titre` and `slogan`, one line per path (five blanks before it), then
// a footer with the count, the sort order and the time it was made.
std::string PlaylistBytes(const std::vector<std::string>& paths, const std::string& titre,
                          const std::string& slogan, const TSortIndex& order, Datecode now);

// Writes the list as a playlist under `file` with its extension replaced by ".txt", replacing
// any existing file only once the new one is complete. Answers "" or the reason in French.
std::string SavePlaylistFile(const TFichierListModel& list, const std::string& file, const std::string& titre,
                             const std::string& slogan, Datecode now);

// The dialogs the actions prepare with; each answers nothing when cancelled. Filters are
// "label|pattern|label|pattern..." texts.
struct TListFichierDialogs {
    std::function<std::optional<std::vector<std::string>>(const std::string& title, const std::string& filter,
                                                          const std::string& initialDir)>
        OpenFiles;
    std::function<std::optional<std::string>(const std::string& title, const std::string& filter)> OpenFile;
    std::function<std::optional<std::string>(const std::string& title, const std::string& filter)> SaveFile;
    std::function<std::optional<std::string>(const std::string& title, const std::string& start)> Folder;
};

class TListFichierMan {
public:
    TListFichierMan();
    TListFichierMan(const TListFichierMan&) = delete;
    TListFichierMan& operator=(const TListFichierMan&) = delete;

    // Every action does nothing while no list is bound.
    void SetFichierListBox(TFichierListModel* list) { list_ = list; }
    TFichierListModel* FichierListBox() const { return list_; }

    std::string Titre = "Un programme de Morvane";
    std::string Slogan;  // "Visitez le site web de Morvane: " and the product's address
    std::string Filter;  // entries of the open-files dialog before "Tous fichiers (*.*)"
    const std::string& InitialDir() const { return initialDir_; }
    // Keeps a trailing "/".
    void SetInitialDir(const std::string& folder);
    // The settings the preferred folder and playlist follow: the favourite folder, and the
    // playlist folder in which the preferred playlist is "velinor.list".
    void SetDossierFavori(const std::string& folder);
    void SetDossierPlayList(const std::string& folder);
    bool OpenLastFiles() const { return openLastFiles_; }

    TListFichierDialogs Dialogs;
    // Reports a failure the way the window reports errors.
    std::function<void(const std::string& message)> OnError;
    // Shows a file selected in the file manager; ShowInFolder unless replaced. Answers "" or the
    // reason.
    std::function<std::string(const std::string& path)> ShowInFileManager;
    // The time written in saved playlists; the local time unless replaced.
    std::function<Datecode()> Now;

    // The actions in the order they are stored and loaded.
    TMvActionList Actions;
    TWStringsAction& saFileNames;
    TBooleanAction& baOpenlastFiles;
    TWidestringAction& waActiveFile;
    TWStringsAction& saOpenFiles;
    TWidestringAction& waOpenFolder;
    TWidestringAction& waOpenPlayList;
    TNopeAction& naOpenPreferredFolder;
    TNopeAction& naOpenPreferredPlayList;
    TNopeAction& naPasteFiles;
    TNopeAction& naOpenAll;
    TNopeAction& naVider;
    TNopeAction& naClearSelected;
    TNopeAction& naAbort;
    TWidestringAction& waSavePlayList;
    TNopeAction& naSavePreferredPlayList;
    TNopeAction& naParentFolder;
    TWidestringAction& waPreferredFolderName;
    TWidestringAction& waPreferredPlayListName;

    // Writes the list to the preferred playlist (with ".txt" for its extension); reports failures.
    bool SavePreferredPlayList();

private:
    void setup();
    bool savePlaylist(const std::string& file);
    void report(const std::string& message);

    TFichierListModel* list_ = nullptr;
    std::string initialDir_;
    bool openLastFiles_ = true;
};

}  // namespace velinor
