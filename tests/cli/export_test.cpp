// velinor-cli exports, run as a program: the file-list exports set on "info" and "run", and the
// scene export commands of "run".
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scenes/scn_file.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliExports : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string video = dir.file("clip.avi");

    void SetUp() override {
        int status = 0;
        const std::string out = test::RunCommand(
            "ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=720x576:rate=25 -t 0.4 -c:v dvvideo "
            "-pix_fmt yuv420p " +
                test::ShellQuote(video) + " 2>&1",
            &status);
        ASSERT_EQ(status, 0) << out;
    }
    // Runs the program; answers its exit status, with its error output in `err`.
    int Cli(const std::string& arguments, std::string* err = nullptr) {
        int status = 0;
        const std::string errFile = dir.file("stderr.txt");
        test::RunCommand("XDG_DATA_HOME=" + test::ShellQuote(dir.file("data")) + " " +
                             test::ShellQuote(VELINOR_CLI) + " " + arguments + " >/dev/null 2>" +
                             test::ShellQuote(errFile),
                         &status);
        if (err) *err = ReadAll(errFile);
        return status;
    }
};

TEST_F(CliExports, InfoExportsTheOpenedFiles) {
    std::string err;
    ASSERT_EQ(Cli("info " + test::ShellQuote(video) +
                      " --set Selected=ShortName,Fps --set ExportCSV=" + test::ShellQuote(dir.file("l.csv")) +
                      " --set ExportExcel=" + test::ShellQuote(dir.file("l.xlsx")),
                  &err),
              0)
        << err;
    EXPECT_EQ(ReadAll(dir.file("l.csv")), "ShortName,Fps\r\nclip,25\r\n");
    EXPECT_GT(fs::file_size(dir.file("l.xlsx")), 0u);

    // Every column by default; an unknown setting is refused; a failed export fails the run.
    ASSERT_EQ(
        Cli("info " + test::ShellQuote(video) + " --set ExportCSV=" + test::ShellQuote(dir.file("l.csv"))),
        0);
    EXPECT_EQ(ReadAll(dir.file("l.csv")).rfind("ShortName,FileName,CreationDate,", 0), 0u);
    EXPECT_EQ(Cli("info " + test::ShellQuote(video) + " --set ExportPDF=x"), 2);
    EXPECT_EQ(
        Cli("info " + test::ShellQuote(video) + " --set ExportCSV=" + test::ShellQuote(dir.file("no/l.csv")),
            &err),
        1);
    EXPECT_NE(err.find(dir.file("no/l.csv")), std::string::npos) << err;
}

TEST_F(CliExports, RunExportsScenesAndTheList) {
    TwriteScene scn(video);
    ASSERT_TRUE(scn.AddScene(TSceneClass(0, 5)));
    ASSERT_TRUE(scn.AddScene(TSceneClass(5, 10)));
    ASSERT_TRUE(scn.Finish()) << scn.error();
    std::string err;
    ASSERT_EQ(Cli("run ExporterScenesTexte --set ExportCSV=" + test::ShellQuote(dir.file("l.csv")) + " " +
                      test::ShellQuote(video),
                  &err),
              0)
        << err;
    const std::string text = ReadAll(dir.file("clip_scn.txt"));
    EXPECT_NE(text.find("\r\n  2, 0:00:00:05, 0:00:00:09, "), std::string::npos) << text;
    EXPECT_NE(ReadAll(dir.file("l.csv")).find(",scn,"), std::string::npos);
    ASSERT_EQ(Cli("run exporterscenescalc " + test::ShellQuote(video), &err), 0) << err;
    EXPECT_TRUE(fs::exists(dir.file("clip.ods")));
}

// The scenes' datecode and timecode come from the preview, which the engine points at each file
// it exports: without it both fields of the text export stay empty.
TEST_F(CliExports, ExportedScenesCarryTheDetailsOfThePreview) {
    TwriteScene scn(video);
    ASSERT_TRUE(scn.AddScene(TSceneClass(0, 5)));
    ASSERT_TRUE(scn.AddScene(TSceneClass(5, 10)));
    ASSERT_TRUE(scn.Finish()) << scn.error();
    std::string err;
    ASSERT_EQ(Cli("run ExporterScenesTexte " + test::ShellQuote(video), &err), 0) << err;
    const std::string text = ReadAll(dir.file("clip_scn.txt"));
    const size_t line = text.find("\r\n  2, ");
    ASSERT_NE(line, std::string::npos) << text;
    std::vector<std::string> fields;
    std::string rest = text.substr(line + 2, text.find("\r\n", line + 2) - line - 2);
    for (size_t at; (at = rest.find(", ")) != std::string::npos; rest.erase(0, at + 2))
        fields.push_back(rest.substr(0, at));
    ASSERT_GE(fields.size(), 6u) << text;
    EXPECT_FALSE(fields[4].empty()) << text;  // datecode, or N/A
    EXPECT_FALSE(fields[5].empty()) << text;  // timecode, or N/A
}

}  // namespace
}  // namespace velinor
