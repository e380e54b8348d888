#include "commands/list_export_actions.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/atomic_file.h"
#include "platform/trash.h"
#include "platform/user_folders.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

const char kBusyText[] = "En train d'exporter la liste des vidéos";
const char kReadyText[] = "Prêt";

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

ExportedFile ExportedFileOf(const TaviFichier& r) {
    ExportedFile f;
    f.BaseName = r.BaseName;
    f.FileName = r.FileName;
    f.Folder = r.Folder;
    f.Created = r.Created;
    f.Modified = r.Modified;
    f.Size = r.Size();
    f.DatecodeValue = r.DatecodeValue;
    f.Codec = r.Codec;
    f.IsDV = r.IsDV;
    f.DVType = r.DVType;
    f.Iavs = r.Iavs;
    f.ImageText = r.ImageText;
    f.AspectText = r.AspectText;
    f.DurationText = r.DurationText;
    f.Duration = r.Duration;
    f.Fps = r.Fps;
    f.FrameCount = r.FrameCount > 0 ? uint32_t(r.FrameCount) : 0;
    f.AudioText = r.AudioText;
    f.AudioFormatText = r.AudioFormatText;
    f.Decalage = r.Decalage;
    f.DecalageText = r.DecalageText;
    f.HasScn = r.HasScn;
    f.HasSrt = r.HasSrt;
    f.TimecodeText = r.TimecodeText;
    f.ListTimestamp = r.ListTimestamp;
    return f;
}

namespace {

// The action of this name in `list`, added with the export category when it is not there yet.
template <class T>
T& ExportAction(TCustomMvActionList& list, const char* name, const char* caption, const char* script,
                bool applyWhenLoad) {
    if (auto* existing = dynamic_cast<T*>(list.FindAction(name))) return *existing;
    T& action = list.template Create<T>(name);
    action.SetCaption(caption);
    action.ScriptName = script;
    action.Category = "Export";
    action.ApplyWhenLoad = applyWhenLoad;
    return action;
}

}  // namespace

TListExportActions::TListExportActions(TCustomMvActionList* list)
    : List(list ? *list : Actions),
      saAvailable(ExportAction<TWStringsAction>(List, "saAvailable", "Disponibles", "Available", true)),
      saSelected(ExportAction<TWStringsAction>(List, "saSelected", "Sélectionnés", "Selected", true)),
      waExportExcel(
          ExportAction<TWidestringAction>(List, "waExportExcel", "Export Excel", "ExportExcel", false)),
      waExportCSV(ExportAction<TWidestringAction>(List, "waExportCSV", "Export CSV", "ExportCSV", false)),
      baKeepOpen(ExportAction<TBooleanAction>(List, "baKeepOpen", "KeepOpen", "KeepOpen", true)),
      waDossierExcel(
          ExportAction<TWidestringAction>(List, "waDossierExcel", "DossierExcel", "DossierExcel", true)) {
    saAvailable.SetDefaultValue(
        std::vector<std::string>(std::begin(kExportColumnIds), std::end(kExportColumnIds)));
    saAvailable.SetValue(saAvailable.DefaultValue());
    // An empty folder stands for the documents folder, looked up when the dialog needs it.

    waExportExcel.InternalPrepare = [this](std::string& value) { return prepare(Kind::Excel, value); };
    waExportCSV.InternalPrepare = [this](std::string& value) { return prepare(Kind::Csv, value); };
    waExportExcel.InternalApply = [this](const std::string& value) {
        if (!value.empty()) ExportList(Kind::Excel, value);
    };
    waExportCSV.InternalApply = [this](const std::string& value) {
        if (!value.empty()) ExportList(Kind::Csv, value);
    };
}

TListExportActions::~TListExportActions() {
    // Actions of an outside list outlive this object: their handlers must not call back into it.
    for (TWidestringAction* action : {&waExportExcel, &waExportCSV}) {
        action->InternalPrepare = nullptr;
        action->InternalApply = nullptr;
    }
}

std::vector<TaviFichier*> TListExportActions::records() const {
    std::vector<TaviFichier*> out;
    if (!list_) return out;
    for (int i = 0; i < list_->Count(); ++i)
        if (auto* r = dynamic_cast<TaviFichier*>(list_->Item(i))) out.push_back(r);
    return out;
}

void TListExportActions::UpdateListTimestamps() {
    const std::vector<TaviFichier*> recs = records();
    std::vector<ExportedFile> files;
    files.reserve(recs.size());
    for (const TaviFichier* r : recs) files.push_back(ExportedFileOf(*r));
    std::vector<ExportedFile*> pointers;
    for (ExportedFile& f : files) pointers.push_back(&f);
    ComputeListTimestamps(pointers);
    for (size_t i = 0; i < recs.size(); ++i) recs[i]->ListTimestamp = files[i].ListTimestamp;
}

bool TListExportActions::prepare(Kind kind, std::string& value) {
    const bool excel = kind == Kind::Excel;
    std::vector<ExportedFile> files;
    for (const TaviFichier* r : records()) files.push_back(ExportedFileOf(*r));
    std::vector<const ExportedFile*> pointers;
    for (const ExportedFile& f : files) pointers.push_back(&f);
    const Datecode now = Now ? Now() : DatecodeNow();
    const std::string name = DefaultExportName(pointers, now) + (excel ? ".xlsx" : ".csv");
    UpdateListTimestamps();
    if (!SaveDialog) return false;

    std::string initial = excel ? waDossierExcel.CurrentValue() : std::string();
    if (initial.empty()) {
        initial = UserFolder("DOCUMENTS");
        if (!initial.empty() && initial.back() != '/') initial += '/';
    }
    const auto chosen = excel ? SaveDialog("Exporter les données vidéo au format Excel", name,
                                           "Fichiers xlsx  (*.xlsx)|*.xlsx|All files (*.*)|*.*", initial)
                              : SaveDialog("Exporter les données vidéo au format CSV", name,
                                           "CSV files (*.csv)|*.csv|All files (*.*)|*.*", initial);
    if (!chosen || chosen->empty()) return false;
    value = *chosen;
    if (excel) waDossierExcel.SetValue(FolderOf(value));
    // "Oui" keeps the name: the old file goes to the trash once the new one is complete.
    if (Exists(value) && !(AskReplace && AskReplace(kExportReplaceQuestion))) value = NumberedName(value);
    return true;
}

std::string TListExportActions::ExportList(Kind kind, const std::string& path) {
    if (OnStatus) OnStatus(kBusyText, true);
    const auto done = [this](const std::string& error) {
        if (OnStatus) OnStatus(kReadyText, false);
        if (!error.empty() && OnError) OnError(error);
        return error;
    };

    UpdateListTimestamps();
    std::vector<ExportedFile> files;
    for (const TaviFichier* r : records()) files.push_back(ExportedFileOf(*r));
    std::vector<const ExportedFile*> pointers;
    for (const ExportedFile& f : files) pointers.push_back(&f);

    // Written beside the target under a name of its own, kept only when complete.
    AtomicFile file;
    if (!file.Open(path) || !file.CloseForNamedWrite()) return done(file.error());
    std::unique_ptr<TExportMode> mode;
    if (kind == Kind::Excel)
        mode = std::make_unique<TExcelExportMode>(file.temporaryPath(), saSelected.CurrentValue(),
                                                  Now ? Now() : DatecodeNow());
    else
        mode = std::make_unique<TCSVExportMode>(file.temporaryPath(), saSelected.CurrentValue());
    std::string reason;
    if (!RunListExport(*mode, pointers, reason))
        return done("Impossible d'exporter la liste vers " + path + " : " + reason);
    // The old file is given up only for a complete new one, and can be restored from the trash.
    if (Exists(path)) {
        const TrashResult trashed = MoveToTrash(path);
        if (!trashed) return done(trashed.Error);
    }
    if (!file.Commit()) return done(file.error());
    done({});
    if (ShowExported)
        if (std::string error = ShowExported(path); !error.empty() && OnError) OnError(error);
    if (kind == Kind::Excel && baKeepOpen.CurrentValue() && OpenDocument)
        if (std::string error = OpenDocument(path); !error.empty() && OnError) OnError(error);
    return {};
}

}  // namespace velinor
