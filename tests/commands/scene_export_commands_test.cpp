#include "commands/scene_export_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/decoded_frames.h"
#include "commands/harness.h"
#include "scenes/scn_file.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using test::Bench;
using test::Scratch;

// The preview's side of scene details over the decoded frames of a file.
class DecodingSource final : public SceneDetailsSource {
public:
    explicit DecodingSource(const std::string& path) : frames_(test::DecodeDvAvi(path)) {}
    std::function<void(uint32_t frame)> onSeek;
    std::optional<SceneFrameValues> seekFrame(uint32_t frame) override {
        if (onSeek) onSeek(frame);
        if (frame >= frames_.size()) return std::nullopt;
        const test::DecodedFrame& f = frames_[frame];
        SceneFrameValues v;
        v.datecodeValid = f.datecode.has_value();
        v.datecode = f.datecode.value_or(0);
        v.timecodeValid = f.tcHours.has_value();
        v.tcHours = f.tcHours.value_or(0);
        v.tcMinutes = f.tcMinutes.value_or(0);
        v.tcSeconds = f.tcSeconds.value_or(0);
        v.tcFrames = f.tcFrames.value_or(0);
        shot_.width = f.width;
        shot_.height = f.height;
        shot_.pixels = f.pixels;
        return v;
    }
    ScenePicture snapshot() override { return shot_; }

private:
    std::vector<test::DecodedFrame> frames_;
    ScenePicture shot_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes the video's .scn with scenes of four frames, titled "Titre 1", "Titre 2"...
void WriteScenes(const std::string& video, int count) {
    TwriteScene scn(video);
    for (int i = 0; i < count; ++i) {
        TSceneClass s(uint32_t(4 * i), uint32_t(4 * i + 4));
        s.Titre = "Titre " + std::to_string(i + 1);
        s.SousTitre = i == 1 ? "virgule, \"guillemets\" & <b>" : "";
        ASSERT_TRUE(scn.AddScene(s)) << scn.error();
    }
    ASSERT_TRUE(scn.Finish()) << scn.error();
}

// The package check of the office documents: every part parses, and it prints the pictures and
// the texts of each.
const char kPackageCheck[] = R"PY(
import sys, zipfile, xml.dom.minidom
for path in sys.argv[1:]:
    z = zipfile.ZipFile(path)
    assert z.testzip() is None, path
    pictures = [n for n in z.namelist() if n.endswith('.png')]
    texts = []
    for n in z.namelist():
        if n.endswith('.xml') or n.endswith('.rels'):
            doc = xml.dom.minidom.parseString(z.read(n))
            def walk(node):
                for c in node.childNodes:
                    if c.nodeType == c.TEXT_NODE: texts.append(c.data)
                    walk(c)
            walk(doc)
    print(len(pictures), '|'.join(texts).replace('\n', ' '))
)PY";

struct Document {
    int pictures = -1;
    std::string texts;
};

Document CheckPackage(const Scratch& dir, const std::string& path) {
    const std::string script = dir.file("check.py");
    std::ofstream(script) << kPackageCheck;
    int status = 0;
    const std::string out = test::RunCommand(
        "python3 " + test::ShellQuote(script) + " " + test::ShellQuote(path) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    Document d;
    std::istringstream in(out);
    in >> d.pictures;
    std::getline(in, d.texts);
    return d;
}

class SceneExports : public ::testing::Test {
protected:
    Scratch dir;
    Bench bench;
    TdmAction dm;
    TSceneExportCommands exports{dm};
    std::string video = dir.file("Noël, été.avi");

    void SetUp() override {
        exports.Now = [] { return *MakeDatecode({2026, 12, 10, 9, 5, 7}); };
        test::DvAviRecipe recipe;
        recipe.frames = 12;
        test::MakeDvAvi(video, recipe);
        WriteScenes(video, 3);
        test::MakeDvAvi(dir.file("sans.avi"));
        bench.Open({video, dir.file("sans.avi")});
    }
    bool Run(tAbstractCmd& command) {
        bench.SelectAll();
        return bench.Run(command);
    }
    std::vector<std::string> Errors() const {
        std::vector<std::string> out;
        for (const auto& e : bench.events)
            if (e.rfind("err:", 0) == 0) out.push_back(e);
        return out;
    }
};

// Each command writes its document from the scene file, with the texts and pictures the preview
// gives; a file without a scene file is passed over.
TEST_F(SceneExports, EachCommandWritesItsDocument) {
    DecodingSource source(video);
    exports.DetailsSource = &source;
    struct Case {
        const char* command;
        const char* document;
        int pictures;  // -1: a text file
    };
    const Case cases[] = {{"ExporterScenesTexte", "Noël, été_scn.txt", -1},
                          {"ExporterScenesExcel", "Noël, été.xlsx", 0},
                          {"ExporterScenesWord", "Noël, été.docx", 3},
                          {"ExporterScenesCalc", "Noël, été.ods", 0},
                          {"ExporterScenesWriter", "Noël, été.odt", 3}};
    for (const auto& c : cases) {
        tAbstractCmd* command = exports.Find(c.command);
        ASSERT_NE(command, nullptr) << c.command;
        ASSERT_TRUE(Run(*command)) << c.command;
        EXPECT_TRUE(Errors().empty()) << c.command << ": " << (Errors().empty() ? "" : Errors()[0]);
        EXPECT_EQ(bench.engine.Failures(), 0) << c.command;
        const std::string path = dir.file(c.document);
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        std::string texts;
        if (c.pictures < 0) {
            texts = ReadAll(path);
            EXPECT_NE(texts.find("\r\n  3, 0:00:00:08, 0:00:00:11, "), std::string::npos) << texts;
        } else {
            const Document d = CheckPackage(dir, path);
            EXPECT_EQ(d.pictures, c.pictures) << c.command;
            texts = d.texts;
        }
        for (const char* want :
             {"Titre 3", "virgule, \"guillemets\" & <b>", "12/08/2005 14:05:06", "00.01.02."})
            EXPECT_NE(texts.find(want), std::string::npos) << c.command << " lacks " << want;
        bench.events.clear();
    }
    for (const char* other : {"sans_scn.txt", "sans.xlsx", "sans.docx", "sans.ods", "sans.odt"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(other))) << other;
}

TEST_F(SceneExports, NothingIsWrittenWhileTheSceneEditorIsOpen) {
    exports.SceneEditing = [] { return true; };
    for (tAbstractCmd* c : exports.Commands()) Run(*c);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // two videos, one .scn
    EXPECT_TRUE(Errors().empty());
}

// An interruption ends the scene loop; the document keeps the scenes added so far and is whole.
TEST_F(SceneExports, InterruptedExportKeepsTheScenesSoFar) {
    DecodingSource source(video);
    source.onSeek = [&](uint32_t frame) {
        if (frame == 4) bench.engine.InterruptFile();
    };
    exports.DetailsSource = &source;
    ASSERT_TRUE(Run(exports.ExporterScenesTexte));
    const std::string text = ReadAll(dir.file("Noël, été_scn.txt"));
    EXPECT_NE(text.find("\r\n  2, "), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\n  3, "), std::string::npos) << text;
    EXPECT_NE(text.find("// Terminé le jeudi 10 décembre 2026 à 09:05:07"), std::string::npos) << text;
}

// Office documents go to the save folder when produced files do not stay beside their source; the
// text list stays beside its video, which is what its overwrite question names.
TEST_F(SceneExports, DestinationsFollowTheFolderSetting) {
    std::filesystem::create_directory(dir.file("save"));
    dm.Settings.SameFolder = false;
    dm.Settings.DossierSave = dir.file("save");
    for (tAbstractCmd* c : exports.Commands()) ASSERT_TRUE(Run(*c));
    for (const char* name : {"save/Noël, été.xlsx", "save/Noël, été.docx", "save/Noël, été.ods",
                             "save/Noël, été.odt", "Noël, été_scn.txt"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;

    // Run again: every document exists, so the question names it; "Non" keeps the old one.
    std::ofstream(dir.file("Noël, été_scn.txt")) << "old";
    bench.confirmer.fallback = TAnswer::Non;
    ASSERT_TRUE(Run(exports.ExporterScenesTexte));
    ASSERT_EQ(bench.confirmer.questions.size(), 1u);
    EXPECT_NE(bench.confirmer.questions[0].find(dir.file("Noël, été_scn.txt")), std::string::npos);
    EXPECT_EQ(ReadAll(dir.file("Noël, été_scn.txt")), "old");
}

// Without scene details the scenes still carry their positions; a damaged scene file exports the
// scenes read before the damage.
TEST_F(SceneExports, DamagedSceneFileExportsTheScenesRead) {
    const std::string scn = dir.file("Noël, été.scn");
    std::string bytes = ReadAll(scn);
    bytes.resize(bytes.size() - 6);
    std::ofstream(scn, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_TRUE(Run(exports.ExporterScenesTexte));
    const std::string text = ReadAll(dir.file("Noël, été_scn.txt"));
    EXPECT_NE(text.find("\r\n  2, 0:00:00:04, 0:00:00:07, "), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\n  3, "), std::string::npos) << text;
}

TEST_F(SceneExports, UnwritableDocumentIsReportedWithTheCommandsMessage) {
    dm.Settings.SameFolder = false;
    dm.Settings.DossierSave = dir.file("missing-folder");
    ASSERT_TRUE(Run(exports.ExporterScenesCalc));
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Erreur pendant l'exportation des scènes de " + video + " vers OOo.Calc"),
              std::string::npos)
        << errors[0];
    EXPECT_EQ(bench.engine.Failures(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing-folder")));
}

TEST(SceneExportSettings, SetByScriptName) {
    TSceneExportSettings s;
    EXPECT_TRUE(s.Set("ouvrirdocument", "vrai"));
    EXPECT_TRUE(s.OuvrirDocument);
    EXPECT_TRUE(s.Set("FormatDuree", "2"));
    EXPECT_EQ(s.FormatDuree, 2);
    EXPECT_FALSE(s.Set("FormatDuree", "3"));
    EXPECT_FALSE(s.Set("Inconnu", "1"));
}

}  // namespace
}  // namespace velinor
