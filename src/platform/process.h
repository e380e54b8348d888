#pragma once
// Starting other programs with arguments passed as they are, never through a shell. Any thread.
#include <string>
#include <vector>

namespace velinor {

// Starts `program` (a path, or a name looked up in PATH) with `args`, without waiting for it;
// the child is reaped in the background. Answers "" on success, else the reason in French.
std::string StartProgram(const std::string& program, const std::vector<std::string>& args);

// Runs `program` with `args` and waits; answers its exit status (-1 when it could not start)
// and, when `output` is given, what it wrote on its standard output.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               std::string* output = nullptr);

// Opens a file with the desktop's program for its type (xdg-open).
std::string OpenWithDefault(const std::string& path);

// Shows the file selected in the file manager (org.freedesktop.FileManager1.ShowItems over
// D-Bus), or opens its folder when no file manager answers.
std::string ShowInFolder(const std::string& path);

// A "file://" address of an absolute path, with bytes outside the unreserved set percent-encoded.
std::string FileUri(const std::string& path);

}  // namespace velinor
