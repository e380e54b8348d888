// The freedesktop.org trash: where a file goes, its info file, names already in the trash, a
// volume's own trash, and restoring a file the way a file manager does from its info file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/trash.h"

namespace velinor {
namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The value of a "Key=" line of an info file; empty when missing.
std::string InfoValue(const std::string& info, const std::string& key) {
    const size_t at = info.find("\n" + key + "=");
    if (at == std::string::npos) return {};
    const size_t begin = at + key.size() + 2;
    const size_t end = info.find('\n', begin);
    return end == std::string::npos ? std::string() : info.substr(begin, end - begin);
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// What a file manager does: read Path from the info file and move the file back there.
bool Restore(const TrashResult& r, const std::string& topDir) {
    const std::string info = Read(r.InfoPath);
    std::string path = PercentDecode(InfoValue(info, "Path"));
    if (path.empty()) return false;
    if (path.front() != '/') path = topDir + "/" + path;
    if (std::rename(r.TrashedAs.c_str(), path.c_str()) != 0) return false;
    return std::remove(r.InfoPath.c_str()) == 0;
}

struct TrashTest : ::testing::Test {
    void SetUp() override {
        char pattern[] = "/tmp/velinor-trash-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        const char* old = std::getenv("XDG_DATA_HOME");
        had = old != nullptr;
        saved = old ? old : "";
        ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    }
    void TearDown() override {
        if (had)
            ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir, saved;
    bool had = false;
};

TEST_F(TrashTest, FileGoesToTheHomeTrashAndComesBack) {
    const std::string path = dir + "/a b%é#.avi";
    Write(path, "video");
    EXPECT_EQ(TrashDirFor(path), dir + "/data/Trash");
    const TrashResult r = MoveToTrash(path);
    ASSERT_TRUE(r) << r.Error;
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(r.TrashedAs, dir + "/data/Trash/files/a b%é#.avi");
    EXPECT_EQ(r.InfoPath, dir + "/data/Trash/info/a b%é#.avi.trashinfo");
    const std::string info = Read(r.InfoPath);
    EXPECT_TRUE(info.starts_with("[Trash Info]\nPath=" + dir + "/a%20b%25%C3%A9%23.avi\nDeletionDate="))
        << info;
    // DeletionDate is local time, YYYY-MM-DDThh:mm:ss.
    const std::string date = InfoValue(info, "DeletionDate");
    ASSERT_EQ(date.size(), 19u) << info;
    for (size_t i = 0; i < date.size(); ++i) {
        const char expected = i == 4 || i == 7 ? '-' : i == 10 ? 'T' : i == 13 || i == 16 ? ':' : '0';
        if (expected == '0') {
            EXPECT_TRUE(date[i] >= '0' && date[i] <= '9') << date;
        } else {
            EXPECT_EQ(date[i], expected) << date;
        }
    }
    EXPECT_TRUE(info.ends_with("\n"));
    struct stat st {};
    ASSERT_EQ(::stat((dir + "/data/Trash/files").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_TRUE(Restore(r, ""));
    EXPECT_EQ(Read(path), "video");
}

// GLib's own trash code (gio trash) writes the same entry for the same file.
TEST_F(TrashTest, EntryMatchesWhatGioWrites) {
    if (std::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "gio is not installed";
    const std::string name = "l'été 100% [x].avi";
    Write(dir + "/" + name, "ours");
    const TrashResult ours = MoveToTrash(dir + "/" + name);
    ASSERT_TRUE(ours) << ours.Error;
    Write(dir + "/" + name, "gio");
    const std::string command =
        "cd '" + dir + "' && XDG_DATA_HOME='" + dir + "/gio' gio trash \"" + name + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const auto pathLine = [](const std::string& info) { return InfoValue(info, "Path"); };
    const std::string gioInfo = Read(dir + "/gio/Trash/info/" + name + ".trashinfo");
    ASSERT_FALSE(gioInfo.empty());
    EXPECT_EQ(pathLine(Read(ours.InfoPath)), pathLine(gioInfo));
    EXPECT_EQ(Read(dir + "/gio/Trash/files/" + name), "gio");
    EXPECT_EQ(Read(ours.TrashedAs), "ours");
}

TEST_F(TrashTest, SameNamesGetNumberedEntries) {
    std::vector<std::string> trashed;
    for (const char* text : {"one", "two", "three"}) {
        Write(dir + "/clip.avi", text);
        const TrashResult r = MoveToTrash(dir + "/clip.avi");
        ASSERT_TRUE(r) << r.Error;
        trashed.push_back(r.TrashedAs);
    }
    EXPECT_EQ(trashed, (std::vector<std::string>{dir + "/data/Trash/files/clip.avi",
                                                 dir + "/data/Trash/files/clip.2.avi",
                                                 dir + "/data/Trash/files/clip.3.avi"}));
    EXPECT_EQ(Read(trashed[1]), "two");
    EXPECT_TRUE(std::filesystem::exists(dir + "/data/Trash/info/clip.2.avi.trashinfo"));
}

TEST_F(TrashTest, VolumeTrashKeepsARelativePath) {
    std::filesystem::create_directories(dir + "/vol/sub");
    Write(dir + "/vol/sub/x.avi", "x");
    const std::string trash = dir + "/vol/.Trash-" + std::to_string(::getuid());
    const TrashResult r = MoveToTrashDir(dir + "/vol/sub/x.avi", trash, "sub/x.avi");
    ASSERT_TRUE(r) << r.Error;
    EXPECT_NE(Read(r.InfoPath).find("\nPath=sub/x.avi\n"), std::string::npos);
    ASSERT_TRUE(Restore(r, dir + "/vol"));
    EXPECT_EQ(Read(dir + "/vol/sub/x.avi"), "x");
}

TEST_F(TrashTest, FailuresLeaveTheFile) {
    EXPECT_FALSE(MoveToTrash(dir + "/missing.avi"));
    Write(dir + "/data", "not a folder");
    Write(dir + "/kept.avi", "kept");
    const TrashResult r = MoveToTrash(dir + "/kept.avi");
    EXPECT_FALSE(r);
    EXPECT_NE(r.Error.find("kept.avi"), std::string::npos);
    EXPECT_EQ(Read(dir + "/kept.avi"), "kept");
}

}  // namespace
}  // namespace velinor
