#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "scenes/text_writer.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Change {
    int32_t frame;
    const char* line1;
    const char* line2;
};

TEST(SrtWriter, WritesOneEntryPerRunOfText) {
    struct Case {
        const char* name;
        double fps;
        std::vector<Change> changes;
        const char* text;
    };
    const Case cases[] = {
        {"two lines at 25 fps",
         25.0,
         {{0, "14/07/2026", "10:20:30"}, {25, "", ""}},
         "1\r\n00:00:00,000 --> 00:00:01,000\r\n14/07/2026\r\n10:20:30\r\n\r\n"},
        {"29.97 fps stamps",
         30000.0 / 1001,
         {{1, "a", "b"}, {30, "c", "d"}, {31, "", ""}},
         "1\r\n00:00:00,033 --> 00:00:01,001\r\na\r\nb\r\n\r\n"
         "2\r\n00:00:01,001 --> 00:00:01,034\r\nc\r\nd\r\n\r\n"},
        {"second line only",
         25.0,
         {{0, "", "00.00.01.02"}, {1, "", ""}},
         "1\r\n00:00:00,000 --> 00:00:00,040\r\n \r\n00.00.01.02\r\n\r\n"},
        {"text that never shows", 25.0, {}, ""},
        {"a repeated pair gives two entries",
         25.0,
         {{0, "x", "y"}, {50, "x", "y"}, {75, "", ""}},
         "1\r\n00:00:00,000 --> 00:00:02,000\r\nx\r\ny\r\n\r\n2\r\n00:00:02,000 --> "
         "00:00:03,000\r\nx\r\ny\r\n\r\n"},
        {"hours do not wrap",
         25.0,
         {{25 * 3600 * 25, "é", "ü"}, {25 * 3600 * 25 + 1, "", ""}},
         "1\r\n25:00:00,000 --> 25:00:00,040\r\né\r\nü\r\n\r\n"},
        {"pending entry lost without the final call", 25.0, {{0, "x", "y"}}, ""},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        TWriteSrt writer(dir.file("clip.avi"), c.fps);
        for (const auto& ch : c.changes)
            ASSERT_TRUE(writer.ChangeText(ch.frame, ch.line1, ch.line2)) << c.name;
        ASSERT_TRUE(writer.Finish()) << c.name << writer.error();
        EXPECT_EQ(readAll(dir.file("clip.srt")), c.text) << c.name;
    }
}

// An existing .srt is replaced only by a complete file; a failed or abandoned run keeps it.
TEST(SrtWriter, ReplacesTheOldFileOnlyWhenComplete) {
    test::TempDir dir;
    const std::string srt = dir.file("clip.srt");
    std::ofstream(srt) << "old";
    {
        TWriteSrt abandoned(dir.file("clip.avi"), 25.0);
        abandoned.ChangeText(0, "a", "b");
        abandoned.ChangeText(5, "", "");
    }
    EXPECT_EQ(readAll(srt), "old");
    TWriteSrt noRate(dir.file("clip.avi"), 0.0);
    EXPECT_FALSE(noRate.ok());
    EXPECT_FALSE(noRate.ChangeText(0, "a", "b"));
    EXPECT_FALSE(noRate.Finish());
    EXPECT_EQ(readAll(srt), "old");

    ::chmod(srt.c_str(), 0640);
    TWriteSrt writer(dir.file("clip"), 25.0);
    EXPECT_EQ(writer.path(), dir.file("clip.srt"));
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(readAll(srt), "");
    struct stat st {};
    ASSERT_EQ(::stat(srt.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace velinor
