// velinor-cli scenes, run as a program on a DV AVI written by our writer, with and without its
// .scn file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/avi_writer.h"
#include "support/dv_builder.h"

namespace velinor {

// In its own file: the scene and the codec headers each define a picture type.
namespace test {
// Writes noel.scn beside `videoPath`: (0, 10) with a title and subtitle, (10, 25) with a
// thumbnail offset of 3, (25, 30). False with the writer's message in `error` on failure.
bool WriteSampleScn(const std::string& videoPath, std::string& error);
}  // namespace test

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::vector<std::string> lines;  // stdout
    std::string errors;              // stderr
};

Outcome RunScenes(const std::string& arguments, const fs::path& stderrFile) {
    Outcome outcome;
    const std::string command =
        std::string("'") + VELINOR_CLI + "' scenes " + arguments + " 2>'" + stderrFile.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) outcome.lines.push_back(line);
    std::ifstream errors(stderrFile);
    outcome.errors.assign(std::istreambuf_iterator<char>(errors), {});
    return outcome;
}

// 30 PAL frames in three recordings of 10 frames; the timecode runs on from 0:01:02:03.
void WriteClip(const std::string& path) {
    DvClip clip;
    clip.scenes = {DvScene{10, DatecodeFields{2025, 12, 24, 18, 30, 0}, 0},
                   DvScene{10, DatecodeFields{2025, 12, 25, 9, 0, 0}, 1}, DvScene{10, std::nullopt, 2}};
    clip.timecode = Timecode{0, 1, 2, 3};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(clip);
    AviWriterSettings s;
    s.Type = AviWriterSettings::Kind::DvType2;
    s.DvInfoBlock = DvInfoFromFrame(frames.front());
    AviWriter writer(path, s);
    const std::vector<uint8_t> silence(1920 * 4, 0);
    for (const auto& f : frames) {
        writer.WriteVideo(f);
        writer.WriteAudio(silence);
    }
    writer.Finish();
}

class ScenesVerb : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velinor-scenes-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        video_ = (dir_ / "noel.avi").string();
        WriteClip(video_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Quoted(const std::string& s) const { return "'" + s + "'"; }
    fs::path errors() const { return dir_ / "stderr.txt"; }

    fs::path dir_;
    std::string video_;
};

TEST_F(ScenesVerb, ListsTheScenesOfTheScnFile) {
    std::string error;
    ASSERT_TRUE(test::WriteSampleScn(video_, error)) << error;
    const Outcome run = RunScenes(Quoted(video_) + " --json", errors());
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::vector<std::string> expected = {
        R"({"Numero":1,"Debut":0,"Fin":10,"Duree":"00.10","DatecodeText":" 24/12/2025 18:30:00",)"
        R"("TimecodeText":"00.01.02.03","Titre":"Réveillon","SousTitre":"chez \"Mamie\"","ImageOffset":0})",
        R"({"Numero":2,"Debut":10,"Fin":25,"Duree":"00.15","DatecodeText":" 25/12/2025 09:00:00",)"
        R"("TimecodeText":"00.01.02.13","Titre":"","SousTitre":"","ImageOffset":3})",
        R"({"Numero":3,"Debut":25,"Fin":30,"Duree":"00.05","DatecodeText":"N/A",)"
        R"("TimecodeText":"00.01.03.03","Titre":"","SousTitre":"","ImageOffset":0})",
    };
    EXPECT_EQ(run.lines, expected);
}

TEST_F(ScenesVerb, WithoutScnFileTheWholeVideoIsOneScene) {
    struct Case {
        const char* options;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"--json",
         {R"({"Numero":1,"Debut":0,"Fin":30,"Duree":"01.05","DatecodeText":" 24/12/2025 18:30:00",)"
          R"("TimecodeText":"00.01.02.03","Titre":"Scène unique","SousTitre":"correspondant à vidéo non )"
          R"(analysée","ImageOffset":0})"}},
        {"--set FormatDuree=2 --set FormatAfficherDatecode=yyyy-mm-dd",
         {"Scène\tDébut\tFin\tDurée\tDatecode\tTimecode\tTitre\tSous-titre",
          "1\t0\t30\t1s 05fr\t2025-12-24\t00.01.02.03\tScène unique\tcorrespondant à vidéo non analysée"}},
    };
    for (const auto& c : cases) {
        const Outcome run = RunScenes(Quoted(video_) + " " + c.options, errors());
        EXPECT_EQ(run.status, 0) << c.options << run.errors;
        EXPECT_EQ(run.lines, c.lines) << c.options;
    }
}

TEST_F(ScenesVerb, DamagedScnGivesTheScenesReadAndAnError) {
    std::string error;
    ASSERT_TRUE(test::WriteSampleScn(video_, error)) << error;
    const fs::path scn = dir_ / "noel.scn";
    fs::resize_file(scn, fs::file_size(scn) - 6);  // the third record loses its end
    const Outcome run = RunScenes(Quoted(video_) + " --json", errors());
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.errors.find("Erreur dans le fichier scn"), std::string::npos) << run.errors;
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[1].rfind(R"({"Numero":2,"Debut":10,"Fin":25,)", 0), 0u) << run.lines[1];
}

TEST_F(ScenesVerb, BadArgumentsAndMissingFilesFail) {
    struct Case {
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {"", 2},
        {Quoted(video_) + " --xml", 2},
        {Quoted(video_) + " --set Nothing=3", 2},
        {Quoted((dir_ / "absent.avi").string()), 1},
    };
    for (const auto& c : cases) {
        const Outcome run = RunScenes(c.arguments, errors());
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_TRUE(run.lines.empty()) << c.arguments;
        EXPECT_FALSE(run.errors.empty()) << c.arguments;
    }
}

}  // namespace
}  // namespace velinor
