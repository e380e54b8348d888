#pragma once
// File moves the commands make: renames that never replace an existing file, renames that take
// the ".scn" and ".srt" sidecars along, and free names. Any thread.
#include <string>

#include "platform/atomic_file.h"  // ReplaceExtension

namespace velinor {

// Renames `from` to `to` unless something exists at `to`. Answers "" on success, else the
// reason in French.
std::string RenameNoReplace(const std::string& from, const std::string& to);

// Renames the file, then its ".scn" and ".srt" sidecars when they exist. Nothing when both
// paths are equal. Answers "" on success, else the reason; a sidecar that cannot follow is a
// failure too, reported after the video has moved.
std::string RenameWithSidecars(const std::string& from, const std::string& to);

// `path` when nothing exists there, else the first free base + "_001" + ext, "_002", ...
std::string UniqueName(const std::string& path);

bool PathExists(const std::string& path);

}  // namespace velinor
