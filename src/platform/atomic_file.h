#pragma once
// The one way this program writes a file under a user's name: the bytes go to a temporary file
// beside the target, which is renamed over the target only when complete, so a failed or
// abandoned write never leaves half a file under the user's name and never loses the old one.
//
// Temporary names. The temporary file of target "<folder>/<name>" is
//     "<folder>/.<name>.velinor-tmp-XXXXXX"
// (hidden, in the target's folder so the rename stays on one file system; XXXXXX are six
// characters chosen by mkstemp). Nothing else this program writes has ".velinor-tmp-" in its
// name, so a file matching IsTemporaryName is a leftover of a write that never completed (a
// killed process) and can be removed; TemporaryTargetName says which file it was meant to be.
//
// Leftovers. While a temporary file is being written, its writer holds an exclusive flock on
// it, until it is renamed over the target or removed, named writes by a library included. A
// process killed with SIGKILL loses its locks, so a temporary file whose lock can be taken
// belongs to no live writer: RemoveLeftovers removes only those, and two processes writing in
// the same folder never remove each other's file. A temporary file removed by a sweep between
// its creation and its lock is seen by its writer (no link left), which creates another.
//
// Permissions. A file that replaces an existing one keeps that file's permission bits; a new
// file gets 0666 without the bits of the process's umask. The umask is read once, before main
// runs, and never changed: changing it while other threads create files would race with them.
//
// One AtomicFile is used by one thread at a time.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velinor {

// The part of a temporary name that marks it as this program's.
inline constexpr std::string_view kTemporaryMarker = ".velinor-tmp-";

// The mkstemp pattern of `target`'s temporary file (ends in "XXXXXX").
std::string TemporaryPattern(const std::string& target);
// True when `fileName` (a name without folder) has the shape of a temporary name above.
bool IsTemporaryName(std::string_view fileName);
// The name of the file a temporary name was written for ("clip.avi" for
// ".clip.avi.velinor-tmp-a1B2c3"); nothing when `fileName` is not a temporary name.
std::optional<std::string> TemporaryTargetName(std::string_view fileName);

// The permission bits of a new file: 0666 without the process's umask, as read at start.
mode_t NewFileMode();

class AtomicFile {
public:
    // What Commit does when a file already exists at the target.
    enum class Existing { Replace, Keep };

    AtomicFile() = default;
    // Discards the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `target`. False (with error()) when it cannot be created.
    bool Open(const std::string& target, Existing existing = Existing::Replace);
    bool Write(std::span<const uint8_t> bytes);
    bool Write(const std::string& text);
    bool Write(std::string_view text);
    // Writes at `offset` without moving the running position.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Closes the temporary file but keeps its name, for libraries that write the file by name.
    bool CloseForNamedWrite();
    // Flushes to the disk, closes and renames over the target. With Existing::Keep an existing
    // target is left alone and Commit fails with errorNumber() EEXIST.
    bool Commit();
    // Closes and removes the temporary file.
    void Discard();

    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return !error_.empty(); }
    // The French description of the first failure, with the target's path.
    const std::string& error() const { return error_; }
    // The errno of the first failure (ENOSPC for a write that wrote nothing).
    int errorNumber() const { return errno_; }
    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temp_; }

private:
    bool fail(const std::string& what, int err);
    void closeLock();

    int fd_ = -1;
    // The lock that marks the temporary file as live; kept when fd_ is closed for a named write.
    int lockFd_ = -1;
    Existing existing_ = Existing::Replace;
    std::string target_;
    std::string temp_;
    std::string error_;
    int errno_ = 0;
};

// Removes from `folder` (not its subfolders) the temporary files that no live writer holds,
// leftovers of writes that never completed. Answers how many were removed.
int RemoveLeftovers(const std::string& folder);

// Writes `bytes` to `target` through an AtomicFile. Empty on success, else the French error.
std::string WriteFileAtomically(const std::string& target, std::string_view bytes);

// The path with its extension (after the last "." of the file name) replaced by `extension`,
// or with `extension` appended when the name has none.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

}  // namespace velinor
