#include "platform/process.h"

#include "platform/error_text.h"
#include "platform/trash.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace velinor {

namespace {

int Spawn(const std::string& program, const std::vector<std::string>& args, pid_t& pid, int outFd) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    const int error = program.find('/') == std::string::npos
                          ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                          : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

}  // namespace

std::string StartProgram(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty()) return "aucun programme";
    pid_t pid = 0;
    if (const int error = Spawn(program, args, pid, -1); error != 0)
        return "Impossible de lancer " + program + " : " + ErrorText(error);
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {};
}

int RunProgram(const std::string& program, const std::vector<std::string>& args, std::string* output) {
    int pipeFds[2] = {-1, -1};
    if (output && ::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    pid_t pid = 0;
    const int error = Spawn(program, args, pid, output ? pipeFds[1] : -1);
    if (output) ::close(pipeFds[1]);
    if (error != 0) {
        if (output) ::close(pipeFds[0]);
        return -1;
    }
    if (output) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n > 0) {
                output->append(buffer, size_t(n));
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string OpenWithDefault(const std::string& path) {
    return StartProgram("xdg-open", {path});
}

std::string FileUri(const std::string& path) {
    return "file://" + TrashPathEncode(path);
}

std::string ShowInFolder(const std::string& path) {
    const int status =
        RunProgram("dbus-send",
                   {"--session", "--print-reply", "--dest=org.freedesktop.FileManager1", "--type=method_call",
                    "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1.ShowItems",
                    "array:string:" + FileUri(path), "string:"},
                   nullptr);
    if (status == 0) return {};
    const size_t slash = path.rfind('/');
    return OpenWithDefault(slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash)));
}

}  // namespace velinor
