#include "support/temp_dir.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace velinor::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velinor-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string RunCommand(const std::string& commandLine, int* status) {
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) throw std::runtime_error("popen failed: " + commandLine);
    std::string out;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, got);
    const int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace velinor::test
