// The user's documents folder from xdg-user-dir, and the home folder when it answers nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/user_folders.h"

namespace velinor {
namespace {

struct Env {
    Env(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        saved_ = old ? old : "";
        ::setenv(name, value.c_str(), 1);
    }
    ~Env() {
        if (had_)
            ::setenv(name_, saved_.c_str(), 1);
        else
            ::unsetenv(name_);
    }
    const char* name_;
    bool had_ = false;
    std::string saved_;
};

TEST(UserFoldersTest, DocumentsFolderComesFromTheUsersDirsFile) {
    char pattern[] = "/tmp/velinor-folders-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    Env h("HOME", home);
    Env c("XDG_CONFIG_HOME", home + "/cfg");
    std::filesystem::create_directories(home + "/cfg");
    if (std::system("command -v xdg-user-dir >/dev/null 2>&1") == 0) {
        std::ofstream(home + "/cfg/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Mes documents\"\n";
        EXPECT_EQ(DefaultSaveFolder(), home + "/Mes documents");
        std::filesystem::remove(home + "/cfg/user-dirs.dirs");
    }
    // Nothing configured: the home folder.
    EXPECT_EQ(DefaultSaveFolder(), home);
    std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace velinor
