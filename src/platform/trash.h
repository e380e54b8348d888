#pragma once
// Moving files to the freedesktop.org trash, so a file manager can list and restore them: the
// home trash ($XDG_DATA_HOME/Trash) for files on its volume, else the volume's own
// $topdir/.Trash/$uid or $topdir/.Trash-$uid. Any thread.
#include <string>

namespace velinor {

struct TrashResult {
    bool Ok = false;
    std::string Error;      // French, naming the file, when Ok is false
    std::string TrashedAs;  // the path of the file inside the trash's "files" folder
    std::string InfoPath;   // its ".trashinfo"
    explicit operator bool() const { return Ok; }
};

// The trash the file at `path` goes to: the home trash on the same volume, or the volume's.
// Empty when none can be used.
std::string TrashDirFor(const std::string& path);

// Moves `path` to the trash that TrashDirFor picks.
TrashResult MoveToTrash(const std::string& path);

// Moves `path` into `trashDir` (created with "files" and "info" when missing). `infoPath` is
// the Path written in the info file: the absolute path for the home trash, the path relative
// to the volume's top folder for a volume trash. The file must be on the trash's volume.
TrashResult MoveToTrashDir(const std::string& path, const std::string& trashDir, const std::string& infoPath);

// The Path value of a ".trashinfo": bytes outside the unreserved set and "/" percent-encoded.
std::string TrashPathEncode(const std::string& path);

}  // namespace velinor
