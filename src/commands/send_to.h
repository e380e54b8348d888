#pragma once
// "Envoyer vers" on a freedesktop.org desktop: a desktop entry in the user's applications folder
// ($XDG_DATA_HOME/applications, ~/.local/share/applications by default) that declares the program
// a handler of AVI files, so that the file manager lists it under "Ouvrir avec". Its name is the
// program file's name followed by "-sendto.desktop", so that it never replaces an entry the
// program's package installs. UI thread only.
#include <string>

namespace velinor {

// The entry's path for the program file `program`; empty when there is no home folder to put it in.
std::string SendToEntryPath(const std::string& program);
// The entry's text: the program started with the chosen files.
std::string SendToEntryText(const std::string& program);
// Creates (or replaces) the entry when `on`, removes it otherwise. False when that failed; the
// options page ignores failures.
bool SetSendToEntry(bool on, const std::string& program, const std::string& entryPath);

}  // namespace velinor
