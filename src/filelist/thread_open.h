#pragma once
// The open worker: enumerates the files of an open request (paths, a folder tree, a playlist,
// the fixed disks, pasted or dropped names) on its own thread and hands each accepted file to
// the list on the UI thread through the dispatcher, waiting for each hand-over.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatcher.h"

namespace velinor {

enum class TOpenMode {
    omFiles = 0,
    omFolder = 1,
    omPlayList = 2,
    omFixedDrives = 3,
    omClipboard = 4,
    omDrop = 5
};

// What the worker asks of the list. Every call but TestExtension runs on the UI thread.
class OpenTarget {
public:
    virtual ~OpenTarget() = default;
    virtual void OpenStart() = 0;
    virtual void OpenFolderFound(const std::string& folder) = 0;
    // Worker thread: whether a file with this lower-case extension is accepted.
    virtual bool TestExtension(const std::string& ext) = 0;
    virtual void FileFound(const std::string& folder, const std::string& path) = 0;
    virtual void OpenEnd(int count) = 0;
    // A job that stopped on an error before its end; the files found so far stay.
    virtual void OpenFailed(const std::string& reason) = 0;
};

// Names in a drop or paste beyond this length are skipped.
constexpr size_t kMaxDroppedNameLength = 65530;
// Playlists larger than this are not read.
constexpr uint64_t kMaxPlaylistBytes = 64u << 20;

// The paths a playlist lists: text in UTF-16 LE or BE (by its byte-order mark), UTF-8 with or
// without a mark; lines trimmed, empty ones and those starting with "#" skipped. Empty when the
// file cannot be read.
std::optional<std::vector<std::string>> ReadPlaylistPaths(const std::string& path);
// The same over the file's bytes.
std::vector<std::string> PlaylistPathsFromBytes(const std::string& bytes);

// `path` made absolute: a relative path is taken from `base`, or from the working folder when
// `base` is empty. Absolute paths are answered as they are.
std::string AbsolutePath(const std::string& path, const std::string& base = {});

// Mask matching as the open dialogs know it: "*" and "?" wildcards, letters without regard to
// case; "*.*" matches every name.
bool MatchMask(const std::string& pattern, const std::string& name);

class TThreadOpen {
public:
    TThreadOpen(OpenTarget& owner, UiDispatcher& ui);
    // Ends the thread. The owner must have stopped any job first (see Busy).
    ~TThreadOpen();
    TThreadOpen(const TThreadOpen&) = delete;
    TThreadOpen& operator=(const TThreadOpen&) = delete;

    // UI thread, while not Busy: starts one job. Busy is true from here until OpenEnd has run.
    void Start(TOpenMode mode, std::vector<std::string> input);

    std::atomic<bool> AbortRequested{false};
    std::atomic<bool> Busy{false};
    std::atomic<int> FoundCount{0};

private:
    void loop();
    void runJob(TOpenMode mode, const std::vector<std::string>& input);
    int ScanPath(const std::string& mask, bool recursive, int depth = 0);
    int openPlaylist(const std::string& path);
    void fixedDrives();

    OpenTarget& owner_;
    UiDispatcher& ui_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool terminate_ = false;
    bool pending_ = false;
    TOpenMode mode_ = TOpenMode::omFiles;
    std::vector<std::string> input_;
    // Scans of the fixed disks stay on the disk they started on.
    std::optional<uint64_t> device_;
    std::thread thread_;
};

}  // namespace velinor
