// velinor-cli frames, run as a program on raw DV files written by FFmpeg's DV encoder and muxer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/avi_writer.h"
#include "media/raw_dv.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::vector<std::string> lines;  // stdout
    std::string errors;              // stderr
};

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

Outcome RunCli(const std::string& arguments, const fs::path& stderrFile) {
    Outcome outcome;
    const std::string command = Quote(VELINOR_CLI) + " " + arguments + " 2>" + Quote(stderrFile.string());
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    std::string text;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) outcome.lines.push_back(line);
    std::ifstream errors(stderrFile);
    outcome.errors.assign(std::istreambuf_iterator<char>(errors), {});
    return outcome;
}

class FramesVerb : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("velinor-frames-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // The DV muxer writes creation_time as UTC, read as local time unless it says otherwise.
        const auto encode = [](const fs::path& out, const char* seconds, const char* rate,
                               const char* created, const char* timecode) {
            const std::string command =
                std::string(
                    "TZ=UTC ffmpeg -v error -y -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i "
                    "sine=frequency=1000:sample_rate=") +
                rate + " -t " + seconds +
                " -c:v dvvideo -c:a pcm_s16le -ac 2 -metadata creation_time=" + created + " -timecode " +
                timecode + " -f dv " + Quote(out.string());
            return std::system(command.c_str()) == 0;
        };
        ready_ = encode(dir_ / "clip.dv", "2", "32000", "2026-05-17T14:03:09", "01:02:03:04") &&
                 encode(dir_ / "later.dv", "1", "48000", "2026-05-17T18:00:00", "00:00:00:00");
        if (ready_) {
            // Two recordings one after the other on the same tape.
            std::ofstream joined(dir_ / "joined.dv", std::ios::binary);
            for (const char* part : {"clip.dv", "later.dv"}) {
                std::ifstream in(dir_ / part, std::ios::binary);
                joined << in.rdbuf();
            }
        }
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    void SetUp() override {
        if (!ready_) GTEST_SKIP() << "ffmpeg could not write the DV clips";
    }

    static Outcome Frames(const std::string& arguments) { return RunCli(arguments, dir_ / "stderr.txt"); }
    static std::string PathOf(const char* name) { return Quote((dir_ / name).string()); }

    static inline fs::path dir_;
    static inline bool ready_ = false;
};

TEST_F(FramesVerb, JsonLinesShowWhatTheEncoderWrote) {
    const Outcome out = Frames("frames " + PathOf("clip.dv") + " --json");
    ASSERT_EQ(out.status, 0) << out.errors;
    EXPECT_EQ(out.errors, "");
    ASSERT_EQ(out.lines.size(), 50u);
    const struct {
        size_t frame;
        const char* line;
    } kLines[] = {
        {0, R"({"Frame":0,"DatecodeValid":true,"Datecode":"2026-05-17 14:03:09","TimecodeValid":true,)"
            R"("Timecode":"01:02:03:04","Wide":false,"Is525":false,"AudioFrequency":32000,"AudioBits":16,)"
            R"("AudioChannels":2,"SceneStart":true})"},
        {1, R"({"Frame":1,"DatecodeValid":true,"Datecode":"2026-05-17 14:03:09","TimecodeValid":true,)"
            R"("Timecode":"01:02:03:05","Wide":false,"Is525":false,"AudioFrequency":32000,"AudioBits":16,)"
            R"("AudioChannels":2,"SceneStart":false})"},
        {25, R"({"Frame":25,"DatecodeValid":true,"Datecode":"2026-05-17 14:03:10","TimecodeValid":true,)"
             R"("Timecode":"01:02:04:04","Wide":false,"Is525":false,"AudioFrequency":32000,"AudioBits":16,)"
             R"("AudioChannels":2,"SceneStart":false})"},
        {49, R"({"Frame":49,"DatecodeValid":true,"Datecode":"2026-05-17 14:03:10","TimecodeValid":true,)"
             R"("Timecode":"01:02:05:03","Wide":false,"Is525":false,"AudioFrequency":32000,"AudioBits":16,)"
             R"("AudioChannels":2,"SceneStart":false})"},
    };
    for (const auto& c : kLines) EXPECT_EQ(out.lines[c.frame], c.line);
}

TEST_F(FramesVerb, TextLinesMarkEachNewRecording) {
    const Outcome out = Frames("frames " + PathOf("joined.dv"));
    ASSERT_EQ(out.status, 0) << out.errors;
    ASSERT_EQ(out.lines.size(), 1u + 75u);  // a header, then 50 + 25 frames
    EXPECT_EQ(out.lines[1], "0\t2026-05-17 14:03:09\t01:02:03:04\t4:3\t625/50\t32000\t16\t2\toui");
    EXPECT_EQ(out.lines[51], "50\t2026-05-17 18:00:00\t00:00:00:00\t4:3\t625/50\t48000\t16\t2\toui");
    std::vector<int> starts;
    for (size_t i = 1; i < out.lines.size(); ++i)
        if (out.lines[i].ends_with("\toui")) starts.push_back(static_cast<int>(i - 1));
    EXPECT_EQ(starts, (std::vector<int>{0, 50}));
}

TEST_F(FramesVerb, BadInputFailsWithAMessage) {
    std::ofstream(dir_ / "notdv.txt") << "bonjour\n";
    // Neither a FIFO (which would wait for a writer) nor a folder is read.
    ASSERT_EQ(::mkfifo((dir_ / "fifo.dv").c_str(), 0600), 0);
    std::filesystem::create_directory(dir_ / "folder.dv");
    const struct {
        std::string arguments;
        int status;
    } kCases[] = {
        {"frames " + PathOf("missing.dv"), 1},
        {"frames " + PathOf("notdv.txt"), 1},
        {"frames " + PathOf("fifo.dv"), 1},
        {"frames " + PathOf("folder.dv"), 1},
        {"frames", 2},
        {"frames " + PathOf("clip.dv") + " --xml", 2},
    };
    for (const auto& c : kCases) {
        const Outcome out = Frames(c.arguments);
        EXPECT_EQ(out.status, c.status) << c.arguments;
        EXPECT_NE(out.errors, "") << c.arguments;
        EXPECT_TRUE(out.lines.empty()) << c.arguments;
    }
}

// The same frames read from AVI files: type 2 remuxed by FFmpeg, type 1 written by our writer.
TEST_F(FramesVerb, AviFilesOfBothTypesGiveTheSameLines) {
    const Outcome raw = Frames("frames " + PathOf("joined.dv") + " --json");
    ASSERT_EQ(raw.status, 0) << raw.errors;

    const std::string remux =
        "ffmpeg -v error -y -i " + PathOf("joined.dv") + " -c copy -f avi " + PathOf("type2.avi");
    ASSERT_EQ(std::system(remux.c_str()), 0);

    std::vector<std::vector<uint8_t>> frames;
    {
        velinor::RawDvReader reader((dir_ / "joined.dv").string());
        std::vector<uint8_t> frame;
        while (reader.next(frame)) frames.push_back(frame);
    }
    ASSERT_EQ(frames.size(), 75u);
    velinor::AviWriterSettings settings;
    settings.Type = velinor::AviWriterSettings::Kind::DvType1;
    settings.DvInfoBlock = velinor::DvInfoFromFrame(frames.front());
    {
        velinor::AviWriter writer((dir_ / "type1.avi").string(), settings);
        for (const auto& frame : frames) writer.WriteVideo(frame);
        writer.Finish();
    }

    for (const char* name : {"type2.avi", "type1.avi"}) {
        const Outcome avi = Frames("frames " + PathOf(name) + " --json");
        ASSERT_EQ(avi.status, 0) << name << ": " << avi.errors;
        EXPECT_EQ(avi.lines, raw.lines) << name;
    }
}

TEST_F(FramesVerb, RiffReportListsTheAviChunks) {
    const std::string remux =
        "ffmpeg -v error -y -i " + PathOf("clip.dv") + " -c copy -f avi " + PathOf("report.avi");
    ASSERT_EQ(std::system(remux.c_str()), 0);
    const Outcome plain = Frames("riff " + PathOf("report.avi"));
    ASSERT_EQ(plain.status, 0) << plain.errors;
    const Outcome marked = Frames("riff " + PathOf("report.avi") + " --markup");
    ASSERT_EQ(marked.status, 0) << marked.errors;
    std::string plainText, markedText;
    for (const auto& l : plain.lines) plainText += l + "\n";
    for (const auto& l : marked.lines) markedText += l + "\n";
    for (const char* expected : {"hdrl", "strh", "vids", "dvsd", "idx1"})
        EXPECT_NE(plainText.find(expected), std::string::npos) << expected;
    EXPECT_EQ(plainText.find("<B>"), std::string::npos);
    EXPECT_NE(markedText.find("<B>"), std::string::npos);
    EXPECT_EQ(Frames("riff " + PathOf("missing.avi")).status, 1);
}

}  // namespace
