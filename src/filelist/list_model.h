#pragma once
// The file list without its widget: records kept in the order of a sort key, a multi-selection,
// the active (current) item, counts and hint, removal, replacement, re-sorting, and the open
// requests run by the worker. UI thread only; the widget shows it and forwards the user's clicks.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filelist/fichier_list.h"
#include "filelist/list_fichier.h"
#include "filelist/thread_open.h"
#include "platform/dispatcher.h"

namespace velinor {

class TFichierListModel final : public OpenTarget {
public:
    // Runs the UI thread's pending calls until the predicate answers true.
    using UiPump = std::function<void(const std::function<bool()>& done)>;

    TFichierListModel(UiDispatcher& ui, UiPump pump);
    ~TFichierListModel() override;
    TFichierListModel(const TFichierListModel&) = delete;
    TFichierListModel& operator=(const TFichierListModel&) = delete;

    // Settings.
    bool SelectionnerOuverts = false;
    std::string PreferredFolder;
    std::string PreferredPlayList;
    const TSortIndex& SortIndex() const { return sortIndex_; }

    // Events, raised on the UI thread (OnOpenTestExtension on the worker thread).
    std::function<void()> OnOpenStart;
    std::function<void(const std::string& folder)> OnOpenFolderFound;
    std::function<bool(const std::string& ext)> OnOpenTestExtension;
    std::function<void(const std::string& folder, TAbstractListFichier* record)> OnOpenFileFound;
    std::function<void(int count)> OnOpenEnd;
    // An opening that stopped on an error; written to the error output when unset.
    std::function<void(const std::string& reason)> OnOpenError;
    std::function<bool(TAbstractListFichier* record)> BeforeLister;
    std::function<void(int selected, int count)> OnCountsChange;
    std::function<void(TAbstractListFichier* record)> OnActiveChange;
    // Filled by the window: the file names on the clipboard, or none when it holds no file list.
    std::function<std::optional<std::vector<std::string>>()> ClipboardFiles;

    // Binding the cache (or changing its record class) empties the list.
    void SetCache(TFichierList* cache);
    TFichierList* Cache() const { return cache_; }
    void SetRecordClass(TFichierList::RecordClass recordClass);

    int AddFichier(TAbstractListFichier* record, bool select);
    TAbstractListFichier* FindOrAddFichier(const std::string& path);
    void RemoveFichier(const TAbstractListFichier* record);
    int ReplaceFichier(const TAbstractListFichier* old, std::unique_ptr<TAbstractListFichier> replacement);
    void ReinsertFichier(const TAbstractListFichier* old, TAbstractListFichier* replacement);
    void ClearFichiers();
    void SelectFichier(const TAbstractListFichier* record);
    void SetActiveIndex(int index);
    void SelectAllFichiers(bool all);
    void RemoveSelected();
    void SortBy(const TSortIndex& index);
    int IndexOfPath(const std::string& path) const;
    void CollectFileNames(std::vector<std::string>& names) const;
    std::string ActiveFileName() const;
    void NotifyActive();
    void UpdateCounts();

    // The user's own changes, as the widget reports them.
    void SetSelected(int index, bool selected);
    void UserReleased();  // mouse button up, or a navigation key up

    // Open requests: each stops a running one first, then starts the worker.
    void OpenPaths(std::vector<std::string> paths);
    void OpenFolderTree(const std::string& folder);
    void OpenPlayListFile(const std::string& file);
    void OpenFixedDrives();
    void OpenClipboardFiles();
    void OpenDroppedFiles(std::vector<std::string> names);
    void OpenPreferredFolder();
    void OpenPreferredPlayList();
    void StopOpening();
    bool Busy() const { return worker_->Busy; }

    // Reading.
    int Count() const { return int(items_.size()); }
    TAbstractListFichier* Item(int index) const { return items_.at(size_t(index)).Record; }
    const std::string& ItemText(int index) const { return items_.at(size_t(index)).Record->Name; }
    bool Selected(int index) const { return items_.at(size_t(index)).Selected; }
    int SelectedCount() const;
    int ItemIndex() const { return current_; }
    const std::string& Hint() const { return hint_; }
    TAbstractListFichier* LastActive() const { return lastActive_; }

private:
    struct Item_ {
        TAbstractListFichier* Record;
        std::string Key;  // the sort key, lower-cased for comparison
        bool Selected = false;
    };

    int insertSorted(TAbstractListFichier* record, bool selected);
    int indexOfRecord(const TAbstractListFichier* record) const;
    void startJob(TOpenMode mode, std::vector<std::string> input);

    // OpenTarget.
    void OpenStart() override;
    void OpenFolderFound(const std::string& folder) override;
    bool TestExtension(const std::string& ext) override;
    void FileFound(const std::string& folder, const std::string& path) override;
    void OpenEnd(int count) override;
    void OpenFailed(const std::string& reason) override;

    UiPump pump_;
    TFichierList* cache_ = nullptr;
    TSortIndex sortIndex_ = kSortAlpha;
    bool inWorkerCall_ = false;
    std::vector<Item_> items_;
    int current_ = -1;
    TAbstractListFichier* lastActive_ = nullptr;
    int lastCount_ = -1;
    int lastSelected_ = -1;
    std::string hint_;
    std::unique_ptr<TThreadOpen> worker_;
};

}  // namespace velinor
