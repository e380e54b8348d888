// A DV file declared under each code of the DV family gives, through every verb, the results of
// the same file declared "dvsd"; a code outside the family over the same frames is not DV.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/avi_patch.h"
#include "media/avi_writer.h"
#include "support/dv_builder.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs velinor-cli; stdout with every occurrence of `folder` replaced by "<dossier>".
Outcome Cli(const std::string& arguments, const std::string& folder) {
    int status = 0;
    Outcome o;
    o.out = test::RunCommand(test::ShellQuote(VELINOR_CLI) + " " + arguments + " 2>/dev/null", &status);
    o.status = status;
    for (size_t at; (at = o.out.find(folder)) != std::string::npos;)
        o.out.replace(at, folder.size(), "<dossier>");
    return o;
}

// Two dated scenes with a timecode, 16-bit stereo sound, as type 2 "dvsd".
void WriteDvsdClip(const std::string& path) {
    DvClip clip;
    clip.scenes = {DvScene{8, DatecodeFields{2025, 7, 14, 9, 30, 0}, 0},
                   DvScene{8, DatecodeFields{2025, 7, 15, 18, 5, 10}, 1}};
    clip.timecode = Timecode{0, 10, 20, 5};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(clip);
    AviWriterSettings s;
    s.Type = AviWriterSettings::Kind::DvType2;
    AviWriter writer(path, s);
    const std::vector<uint8_t> silence(1920 * 4, 0);
    for (const auto& f : frames) {
        writer.WriteVideo(f);
        writer.WriteAudio(silence);
    }
    writer.Finish();
}

// The record's DV fields from `info --json` (names, paths, file times and the Codec left out).
std::string DvFields(const std::string& json) {
    std::string out;
    for (const char* key : {"DatecodeKey", "DatecodeText", "DatecodeValue", "TimecodeText", "DVType", "Iavs",
                            "ImageText", "AspectText", "Width", "Height", "Duration", "FrameCount", "Fps",
                            "AudioText", "AudioFormatText", "VideoSystem", "IsDV", "Wide", "HasScn"}) {
        const std::string k = std::string("\"") + key + "\":";
        const size_t at = json.find(k);
        if (at == std::string::npos) continue;
        const size_t end =
            json.find_first_of(",}", json[at + k.size()] == '"' ? json.find('"', at + k.size() + 1) : at);
        out += json.substr(at, end - at) + "\n";
    }
    return out;
}

// Everything the verbs say and write about the file in `folder` (named clip.avi).
struct Results {
    std::string info, frames, scenes, scn, renamed, dated;
    int status = 0;
};

Results Gather(const fs::path& folder) {
    const std::string f = folder.string();
    const std::string clip = test::ShellQuote((folder / "clip.avi").string());
    Results r;
    const Outcome info = Cli("info --json " + clip, f);
    r.info = DvFields(info.out);
    const Outcome frames = Cli("frames " + clip, f);
    r.frames = frames.out;
    const Outcome scenes = Cli("scenes " + clip, f);
    r.scenes = scenes.out;
    const Outcome scn = Cli("run CreerScnByDate --yes-all " + clip, f);
    // The scene file holds the video's path; its scenes are what the scenes verb then lists.
    r.scn = std::to_string(fs::exists(folder / "clip.scn")) + DvFields(Cli("info --json " + clip, f).out);
    const Outcome date = Cli("run DateFichier --yes-all " + clip, f);
    r.dated = std::to_string(fs::last_write_time(folder / "clip.avi").time_since_epoch().count());
    r.status |= date.status;
    const Outcome rename = Cli("run Renommer --yes-all --set TemplateRenommer=Clip_%D " + clip, f);
    r.renamed = rename.out;
    r.status = info.status | frames.status | scenes.status | scn.status | date.status | rename.status;
    return r;
}

TEST(DvFamily, EveryCodeOfTheFamilyReadsAsTheDvsdOriginal) {
    test::TempDir dir;
    const fs::path original = fs::path(dir.path()) / "dvsd";
    fs::create_directories(original);
    WriteDvsdClip((original / "clip.avi").string());
    const std::vector<uint8_t> bytes = [&] {
        std::ifstream in(original / "clip.avi", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }();
    const Results expected = Gather(original);
    ASSERT_EQ(expected.status, 0);
    ASSERT_NE(expected.info.find("\"IsDV\":true"), std::string::npos) << expected.info;
    ASSERT_NE(expected.info.find("14/07/2025 09:30:00"), std::string::npos) << expected.info;
    ASSERT_NE(expected.scn, "");
    ASSERT_NE(expected.renamed.find("Clip_"), std::string::npos) << expected.renamed;

    for (const char* code : {"dsvd", "CDVC", "dv25", "dvcs", "dvhd", "dvsl", "DVSD", "cdvc"}) {
        const fs::path folder = fs::path(dir.path()) / (std::string("code-") + code);
        fs::create_directories(folder);
        const std::string path = (folder / "clip.avi").string();
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
        ASSERT_TRUE(WriteVideoFourCC(path, FourCCFromText(code))) << code;
        // The record shows the declared code.
        EXPECT_NE(Cli("info --json " + test::ShellQuote(path), folder.string())
                      .out.find(std::string("\"Codec\":\"") + code + "\""),
                  std::string::npos)
            << code;
        const Results got = Gather(folder);
        EXPECT_EQ(got.status, 0) << code;
        EXPECT_EQ(got.info, expected.info) << code;
        EXPECT_EQ(got.frames, expected.frames) << code;
        EXPECT_EQ(got.scenes, expected.scenes) << code;
        EXPECT_EQ(got.scn, expected.scn) << code;
        EXPECT_EQ(got.dated, expected.dated) << code;
        EXPECT_EQ(got.renamed, expected.renamed) << code;
    }

    // An unrelated code over the same DV frames stays a plain video: no datecode, and the
    // commands that need one refuse it, say why and fail.
    const fs::path other = fs::path(dir.path()) / "xvid";
    fs::create_directories(other);
    const std::string path = (other / "clip.avi").string();
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ASSERT_TRUE(WriteVideoFourCC(path, FourCCFromText("XVID")));
    const std::string f = other.string();
    EXPECT_NE(Cli("info --json " + test::ShellQuote(path), f).out.find("\"IsDV\":false"), std::string::npos);
    int status = 0;
    const std::string said = test::RunCommand(
        test::ShellQuote(VELINOR_CLI) + " run Renommer --yes-all " + test::ShellQuote(path) + " 2>&1",
        &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(said.find("le fichier n'a pas de datecode"), std::string::npos) << said;
    EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace velinor
