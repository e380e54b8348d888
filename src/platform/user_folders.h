#pragma once
// The user's XDG folders. Any thread.
#include <string>

namespace velinor {

// The user's home folder ($HOME, else the password database).
std::string HomeFolder();

// The folder `xdg-user-dir NAME` answers (NAME is "DOCUMENTS", "VIDEOS", ...), falling back to
// the home folder when the tool is missing or answers nothing.
std::string UserFolder(const std::string& name);

// Where produced files go by default: the documents folder.
std::string DefaultSaveFolder();

}  // namespace velinor
