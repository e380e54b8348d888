#include "filelist/thread_open.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "filelist/list_fichier.h"
#include "platform/utf16.h"

namespace velinor {
namespace {

constexpr int kMaxDepth = 256;

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::string& bytes, size_t start, bool bigEndian) {
    std::string out;
    const auto unit = [&](size_t i) {
        const auto a = uint8_t(bytes[i]), b = uint8_t(bytes[i + 1]);
        return char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t v = unit(i + 2);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(v) - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? char32_t(0xFFFD) : char32_t(u));
    }
    return out;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && uint8_t(s[a]) <= ' ') ++a;
    while (b > a && uint8_t(s[b - 1]) <= ' ') --b;
    return s.substr(a, b - a);
}

bool IsDotName(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

}  // namespace

std::optional<std::vector<std::string>> ReadPlaylistPaths(const std::string& path) {
    // Only a regular file: opening a FIFO for reading would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxPlaylistBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes(size_t(st.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    return PlaylistPathsFromBytes(bytes);
}

std::vector<std::string> PlaylistPathsFromBytes(const std::string& bytes) {
    std::string text;
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
        text = Utf16ToUtf8(bytes, 2, false);
    else if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF)
        text = Utf16ToUtf8(bytes, 2, true);
    else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = bytes.substr(3);
    else
        text = bytes;  // the system's own encoding, UTF-8

    std::vector<std::string> paths;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        if (!line.empty() && line[0] != '#') paths.push_back(line);
        start = end + 1;
    }
    return paths;
}

std::string AbsolutePath(const std::string& path, const std::string& base) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    std::filesystem::path from =
        base.empty() ? std::filesystem::current_path(ec) : std::filesystem::path(base);
    if (ec || from.empty()) return path;
    return (from / path).lexically_normal().string();
}

bool MatchMask(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    if (pattern.find_first_of("*?") == std::string::npos) return pattern == name;
    const std::string p = LowerCase(pattern), n = LowerCase(name);
    // Iterative wildcard match with one backtrack point; "?" matches one byte.
    size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

TThreadOpen::TThreadOpen(OpenTarget& owner, UiDispatcher& ui) : owner_(owner), ui_(ui) {
    thread_ = std::thread([this] { loop(); });
}

TThreadOpen::~TThreadOpen() {
    AbortRequested = true;
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TThreadOpen::Start(TOpenMode mode, std::vector<std::string> input) {
    AbortRequested = false;
    Busy = true;
    FoundCount = 0;
    {
        std::lock_guard lock(mutex_);
        mode_ = mode;
        input_ = std::move(input);
        pending_ = true;
    }
    wake_.notify_all();
}

void TThreadOpen::loop() {
    for (;;) {
        TOpenMode mode;
        std::vector<std::string> input;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return terminate_ || pending_; });
            if (terminate_) return;
            pending_ = false;
            mode = mode_;
            input.swap(input_);
        }
        // No exception leaves the thread: a failed job is reported, then ends like any other.
        std::string failure;
        try {
            ui_.invoke([this] { owner_.OpenStart(); });
            runJob(mode, input);
        } catch (const std::exception& e) {
            failure = std::string("L'ouverture des fichiers a échoué : ") + e.what();
        } catch (...) {
            failure = "L'ouverture des fichiers a échoué.";
        }
        if (!failure.empty()) {
            try {
                ui_.invoke([this, &failure] { owner_.OpenFailed(failure); });
            } catch (...) {
                // The UI thread is gone: nobody is left to tell.
            }
        }
        AbortRequested = false;
        const int count = FoundCount;
        try {
            ui_.invoke([this, count] { owner_.OpenEnd(count); });
        } catch (...) {
            // The UI thread is gone: nobody is left to tell.
        }
        device_.reset();
        Busy = false;
        ui_.post([] {});  // wakes a UI thread waiting for the end
    }
}

void TThreadOpen::runJob(TOpenMode mode, const std::vector<std::string>& input) {
    switch (mode) {
        case TOpenMode::omFiles:
            for (const auto& path : input) {
                if (AbortRequested) break;
                FoundCount += ScanPath(path, false);
            }
            break;
        case TOpenMode::omFolder:
            if (!input.empty()) {
                std::string folder = input[0];
                if (folder.empty() || folder.back() != '/') folder += '/';
                FoundCount += ScanPath(folder + "*.*", true);
            }
            break;
        case TOpenMode::omPlayList:
            if (!input.empty()) FoundCount += openPlaylist(input[0]);
            break;
        case TOpenMode::omFixedDrives:
            fixedDrives();
            break;
        case TOpenMode::omClipboard:
            for (const auto& name : input) {
                if (AbortRequested) break;
                if (name.size() > kMaxDroppedNameLength) continue;
                FoundCount += ScanPath(name, true);
            }
            break;
        case TOpenMode::omDrop:
            for (const auto& name : input) {
                if (AbortRequested) break;
                if (name.size() > kMaxDroppedNameLength) continue;
                if (SplitPath(name).Name.ends_with(".txt"))
                    FoundCount += openPlaylist(name);
                else
                    FoundCount += ScanPath(name, true);
            }
            break;
    }
}

int TThreadOpen::openPlaylist(const std::string& path) {
    const auto lines = ReadPlaylistPaths(path);
    if (!lines) return 0;
    // Entries written relative to the playlist are found beside it, wherever the program runs.
    const std::string playlist = AbsolutePath(path);
    const std::string folder = playlist.substr(0, playlist.rfind('/') + 1);
    int count = 0;
    for (const auto& line : *lines) {
        if (AbortRequested) break;
        count += ScanPath(AbsolutePath(line, folder), false);
    }
    return count;
}

// The disks of this machine: file systems mounted from a block device (loop devices are disk
// images, not disks), each scanned without crossing into other mounts.
void TThreadOpen::fixedDrives() {
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    std::set<std::string> devices;
    std::vector<std::string> points;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, point;
        fields >> device >> point;
        if (!device.starts_with("/dev/") || device.starts_with("/dev/loop")) continue;
        if (!devices.insert(device).second) continue;
        points.push_back(point);
    }
    std::sort(points.begin(), points.end());
    for (const auto& point : points) {
        if (AbortRequested) break;
        struct stat st {};
        if (::stat(point.c_str(), &st) != 0) continue;
        device_ = uint64_t(st.st_dev);
        FoundCount += ScanPath(point + (point.ends_with('/') ? "" : "/") + "*.*", true);
    }
    device_.reset();
}

int TThreadOpen::ScanPath(const std::string& given, bool recursive, int depth) {
    if (AbortRequested || depth > kMaxDepth) return 0;
    // Records, scene files, exports and kept lists name files by full path, whatever folder
    // the program was started from.
    const std::string mask = AbsolutePath(given);
    const size_t slash = mask.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : mask.substr(0, slash + 1);
    const std::string pattern = mask.substr(folder.size());
    if (recursive) ui_.invoke([this, &folder] { owner_.OpenFolderFound(folder); });

    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (!IsDotName(entry->d_name) && MatchMask(pattern, entry->d_name))
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());

    int count = 0;
    for (const auto& name : names) {
        if (AbortRequested) break;
        const std::string path = folder + name;
        struct stat entry {};
        if (::lstat(path.c_str(), &entry) != 0) continue;
        if (S_ISLNK(entry.st_mode)) {
            // A link to a folder is not followed; a link to a file opens that file.
            struct stat target {};
            if (::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) continue;
            entry = target;
        }
        if (S_ISREG(entry.st_mode)) {
            const std::string ext = SplitPath(name).Ext;
            if (!owner_.TestExtension(ext) || AbortRequested) continue;
            ui_.invoke([this, &folder, &path] { owner_.FileFound(folder, path); });
            ++count;
        } else if (S_ISDIR(entry.st_mode) && recursive) {
            if (device_ && uint64_t(entry.st_dev) != *device_) continue;
            if (name == pattern)
                count += ScanPath(path + "/*.*", true, depth + 1);
            else
                count += ScanPath(path + "/" + pattern, true, depth + 1);
        }
        // FIFOs, devices and sockets are never opened.
    }
    return count;
}

}  // namespace velinor
