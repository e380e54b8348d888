#pragma once
// The exports of the file list as typed actions: setting "ExportCSV" or "ExportExcel" to a path
// (from the save dialog, a script or velinor-cli) exports the listed videos, in list order, with
// the chosen columns. UI thread only.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "actions/actions_list.h"
#include "filelist/avi_fichier.h"
#include "filelist/list_model.h"
#include "scenes/list_export.h"

namespace velinor {

// What the exports read of a video file record.
ExportedFile ExportedFileOf(const TaviFichier& record);

// The question asked when the chosen export file exists.
inline constexpr const char* kExportReplaceQuestion =
    "Un fichier de même nom existe déjà. Voulez-vous le remplacer ?\r\nSinon, on ajoutera un numéro au "
    "nouveau fichier";

class TListExportActions {
public:
    enum class Kind { Csv, Excel };

    // With `list` (the window's catalogue), the actions of the same names already there are the
    // ones driven, and the missing ones are added to it; otherwise they live in Actions.
    explicit TListExportActions(TCustomMvActionList* list = nullptr);
    ~TListExportActions();
    TListExportActions(const TListExportActions&) = delete;
    TListExportActions& operator=(const TListExportActions&) = delete;

    void SetFichierListBox(TFichierListModel* list) { list_ = list; }

    // The save dialog: title, proposed name, filter ("label|pattern|..."), initial folder; the
    // chosen path, or nothing when cancelled.
    std::function<std::optional<std::string>(const std::string& title, const std::string& name,
                                             const std::string& filter, const std::string& initialDir)>
        SaveDialog;
    // Asks kExportReplaceQuestion; true for "Oui" (replace, the old file going to the trash).
    std::function<bool(const std::string& question)> AskReplace;
    // The status bar's first panel; `busy` while the export runs.
    std::function<void(const std::string& text, bool busy)> OnStatus;
    std::function<void(const std::string& message)> OnError;
    // Shows the finished file selected in the file manager; nothing is shown without it.
    std::function<std::string(const std::string& path)> ShowExported;
    // Opens the finished workbook when KeepOpen is set; nothing is opened without it.
    std::function<std::string(const std::string& path)> OpenDocument;
    std::function<Datecode()> Now;

    TMvActionList Actions;
    TCustomMvActionList& List;  // Actions, or the list given
    TWStringsAction& saAvailable;
    TWStringsAction& saSelected;
    TWidestringAction& waExportExcel;
    TWidestringAction& waExportCSV;
    TBooleanAction& baKeepOpen;
    TWidestringAction& waDossierExcel;

    // Exports the list to `path`. An existing file is moved to the trash once the new one is
    // complete. Answers "" or the reason (also given to OnError).
    std::string ExportList(Kind kind, const std::string& path);
    // Fills every record's ListTimestamp from the list order.
    void UpdateListTimestamps();

private:
    bool prepare(Kind kind, std::string& value);
    std::vector<TaviFichier*> records() const;

    TFichierListModel* list_ = nullptr;
};

}  // namespace velinor
