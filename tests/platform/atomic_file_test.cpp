// The one writer of files under a user's name: temporary names, permissions, replace or keep.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(AtomicFile, TemporaryNamesAreRecognisedAndNameTheirTarget) {
    struct Case {
        const char* name;
        const char* target;  // empty: not a temporary name
    };
    for (const Case& c :
         {Case{".clip.avi.velinor-tmp-a1B2c3", "clip.avi"}, Case{".a.velinor-tmp-ZZZZZZ", "a"},
          Case{".clip.avi.velinor-tmp-a1B2c", ""},  // five characters
          Case{"clip.avi.velinor-tmp-a1B2c3", ""},  // not hidden
          Case{".velinor-tmp-a1B2c3", ""},          // no target name
          Case{".clip.avi.XXXXXX", ""}, Case{"clip.avi", ""}}) {
        const auto target = TemporaryTargetName(c.name);
        EXPECT_EQ(target.value_or(""), c.target) << c.name;
        EXPECT_EQ(IsTemporaryName(c.name), *c.target != '\0') << c.name;
    }
}

TEST(AtomicFile, WritesBesideTheTargetAndPutsTheFileInPlaceOnlyOnCommit) {
    test::TempDir dir;
    const std::string target = dir.file("report.txt");
    AtomicFile file;
    ASSERT_TRUE(file.Open(target));
    const std::string temp = file.temporaryPath();
    EXPECT_EQ(fs::path(temp).parent_path(), dir.path());
    EXPECT_EQ(TemporaryTargetName(fs::path(temp).filename().string()).value_or(""), "report.txt");
    EXPECT_EQ(ModeOf(temp), NewFileMode());  // a new file: 0666 without the umask
    ASSERT_TRUE(file.Write(std::string("bonjour")));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadAll(target), "bonjour");
    EXPECT_FALSE(fs::exists(temp));

    // A replaced file keeps its permissions; an abandoned write leaves the old file and no
    // temporary file.
    ::chmod(target.c_str(), 0600);
    EXPECT_EQ(WriteFileAtomically(target, "nouveau"), "");
    EXPECT_EQ(ReadAll(target), "nouveau");
    EXPECT_EQ(ModeOf(target), 0600u);
    {
        AtomicFile abandoned;
        ASSERT_TRUE(abandoned.Open(target));
        ASSERT_TRUE(abandoned.Write(std::string("à moitié")));
    }
    EXPECT_EQ(ReadAll(target), "nouveau");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Keep: an existing target is never replaced.
    AtomicFile keep;
    ASSERT_TRUE(keep.Open(target, AtomicFile::Existing::Keep));
    ASSERT_TRUE(keep.Write(std::string("autre")));
    EXPECT_FALSE(keep.Commit());
    EXPECT_EQ(keep.errorNumber(), EEXIST);
    EXPECT_EQ(ReadAll(target), "nouveau");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// A sweep removes the temporary files no writer holds: those of writers that are gone. Files
// being written, by a byte writer or by a library writing by name, stay, as do a file another
// process holds, things that only look like leftovers, and other files.
TEST(AtomicFile, ASweepRemovesOnlyTheLeftoversNoWriterHolds) {
    test::TempDir dir;
    const auto names = [&dir] {
        std::vector<std::string> all;
        for (const auto& e : fs::directory_iterator(dir.path())) all.push_back(e.path().filename().string());
        std::sort(all.begin(), all.end());
        return all;
    };
    std::ofstream(dir.file(".a.avi.velinor-tmp-Gone01")) << "RIFF";
    std::ofstream(dir.file(".b.avi.velinor-tmp-Gone02")) << "";
    std::ofstream(dir.file(".c.avi.velinor-tmp-Held01")) << "RIFF";
    std::ofstream(dir.file("clip.avi")) << "RIFF";
    std::ofstream(dir.file(".clip.avi.velinor-tmp-short")) << "";
    fs::create_directory(dir.file(".d.avi.velinor-tmp-Folder"));
    fs::create_symlink(dir.file("clip.avi"), dir.file(".e.avi.velinor-tmp-Link01"));
    // Another writer's lock: another open file, as another process would hold it.
    const int held = ::open(dir.file(".c.avi.velinor-tmp-Held01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    AtomicFile writing, named;
    ASSERT_TRUE(writing.Open(dir.file("f.avi")));
    ASSERT_TRUE(writing.Write(std::string("RIFF")));
    ASSERT_TRUE(named.Open(dir.file("g.xlsx")));
    ASSERT_TRUE(named.CloseForNamedWrite());

    EXPECT_EQ(RemoveLeftovers(dir.path().string()), 2);
    std::vector<std::string> kept = {".c.avi.velinor-tmp-Held01",
                                     ".clip.avi.velinor-tmp-short",
                                     ".d.avi.velinor-tmp-Folder",
                                     ".e.avi.velinor-tmp-Link01",
                                     "clip.avi",
                                     fs::path(writing.temporaryPath()).filename().string(),
                                     fs::path(named.temporaryPath()).filename().string()};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(names(), kept);
    EXPECT_EQ(ReadAll(dir.file("clip.avi")), "RIFF");

    // Committed or discarded, the writers' files are gone or in place; the held one goes once free.
    ASSERT_TRUE(writing.Commit());
    named.Discard();
    ::close(held);
    EXPECT_EQ(RemoveLeftovers(dir.path().string()), 1);
    EXPECT_EQ(ReadAll(dir.file("f.avi")), "RIFF");
    EXPECT_EQ(RemoveLeftovers(dir.file("missing")), 0);
}

TEST(AtomicFile, AFolderThatCannotBeWrittenSaysSo) {
    AtomicFile file;
    EXPECT_FALSE(file.Open("/nonexistent-folder/x.txt"));
    EXPECT_NE(file.error().find("Impossible de créer le fichier /nonexistent-folder/x.txt"),
              std::string::npos)
        << file.error();
}

}  // namespace
}  // namespace velinor
