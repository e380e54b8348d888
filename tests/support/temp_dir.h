#pragma once
// A fresh folder under the system temporary folder, removed with everything in it on destruction.
#include <filesystem>
#include <string>

namespace velinor::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Runs a shell command line and returns its standard output; `status` gets the exit status.
std::string RunCommand(const std::string& commandLine, int* status = nullptr);

// Quotes a path for the shell.
std::string ShellQuote(const std::string& text);

}  // namespace velinor::test
