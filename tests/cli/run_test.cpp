// velinor-cli run, run as a program on DV AVI files written by our writer: answers from the
// options and the terminal, parameters, settings, messages, and the exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/avi_writer.h"
#include "support/dv_builder.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteClip(const std::string& path) {
    DvClip clip;
    clip.scenes = {DvScene{3, DatecodeFields{2005, 8, 12, 14, 5, 6}, 0}};
    clip.timecode = Timecode{0, 1, 2, 3};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(clip);
    AviWriterSettings s;
    s.DvInfoBlock = DvInfoFromFrame(frames.front());
    AviWriter writer(path, s);
    const std::vector<uint8_t> silence(1920 * 4, 0);
    for (const auto& f : frames) {
        writer.WriteVideo(f);
        writer.WriteAudio(silence);
    }
    writer.Finish();
}

// A copy of `from` whose video stream header says `scale` and `rate` (dwScale at 20 and
// dwRate at 24 of the strh body whose fccType is "vids").
void WriteWithVideoRate(const std::string& from, const std::string& to, uint32_t scale, uint32_t rate) {
    std::string bytes = ReadAll(from);
    size_t strh = bytes.find("strh");
    while (strh != std::string::npos && bytes.compare(strh + 8, 4, "vids") != 0)
        strh = bytes.find("strh", strh + 4);
    ASSERT_NE(strh, std::string::npos);
    for (int i = 0; i < 4; ++i) {
        bytes[strh + 8 + 20 + size_t(i)] = char(scale >> (8 * i));
        bytes[strh + 8 + 24 + size_t(i)] = char(rate >> (8 * i));
    }
    std::ofstream(to, std::ios::binary) << bytes;
}

class RunVerb : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("velinor-run-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (const char* n : {"a.avi", "b.avi"}) WriteClip(file(n));
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    RunResult Run(const std::string& arguments, const std::string& input = "") {
        return Cli("run " + arguments, input);
    }

    // Any verb, from `folder` (the test's folder when empty).
    RunResult Cli(const std::string& arguments, const std::string& input = "",
                  const std::string& folder = "") {
        RunResult r;
        const std::string errFile = file("stderr.txt"), inFile = file("stdin.txt");
        std::ofstream(inFile) << input;
        const std::string command = "cd " + Quote(folder.empty() ? dir_.string() : folder) +
                                    " && XDG_CONFIG_HOME=" + Quote(file("config")) +
                                    " XDG_DATA_HOME=" + Quote(file("data")) + " " + Quote(VELINOR_CLI) + " " +
                                    arguments + " <" + Quote(inFile) + " 2>" + Quote(errFile);
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return r;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
        const int status = pclose(pipe);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = ReadAll(errFile);
        return r;
    }

    // The names in the test's folder, sorted, without the files the runs themselves use.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) {
            const std::string n = e.path().filename().string();
            if (n != "stderr.txt" && n != "stdin.txt" && n != "config" && n != "data") names.push_back(n);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(RunVerb, AnswersComeFromTheOptions) {
    struct Case {
        const char* options;
        const char* input;
        bool renamed;
    };
    const Case cases[] = {
        {"--no-all", "", false}, {"--ask", "n\nr\n", false},
        {"--ask", "a\n", false}, {"", "", false},  // not a terminal: nothing is done without an answer
        {"--yes-all", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " / " + c.input);
        const RunResult r = Run(std::string("Renommer --set TemplateRenommer=Clip%N ") + c.options + " " +
                                    Quote(file("a.avi")) + " " + Quote(file("b.avi")),
                                c.input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(fs::exists(file("Clip001.avi")), c.renamed);
        EXPECT_EQ(fs::exists(file("Clip002.avi")), c.renamed);
        EXPECT_EQ(fs::exists(file("a.avi")), !c.renamed);
        if (c.renamed) {
            EXPECT_EQ(r.out, file("Clip001.avi") + "\n" + file("Clip002.avi") + "\n");
        }
    }
}

TEST_F(RunVerb, AskShowsTheQuestionOnTheTerminal) {
    const RunResult r = Run("renommer --ask --set templaterenommer=X%N " + Quote(file("a.avi")), "o\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Voulez-vous renommer a.avi en " + file("X001.avi") + " ?"), std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::exists(file("X001.avi")));
}

TEST_F(RunVerb, ParametersAcceptEitherDecimalSeparator) {
    for (const char* rate : {"29,97", "29.97"}) {
        const RunResult r =
            Run(std::string("FrequenceVideo --yes-all --param ") + rate + " " + Quote(file("a.avi")));
        EXPECT_EQ(r.status, 0) << r.err;
    }
    const RunResult bad = Run("FrequenceVideo --yes-all --param 0 " + Quote(file("a.avi")));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Fréquence invalide"), std::string::npos) << bad.err;
}

TEST_F(RunVerb, ConversionCommandsAndTheirSettingsRunByName) {
    const RunResult shift = Run("DecalerHoraire --param 0.0625 " + Quote(file("a.avi")));
    EXPECT_EQ(shift.status, 0) << shift.err;
    EXPECT_EQ(shift.out, file("a.avi") + "\n" + file("a_(+1h30mn).avi") + "\n");
    EXPECT_TRUE(fs::exists(file("a_(+1h30mn).avi")));
    // A conversion setting and a catalogue setting in one run.
    const RunResult wide =
        Run("convertir16x9 --set FrequenceDV=1 --set SameFolder=1 " + Quote(file("b.avi")));
    EXPECT_EQ(wide.status, 0) << wide.err;
    EXPECT_TRUE(fs::exists(file("b_16x9.avi")));
    EXPECT_EQ(Run("Convertir16x9 --set FrequenceDV=7 " + Quote(file("b.avi"))).status, 2);
}

TEST_F(RunVerb, FailuresAndMisuseGiveTheirStatus) {
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"Inconnue " + Quote(file("a.avi")), 2, "Commande inconnue"},
        {"Renommer --set Nothing=1 " + Quote(file("a.avi")), 2, "Réglage inconnu"},
        {"Renommer --set NumberDigits=abc " + Quote(file("a.avi")), 2, "Réglage inconnu"},
        {"Renommer", 2, "Utilisation"},
        {"Renommer --bogus " + Quote(file("a.avi")), 2, "Argument inattendu"},
        {"ModifierCodec --yes-all --param toolong " + Quote(file("a.avi")), 1, "codec"},
        // No .scn: the window greys the command out, and velinor-cli refuses it with the reason.
        {"SupprimerScn --yes-all " + Quote(file("a.avi")), 1, "ne s'applique à aucun fichier"},
        {"OpenFichierF3 --set FichierF3=/nonexistent " + Quote(file("a.avi")), 1, "ne s'applique"},
        // A DV file cut after its headers: listed as DV, but the scan's graph has no picture to read.
        {"CreerScnByDate --yes-all " + Quote(file("vide.avi")), 1,
         "Erreur pendant la création d'un fichier scn pour " + file("vide.avi") +
             "\nle fichier ne contient aucune image DV"},
    };
    {
        const std::string bytes = ReadAll(file("a.avi"));
        std::ofstream(file("vide.avi"), std::ios::binary) << bytes.substr(0, bytes.find("movi") + 4);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const RunResult r = Run(c.arguments);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(RunVerb, DeleteSendsToTheTrash) {
    const RunResult r = Run("SupprimerFichier --yes-all " + Quote(file("b.avi")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(file("b.avi")));
    EXPECT_TRUE(fs::exists(file("data/Trash/files/b.avi")));
    EXPECT_NE(ReadAll(file("data/Trash/info/b.avi.trashinfo")).find("Path=" + file("b.avi") + "\n"),
              std::string::npos);
}

TEST_F(RunVerb, RiffHeaderPrintsTheStructure) {
    const RunResult r = Run("RiffHeader " + Quote(file("a.avi")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("RIFF"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("AVI "), std::string::npos) << r.out;
}

// A playlist given to a command opens its entries; the command never acts on the playlist.
TEST_F(RunVerb, APlaylistOpensItsEntries) {
    std::ofstream(file("list.txt")) << file("b.avi") << "\n";
    const RunResult r = Run("SupprimerFichier --yes-all " + Quote(file("list.txt")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(file("b.avi")));
    EXPECT_TRUE(fs::exists(file("list.txt")));
    EXPECT_TRUE(fs::exists(file("a.avi")));
}

// Started from another folder with relative paths, the list, the scene file and the export
// headings name the files by full path.
TEST_F(RunVerb, RelativePathsBecomeFullPaths) {
    fs::create_directories(file("elsewhere"));
    const RunResult r =
        Cli("run CreerScnByIntervalle --param 1 --set ExportCSV=l.csv ../a.avi", "", file("elsewhere"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, file("a.avi") + "\n");
    const std::string scn = ReadAll(file("a.scn"));
    std::string utf16;
    for (char c : file("a.avi")) utf16 += std::string{c, '\0'};
    EXPECT_NE(scn.find(utf16), std::string::npos);
    EXPECT_NE(ReadAll(file("elsewhere/l.csv")).find(file("a.avi")), std::string::npos);
}

TEST_F(RunVerb, EveryVerbTakesTheSettingsOfTheCatalogue) {
    const RunResult settings = Cli("help settings --set WhatIncrust=2");
    EXPECT_EQ(settings.status, 0) << settings.err;
    for (const char* line : {"\nWhatIncrust\tentier\t0\t2\t", "\nIncrustPerso1\ttexte\tVotre modèle ici\t",
                             "\nconverttype1\tcommande\t", "\nFormatDuree\tentier\t0\t0\t"})
        EXPECT_NE(settings.out.find(line), std::string::npos) << line;
    EXPECT_NE(Cli("help").out.find("--preferences"), std::string::npos);
    for (const char* verb : {"frames a.avi", "riff a.avi", "scenes a.avi", "info a.avi"}) {
        SCOPED_TRACE(verb);
        EXPECT_EQ(Cli(std::string(verb) + " --set WhatIncrust=0 --set formatduree=1").status, 0);
        const RunResult bad = Cli(std::string(verb) + " --set Nothing=1");
        EXPECT_EQ(bad.status, 2);
        EXPECT_NE(bad.err.find("Réglage inconnu"), std::string::npos) << bad.err;
    }
    // A command is not a setting.
    EXPECT_EQ(Cli("info a.avi --set converttype1=1").status, 2);
}

TEST_F(RunVerb, AScriptSetsASettingAndRunsACommandOnTheGivenFiles) {
    std::ofstream(file("s.pas")) << "begin\n  FormatDuree(1);\n  TemplateRenommer('Script%N');\n"
                                    "  converttype1;\n  showmessage('fini');\nend.\n";
    const RunResult r = Cli("script s.pas a.avi");
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("fini\n*** Exécution réussie ***"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(file("a_type1.avi")));
    // Without a file the conversion is refused, as the window greys it out.
    const RunResult refused = Cli("script s.pas");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("ne s'applique à aucun fichier"), std::string::npos) << refused.err;
    EXPECT_NE(Cli("script missing.pas").status, 0);
    std::ofstream(file("bad.pas")) << "begin inconnu; end.";
    EXPECT_EQ(Cli("script bad.pas").status, 1);
}

// A command that does nothing to a file fails it with the reason, writes nothing, and the run
// ends with status 1: bad parameters, a damaged frame rate, a file the command does not take.
TEST_F(RunVerb, NothingDoneIsAFailureWithItsReason) {
    WriteWithVideoRate(file("a.avi"), file("norate.avi"), 0, 0);
    WriteWithVideoRate(file("a.avi"), file("slow.avi"), 0xFFFFFFFFu, 1);  // a frame every 136 years
    WriteWithVideoRate(file("a.avi"), file("fast.avi"), 1, 100'000);
    ASSERT_EQ(Run("ConvertirDV1 --yes-all " + Quote(file("b.avi"))).status, 0);  // b_type1.avi
    struct Case {
        std::string arguments;
        const char* message;
    };
    const Case cases[] = {
        {"DecalerHoraire a.avi", "Aucun décalage horaire indiqué."},
        {"DecalerHoraire --param abc a.avi", "Décalage horaire invalide : abc."},
        {"DecalerHoraire --param nan a.avi", "Décalage horaire invalide : nan."},
        {"IntroduireDatecode a.avi", "Aucun datecode indiqué."},
        {"IntroduireDatecode --param '2020-02-31 10:00:00' a.avi",
         "Datecode invalide : 2020-02-31 10:00:00."},
        {"IntroduireDatecode --param 1e300 a.avi", "Datecode invalide : 1e300."},
        {"ConvertirNTSC norate.avi", "Cadence d'images absente ou nulle"},
        {"ConvertirNTSC slow.avi", "Cadence d'images impossible"},
        {"ConvertirNTSC fast.avi", "plus de 1000 images par seconde"},
        {"ConvertirDV1 b_type1.avi",
         "ne s'applique à aucun fichier sélectionné : le fichier n'est pas une vidéo DV type 2"},
    };
    const auto before = Listing();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const RunResult r = Run("--yes-all " + c.arguments);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(Listing(), before);
    }
}

// A file whose video has no rate still has its sound, and the sound is extracted whole.
TEST_F(RunVerb, SoundIsExtractedFromAFileWithoutAVideoRate) {
    WriteWithVideoRate(file("a.avi"), file("norate.avi"), 0, 0);
    const RunResult r = Run("ExtraireAudio --yes-all " + Quote(file("norate.avi")));
    EXPECT_EQ(r.status, 0) << r.err;
    // Three frames of 1920 stereo 16-bit samples.
    const std::string wav = ReadAll(file("norate.wav"));
    const size_t data = wav.find("data");
    ASSERT_NE(data, std::string::npos);
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= uint32_t(uint8_t(wav[data + 4 + size_t(i)])) << (8 * i);
    EXPECT_EQ(size, 3u * 1920 * 4);
    EXPECT_EQ(wav.size(), data + 8 + size);
}

}  // namespace
}  // namespace velinor
