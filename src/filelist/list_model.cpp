#include "filelist/list_model.h"

#include <cstdio>

#include <sys/stat.h>
#include <algorithm>

namespace velinor {
namespace {

// Keys compare without regard to case; two records whose keys fold alike are two files (paths
// that differ in case), ordered by their exact paths.
bool ItemLess(const std::string& keyA, const std::string& pathA, const std::string& keyB,
              const std::string& pathB) {
    if (const int c = keyA.compare(keyB); c != 0) return c < 0;
    return pathA < pathB;
}

// Marks the model as inside a call from the worker for the call's duration.
struct WorkerCall {
    explicit WorkerCall(bool& flag) : flag_(flag) { flag_ = true; }
    ~WorkerCall() { flag_ = false; }
    bool& flag_;
};

}  // namespace

TFichierListModel::TFichierListModel(UiDispatcher& ui, UiPump pump)
    : pump_(std::move(pump)), worker_(std::make_unique<TThreadOpen>(*this, ui)) {}

TFichierListModel::~TFichierListModel() {
    StopOpening();
    worker_.reset();
}

void TFichierListModel::SetCache(TFichierList* cache) {
    cache_ = cache;
    ClearFichiers();
}

void TFichierListModel::SetRecordClass(TFichierList::RecordClass recordClass) {
    if (cache_) cache_->SetRecordClass(std::move(recordClass));
    ClearFichiers();
}

int TFichierListModel::indexOfRecord(const TAbstractListFichier* record) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].Record == record) return int(i);
    return -1;
}

int TFichierListModel::insertSorted(TAbstractListFichier* record, bool selected) {
    std::string key = LowerCase(record->SortKey(sortIndex_));
    const auto at = std::lower_bound(items_.begin(), items_.end(), 0, [&](const Item_& item, int) {
        return ItemLess(item.Key, item.Record->FileName, key, record->FileName);
    });
    const auto it = items_.insert(at, Item_{record, std::move(key), selected});
    return int(it - items_.begin());
}

int TFichierListModel::AddFichier(TAbstractListFichier* record, bool select) {
    const bool wasEmpty = items_.empty();
    if (!record || (BeforeLister && !BeforeLister(record))) return 0;
    const bool haveActive = current_ >= 0 && current_ < Count();
    TAbstractListFichier* active = haveActive ? items_[size_t(current_)].Record : nullptr;
    const bool activeSelected = haveActive && items_[size_t(current_)].Selected;

    if (const int p = IndexOfPath(record->FileName); p >= 0) {
        if (items_[size_t(p)].Record == active) active = record;
        items_.erase(items_.begin() + p);
    }
    const int i = insertSorted(record, false);
    // The active file stays the same file, wherever the insertion put it.
    const int c = active ? indexOfRecord(active) : -1;
    items_[size_t(i)].Selected = select || (c == i && activeSelected);
    current_ = c;
    UpdateCounts();
    if (wasEmpty && select) SetActiveIndex(0);
    return i;
}

TAbstractListFichier* TFichierListModel::FindOrAddFichier(const std::string& path) {
    if (const int p = IndexOfPath(path); p >= 0) return items_[size_t(p)].Record;
    if (!cache_) return nullptr;
    TAbstractListFichier* record = cache_->FindOrCreate(path);
    AddFichier(record, false);
    return record;
}

void TFichierListModel::RemoveFichier(const TAbstractListFichier* record) {
    const int i = indexOfRecord(record);
    if (i < 0) return;
    if (i == current_) lastActive_ = nullptr;
    items_.erase(items_.begin() + i);
    if (current_ > i) --current_;  // the active file stays the same file
    UpdateCounts();
    NotifyActive();
}

int TFichierListModel::ReplaceFichier(const TAbstractListFichier* old,
                                      std::unique_ptr<TAbstractListFichier> replacement) {
    const int i = indexOfRecord(old);
    if (i < 0 || !cache_ || !replacement) return -1;
    TAbstractListFichier* raw = cache_->Replace(old, std::move(replacement));
    items_[size_t(i)].Record = raw;
    if (lastActive_ == old) lastActive_ = raw;
    return i;
}

void TFichierListModel::ReinsertFichier(const TAbstractListFichier* old, TAbstractListFichier* replacement) {
    RemoveFichier(old);
    const int before = Count();
    const int i = AddFichier(replacement, false);
    if (Count() == before) return;  // vetoed
    if (!lastActive_) current_ = i;
    items_[size_t(i)].Selected = true;
}

void TFichierListModel::ClearFichiers() {
    items_.clear();
    SetActiveIndex(-1);
}

void TFichierListModel::SelectFichier(const TAbstractListFichier* record) {
    if (const int i = indexOfRecord(record); i >= 0) items_[size_t(i)].Selected = true;
}

void TFichierListModel::SetActiveIndex(int index) {
    if (index < -1 || index >= Count()) return;
    current_ = index;
    if (index >= 0) items_[size_t(index)].Selected = true;
    UpdateCounts();
    NotifyActive();
}

void TFichierListModel::SelectAllFichiers(bool all) {
    for (auto& item : items_) item.Selected = all;
    if (current_ >= 0 && current_ < Count()) items_[size_t(current_)].Selected = true;
    UpdateCounts();
}

void TFichierListModel::RemoveSelected() {
    int first = -1;
    for (int i = Count() - 1; i >= 0; --i)
        if (items_[size_t(i)].Selected) {
            items_.erase(items_.begin() + i);
            first = i;
        }
    if (first < 0) return;
    if (first < 1)
        SetActiveIndex(items_.empty() ? -1 : 0);
    else
        SetActiveIndex(first - 1);
}

void TFichierListModel::SortBy(const TSortIndex& index) {
    sortIndex_ = index;
    if (items_.empty()) return;
    std::vector<TAbstractListFichier*> selected;
    for (const auto& item : items_)
        if (item.Selected) selected.push_back(item.Record);
    TAbstractListFichier* active =
        current_ >= 0 && current_ < Count() ? items_[size_t(current_)].Record : nullptr;
    for (auto& item : items_) {
        item.Key = LowerCase(item.Record->SortKey(sortIndex_));
        item.Selected = false;
    }
    std::sort(items_.begin(), items_.end(), [](const Item_& a, const Item_& b) {
        return ItemLess(a.Key, a.Record->FileName, b.Key, b.Record->FileName);
    });
    SetActiveIndex(active ? indexOfRecord(active) : -1);
    for (auto* record : selected) SelectFichier(record);
    UpdateCounts();
}

int TFichierListModel::IndexOfPath(const std::string& path) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].Record->FileName == path) return int(i);
    return -1;
}

void TFichierListModel::CollectFileNames(std::vector<std::string>& names) const {
    for (const auto& item : items_) names.push_back(item.Record->FileName);
}

std::string TFichierListModel::ActiveFileName() const {
    return current_ >= 0 && current_ < Count() ? items_[size_t(current_)].Record->FileName : std::string();
}

int TFichierListModel::SelectedCount() const {
    return int(std::count_if(items_.begin(), items_.end(), [](const Item_& item) { return item.Selected; }));
}

void TFichierListModel::NotifyActive() {
    if (current_ < 0 || current_ >= Count()) {
        current_ = -1;
        if (lastActive_ && OnActiveChange) OnActiveChange(nullptr);
        lastActive_ = nullptr;
        return;
    }
    TAbstractListFichier* record = items_[size_t(current_)].Record;
    if (OnActiveChange) {
        lastActive_ = record;
        OnActiveChange(record);
    }
    items_[size_t(current_)].Selected = true;
}

void TFichierListModel::UpdateCounts() {
    const int count = Count();
    const int selected = SelectedCount();
    if (count != lastCount_ || selected != lastSelected_) {
        lastCount_ = count;
        lastSelected_ = selected;
        const std::string total = std::to_string(count);
        if (selected == 0)
            hint_ = "Aucun fichier sélectionné sur " + total;
        else if (selected == 1)
            hint_ = "Un fichier sélectionné sur " + total;
        else
            hint_ = std::to_string(selected) + " fichiers sélectionnés sur " + total;
    }
    if (OnCountsChange) OnCountsChange(selected, count);
}

void TFichierListModel::SetSelected(int index, bool selected) {
    if (index >= 0 && index < Count()) items_[size_t(index)].Selected = selected;
}

void TFichierListModel::UserReleased() {
    if (items_.empty()) {
        current_ = -1;
        return;
    }
    UpdateCounts();
    NotifyActive();
}

void TFichierListModel::startJob(TOpenMode mode, std::vector<std::string> input) {
    StopOpening();
    worker_->Start(mode, std::move(input));
}

void TFichierListModel::OpenPaths(std::vector<std::string> paths) {
    startJob(TOpenMode::omFiles, std::move(paths));
}
void TFichierListModel::OpenFolderTree(const std::string& folder) {
    startJob(TOpenMode::omFolder, {folder});
}
void TFichierListModel::OpenPlayListFile(const std::string& file) {
    startJob(TOpenMode::omPlayList, {file});
}
void TFichierListModel::OpenFixedDrives() {
    startJob(TOpenMode::omFixedDrives, {});
}
void TFichierListModel::OpenClipboardFiles() {
    auto names = ClipboardFiles ? ClipboardFiles() : std::nullopt;
    startJob(TOpenMode::omClipboard, names.value_or(std::vector<std::string>{}));
}
void TFichierListModel::OpenDroppedFiles(std::vector<std::string> names) {
    startJob(TOpenMode::omDrop, std::move(names));
}
void TFichierListModel::OpenPreferredFolder() {
    OpenFolderTree(PreferredFolder);
}
void TFichierListModel::OpenPreferredPlayList() {
    struct stat st {};
    if (!PreferredPlayList.empty() && ::stat(PreferredPlayList.c_str(), &st) == 0)
        OpenPlayListFile(PreferredPlayList);
}

void TFichierListModel::StopOpening() {
    worker_->AbortRequested = true;
    // Called from inside one of the worker's own calls, the worker cannot finish until that call
    // returns: asking it to stop is all that can be done here.
    if (inWorkerCall_ || !worker_->Busy || !pump_) return;
    pump_([this] { return !worker_->Busy; });
}

void TFichierListModel::OpenStart() {
    WorkerCall call(inWorkerCall_);
    if (OnOpenStart) OnOpenStart();
}

void TFichierListModel::OpenFolderFound(const std::string& folder) {
    WorkerCall call(inWorkerCall_);
    if (OnOpenFolderFound) OnOpenFolderFound(folder);
}

bool TFichierListModel::TestExtension(const std::string& ext) {
    return OnOpenTestExtension ? OnOpenTestExtension(ext) : true;
}

void TFichierListModel::FileFound(const std::string& folder, const std::string& path) {
    WorkerCall call(inWorkerCall_);
    TAbstractListFichier* record = FindOrAddFichier(path);
    AddFichier(record, SelectionnerOuverts);
    if (OnOpenFileFound) OnOpenFileFound(folder, record);
}

void TFichierListModel::OpenFailed(const std::string& reason) {
    if (OnOpenError)
        OnOpenError(reason);
    else
        std::fprintf(stderr, "%s\n", reason.c_str());
}

void TFichierListModel::OpenEnd(int count) {
    WorkerCall call(inWorkerCall_);
    if (OnOpenEnd) OnOpenEnd(count);
}

}  // namespace velinor
