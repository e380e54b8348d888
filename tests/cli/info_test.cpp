// velinor-cli info, run as a program on DV AVI files written by our writer.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "media/avi_writer.h"
#include "support/dv_builder.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun RunInfo(const std::string& arguments) {
    CliRun run;
    const std::string command = std::string("'") + VELINOR_CLI + "' info " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void WriteClip(const std::string& path, bool type1, int year) {
    DvClip clip;
    clip.scenes = {DvScene{3, DatecodeFields{year, 6, 1, 12, 0, 0}, 0}};
    clip.timecode = Timecode{0, 1, 2, 3};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(clip);
    AviWriterSettings s;
    s.Type = type1 ? AviWriterSettings::Kind::DvType1 : AviWriterSettings::Kind::DvType2;
    s.DvInfoBlock = DvInfoFromFrame(frames.front());
    AviWriter writer(path, s);
    const std::vector<uint8_t> silence(1920 * 4, 0);
    for (const auto& f : frames) {
        writer.WriteVideo(f);
        if (!type1) writer.WriteAudio(silence);
    }
    writer.Finish();
}

class InfoVerb : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velinor-info-" + std::to_string(getpid()));
        fs::create_directories(dir_ / "sous");
        WriteClip((dir_ / "b.avi").string(), true, 2024);
        WriteClip((dir_ / "sous" / "a.avi").string(), false, 2026);
        std::ofstream(dir_ / "sous" / "notes.txt") << "rien";
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(InfoVerb, ListsTheFolderInTheChosenOrder) {
    const std::string folder = "'" + dir_.string() + "'";
    struct Case {
        const char* sort;
        const char* first;
        const char* second;
    };
    for (const auto& c : {Case{"alpha", "a.avi", "b.avi"}, Case{"datecode", "b.avi", "a.avi"}}) {
        const CliRun run = RunInfo(folder + " --json --sort " + c.sort);
        ASSERT_EQ(run.status, 0) << c.sort;
        const size_t first = run.out.find(std::string("\"Name\":\"") + c.first + "\"");
        const size_t second = run.out.find(std::string("\"Name\":\"") + c.second + "\"");
        ASSERT_NE(first, std::string::npos);
        ASSERT_NE(second, std::string::npos);
        EXPECT_LT(first, second) << c.sort;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << "notes.txt is not listed";
    }
    const CliRun json = RunInfo(folder + " --json");
    for (const char* field :
         {"\"DatecodeKey\":\"20240601120000\"", "\"DVType\":1", "\"DVType\":2",
          "\"TimecodeText\":\"00.01.02.03\"", "\"FrameCount\":3", "\"SizeKey\":\"", "\"Fps\":25"})
        EXPECT_NE(json.out.find(field), std::string::npos) << field;

    const CliRun text = RunInfo("'" + (dir_ / "b.avi").string() + "'");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("Codec    : dvsd (type 1)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Image    : 720 x 576 (Pal 4x3)"), std::string::npos) << text.out;
}

TEST_F(InfoVerb, RefusesBadArgumentsAndReportsMissingPaths) {
    EXPECT_EQ(RunInfo("'" + dir_.string() + "' --sort couleur").status, 2);
    EXPECT_EQ(RunInfo("").status, 2);
    const CliRun missing =
        RunInfo("'" + (dir_ / "absent.avi").string() + "' '" + (dir_ / "b.avi").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("b.avi"), std::string::npos);
}

}  // namespace
}  // namespace velinor
