#include "filelist/list_fichier_man.h"

#include <sys/stat.h>

#include "media/datetime_format.h"
#include "platform/atomic_file.h"
#include "platform/process.h"
#include "platform/product.h"
#include "platform/utf16.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

const char kTextFilter[] = "Fichiers texte (*.txt)|*.txt";
const char kFolderTitle[] = "Sélectionnez un dossier";

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithSlash(const std::string& folder) {
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

std::string PlaylistBytes(const std::vector<std::string>& paths, const std::string& titre,
                          const std::string& slogan, const TSortIndex& order, Datecode now) {
    const std::string dashes = "#" + std::string(61, '-');
    std::vector<std::string> lines = {dashes,          "#", "#   " + titre, "#", dashes, "#",
                                      "#   " + slogan, "#", dashes,         ""};
    for (const std::string& path : paths) lines.push_back("     " + path);
    const size_t n = paths.size();
    const std::string count = n >= 2   ? std::to_string(n) + " fichiers triés "
                              : n == 1 ? "Un fichier - tri "
                                       : "Aucun fichier - tri ";
    lines.push_back("");
    lines.push_back(dashes);
    lines.push_back("# " + count + order.Description);
    lines.push_back("Fait le " + FormatDateTime("dddddd tt", now));

    std::u16string text = u"\uFEFF";
    for (const std::string& line : lines) text += Utf8ToUtf16(line) + u"\r\n";
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    return bytes;
}

std::string SavePlaylistFile(const TFichierListModel& list, const std::string& file, const std::string& titre,
                             const std::string& slogan, Datecode now) {
    std::vector<std::string> paths;
    list.CollectFileNames(paths);
    const std::string target = ReplaceExtension(file, ".txt");
    const std::string bytes = PlaylistBytes(paths, titre, slogan, list.SortIndex(), now);
    AtomicFile out;
    if (!out.Open(target) || !out.Write(bytes) || !out.Commit())
        return "Impossible d'enregistrer la playlist " + target + " : " + out.error();
    return {};
}

TListFichierMan::TListFichierMan()
    : Slogan(std::string("Visitez le site web de Morvane: ") + product::kWebAddress),
      saFileNames(Actions.Create<TWStringsAction>("saFileNames")),
      baOpenlastFiles(Actions.Create<TBooleanAction>("baOpenlastFiles")),
      waActiveFile(Actions.Create<TWidestringAction>("waActiveFile")),
      saOpenFiles(Actions.Create<TWStringsAction>("saOpenFiles")),
      waOpenFolder(Actions.Create<TWidestringAction>("waOpenFolder")),
      waOpenPlayList(Actions.Create<TWidestringAction>("waOpenPlayList")),
      naOpenPreferredFolder(Actions.Create<TNopeAction>("naOpenPreferredFolder")),
      naOpenPreferredPlayList(Actions.Create<TNopeAction>("naOpenPreferredPlayList")),
      naPasteFiles(Actions.Create<TNopeAction>("naPasteFiles")),
      naOpenAll(Actions.Create<TNopeAction>("naOpenAll")),
      naVider(Actions.Create<TNopeAction>("naVider")),
      naClearSelected(Actions.Create<TNopeAction>("naClearSelected")),
      naAbort(Actions.Create<TNopeAction>("naAbort")),
      waSavePlayList(Actions.Create<TWidestringAction>("waSavePlayList")),
      naSavePreferredPlayList(Actions.Create<TNopeAction>("naSavePreferredPlayList")),
      naParentFolder(Actions.Create<TNopeAction>("naParentFolder")),
      waPreferredFolderName(Actions.Create<TWidestringAction>("waPreferredFolderName")),
      waPreferredPlayListName(Actions.Create<TWidestringAction>("waPreferredPlayListName")) {
    setup();
}

void TListFichierMan::SetInitialDir(const std::string& folder) {
    initialDir_ = WithSlash(folder);
}

void TListFichierMan::SetDossierFavori(const std::string& folder) {
    if (list_) list_->PreferredFolder = folder;
}

void TListFichierMan::SetDossierPlayList(const std::string& folder) {
    if (list_) list_->PreferredPlayList = WithSlash(folder) + "velinor.list";
}

void TListFichierMan::report(const std::string& message) {
    if (OnError) OnError(message);
}

bool TListFichierMan::savePlaylist(const std::string& file) {
    if (!list_ || file.empty()) return false;
    const std::string error = SavePlaylistFile(*list_, file, Titre, Slogan, Now ? Now() : DatecodeNow());
    if (!error.empty()) report(error);
    return error.empty();
}

bool TListFichierMan::SavePreferredPlayList() {
    return list_ && savePlaylist(list_->PreferredPlayList);
}

void TListFichierMan::setup() {
    struct Row {
        TCustomAbstractAction* action;
        const char* caption;
        const char* shortCut;
        const char* script;
    };
    const Row rows[] = {
        {&saFileNames, "FileNames", "", "FileNames"},
        {&baOpenlastFiles, "RéOuvrir", "", "OpenlastFiles"},
        {&waActiveFile, "Fichier actif", "", "ActiveFile"},
        {&saOpenFiles, "Ouvrir...", "Ctrl+O", "OpenFiles"},
        {&waOpenFolder, "Dossier", "Ctrl+F", "OpenFolder"},
        {&waOpenPlayList, "Playlist", "Ctrl+U", "OpenPlayList"},
        {&naOpenPreferredFolder, "Dossier Préféré", "F7", "OpenPreferredFolder"},
        {&naOpenPreferredPlayList, "Playlist préférée", "F8", "OpenPreferredPlayList"},
        {&naPasteFiles, "Coller", "Ctrl+V", "PasteFiles"},
        {&naOpenAll, "Tout", "Shift+Ctrl+F7", "OpenAll"},
        {&naVider, "Vider", "Shift+Ctrl+X", "Vider"},
        {&naClearSelected, "Oter", "Ctrl+X", "ClearSelected"},
        {&naAbort, "Interrompre", "Esc", "Abort"},
        {&waSavePlayList, "Enregistrer sous...", "Shift+Ctrl+S", "SavePlayList"},
        {&naSavePreferredPlayList, "Enregistrer", "Ctrl+S", "SavePreferredPlayList"},
        {&naParentFolder, "Dossier parent", "F9", "ParentFolder"},
        {&waPreferredFolderName, "Dossier Préféré", "Shift+Ctrl+F", "PreferredFolderName"},
        {&waPreferredPlayListName, "Playlist préférée", "Shift+Ctrl+L", "PreferredPlayListName"},
    };
    for (const Row& r : rows) {
        r.action->SetCaption(r.caption);
        r.action->SetShortCut(r.shortCut);
        r.action->ScriptName = r.script;
        r.action->Category = "internal";
    }

    // Keeping the list between runs: the paths and the active file are taken at save time, and
    // reopened when the option is applied at load.
    baOpenlastFiles.SetDefaultValue(true);
    baOpenlastFiles.SetValue(true);
    baOpenlastFiles.ApplyWhenLoad = true;
    waActiveFile.ApplyWhenLoad = true;
    saFileNames.BeforeSave = [this](std::vector<std::string>& value) {
        value.clear();
        if (openLastFiles_ && list_) list_->CollectFileNames(value);
        return true;
    };
    waActiveFile.BeforeSave = [this](std::string& value) {
        value.clear();
        if (!openLastFiles_ || !list_) return true;
        const int active = list_->ItemIndex();
        if (active >= 0 && active < list_->Count() && list_->Selected(active))
            value = list_->ActiveFileName();
        return true;
    };
    saFileNames.InternalApply = [this](const std::vector<std::string>& value) {
        if (list_ && !value.empty()) list_->OpenPaths(value);
    };
    baOpenlastFiles.InternalApply = [this](const bool& value) {
        openLastFiles_ = value;
        if (value) {
            saFileNames.Apply();
            waActiveFile.Apply();
        } else {
            saFileNames.SetValue({});
            waActiveFile.SetValue(std::string());
        }
    };
    waActiveFile.InternalApply = [this](const std::string& path) {
        if (!list_ || !list_->Cache() || !IsFile(path)) return;
        TAbstractListFichier* record = list_->Cache()->FindOrCreate(path);
        list_->AddFichier(record, false);
        if (list_->Count() > 0) list_->SetSelected(0, false);
        if (const int at = list_->IndexOfPath(path); at >= 0) list_->SetActiveIndex(at);
    };

    saOpenFiles.InternalPrepare = [this](std::vector<std::string>& value) {
        if (!list_ || !Dialogs.OpenFiles) return false;
        const std::string filter =
            Filter + (Filter.empty() || Filter.back() == '|' ? "" : "|") + "Tous fichiers (*.*)|*.*";
        auto chosen = Dialogs.OpenFiles("Sélectionnez les fichiers à ouvrir", filter, initialDir_);
        if (!chosen) return false;
        value = *chosen;
        return true;
    };
    saOpenFiles.InternalApply = [this](const std::vector<std::string>& value) {
        if (list_ && !value.empty()) list_->OpenPaths(value);
    };

    const auto folderPrepare = [this](TWidestringAction& action) {
        return [this, &action](std::string& value) {
            if (!list_ || !Dialogs.Folder) return false;
            const std::string start = IsFolder(action.CurrentValue()) ? action.CurrentValue() : std::string();
            auto chosen = Dialogs.Folder(kFolderTitle, start);
            if (!chosen) return false;
            value = *chosen;
            return true;
        };
    };
    const auto filePrepare = [this](const char* title, bool save) {
        return [this, title, save](std::string& value) {
            const auto& dialog = save ? Dialogs.SaveFile : Dialogs.OpenFile;
            if (!list_ || !dialog) return false;
            auto chosen = dialog(title, kTextFilter);
            if (!chosen) return false;
            value = *chosen;
            return true;
        };
    };

    waOpenFolder.InternalPrepare = folderPrepare(waOpenFolder);
    waOpenFolder.InternalApply = [this](const std::string& value) {
        if (list_ && !value.empty()) list_->OpenFolderTree(value);
    };
    waOpenPlayList.InternalPrepare = filePrepare("Sélectionnez la playlist à ouvrir", false);
    waOpenPlayList.InternalApply = [this](const std::string& value) {
        if (list_ && !value.empty()) list_->OpenPlayListFile(value);
    };
    naOpenPreferredFolder.InternalApply = [this] {
        if (list_ && !list_->PreferredFolder.empty()) list_->OpenPreferredFolder();
    };
    naOpenPreferredPlayList.InternalApply = [this] {
        if (list_) list_->OpenPreferredPlayList();
    };
    naPasteFiles.InternalApply = [this] {
        if (list_) list_->OpenClipboardFiles();
    };
    // Every mounted volume.
    naOpenAll.InternalApply = [this] {
        if (list_) list_->OpenFixedDrives();
    };
    naVider.InternalApply = [this] {
        if (list_) list_->ClearFichiers();
    };
    naClearSelected.InternalApply = [this] {
        if (list_) list_->RemoveSelected();
    };
    naAbort.InternalApply = [this] {
        if (list_) list_->StopOpening();
    };
    waSavePlayList.InternalPrepare = filePrepare("Sauver la playlist sous...", true);
    waSavePlayList.InternalApply = [this](const std::string& value) { savePlaylist(value); };
    naSavePreferredPlayList.InternalApply = [this] { SavePreferredPlayList(); };
    naParentFolder.InternalApply = [this] {
        if (!list_) return;
        const std::string active = list_->ActiveFileName();
        if (active.empty()) return;
        const std::string error = ShowInFileManager ? ShowInFileManager(active) : ShowInFolder(active);
        if (!error.empty()) report(error);
    };
    waPreferredFolderName.InternalPrepare = folderPrepare(waPreferredFolderName);
    waPreferredFolderName.InternalApply = [this](const std::string& value) {
        if (list_) list_->PreferredFolder = value;
    };
    waPreferredPlayListName.InternalPrepare = filePrepare("Choisir la playlist préférée", false);
    waPreferredPlayListName.InternalApply = [this](const std::string& value) {
        if (list_) list_->PreferredPlayList = value;
    };
}

}  // namespace velinor
