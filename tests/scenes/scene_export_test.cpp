#include "scenes/scene_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "scenes/office_parts.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

SceneExportInfo fixedInfo() {
    SceneExportInfo info;
    info.now = *MakeDatecode({2026, 12, 10, 9, 5, 7});
    info.version = "1.0.0";  // the text below does not follow the project's version
    return info;
}

// Scenes as the export commands hand them over: details loaded, a thumbnail whose colour tells
// the scene.
std::vector<TSceneClass> loadedScenes(size_t count) {
    std::vector<TSceneClass> scenes;
    const CurrentVideo video{"/v/Noël.avi", 25.0, 720, 576, 0};
    for (size_t i = 0; i < count; ++i) {
        TSceneClass s(uint32_t(i * 100), uint32_t(i * 100 + 100), &video);
        s.Numero = int32_t(i + 1);
        s.TimeStamp = SceneStampText(s.Debut, 25.0);
        s.TimeStampFin = SceneStampText(s.Fin - 1, 25.0);
        s.DatecodeText = " 14/07/2026 10:2" + std::to_string(i) + ":00";
        s.TimecodeText = "00.00.0" + std::to_string(i) + ".00";
        s.Titre = i == 1 ? "=1+1, \"quoted\" & <b>" : "Titre " + std::to_string(i + 1);
        s.SousTitre = i == 1 ? "" : "Sous-titre " + std::to_string(i + 1);
        for (int y = 0; y < s.Image.height; ++y)
            for (int x = 0; x < s.Image.width; ++x)
                s.Image.rowFromTop(y)[3 * x + (i % 3)] = uint8_t(40 * (i + 1));
        s.Loaded = true;
        scenes.push_back(std::move(s));
    }
    return scenes;
}

TEST(SceneTextExport, WritesTheCommentedListBesideTheVideo) {
    test::TempDir dir;
    const std::string video = dir.file("DV/Noël.AVI");
    std::filesystem::create_directory(dir.file("DV"));
    auto scenes = loadedScenes(2);
    scenes[0].Numero = 7;  // rows are counted by the export, not taken from the scenes
    TWriteScn_text writer(video, fixedInfo());
    ASSERT_TRUE(writer.ok()) << writer.error();
    EXPECT_EQ(writer.outputPath(), dir.file("DV/Noël_scn.txt"));
    for (const auto& s : scenes) ASSERT_TRUE(writer.AddScene(s));
    ASSERT_TRUE(writer.Finish()) << writer.error();
    const std::string rule = "//" + std::string(50, '-');
    const std::string want =
        rule + "\r\n// Liste des scènes du fichier:\r\n//\r\n// ***   " + LowerCaseText(dir.file("dv/")) +
        "noël.avi   ***\r\n//\r\n// exportée par Velinor version 1.0.0 fr\r\n// sous la forme:\r\n"
        "// numéro de scène, début, fin, durée, datecode,timecode, titre\r\n//\r\n" +
        rule +
        "\r\n\r\n"
        "  1, 0:00:00:00, 0:00:03:24, 04.00,  14/07/2026 10:20:00, 00.00.00.00, Titre 1, Sous-titre 1\r\n"
        "  2, 0:00:04:00, 0:00:07:24, 04.00,  14/07/2026 10:21:00, 00.00.01.00, =1+1, \"quoted\" & <b>, \r\n"
        "\r\n" +
        rule +
        "\r\n// Terminé le jeudi 10 décembre 2026 à 09:05:07\r\n"
        "// Visitez mon site web \"" +
        product::kWebAddress + "\"\r\n" + rule + "\r\n";
    EXPECT_EQ(readAll(writer.outputPath()), want);
}

TEST(SceneTextExport, UncreatableFileGivesTheCreationMessage) {
    TWriteScn_text writer("/nonexistent-folder/clip.avi", fixedInfo());
    EXPECT_FALSE(writer.ok());
    EXPECT_EQ(writer.error().rfind("Erreur pendant la création d'un fichier scn texte", 0), 0u)
        << writer.error();
    EXPECT_FALSE(writer.AddScene(loadedScenes(1)[0]));
    EXPECT_FALSE(writer.Finish());
}

TEST(Png, EncodesWhatAReaderDecodes) {
    ScenePicture p(3, 2);
    p.rowFromTop(0)[0] = 0x11, p.rowFromTop(0)[1] = 0x22,
    p.rowFromTop(0)[2] = 0x33;  // B G R of the top-left pixel
    const auto png = EncodePng(p);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    test::TempDir dir;
    const std::string path = dir.file("p.png");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), long(png.size()));
    int status = 0;
    const std::string out = test::RunCommand("ffmpeg -v error -i " + test::ShellQuote(path) +
                                                 " -f rawvideo -pix_fmt rgb24 - | od -An -tx1 | head -1",
                                             &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.substr(0, 9), " 33 22 11") << out;
}

// Every office document is a well-formed package: each XML part parses, the pictures are there,
// and the texts of every scene appear. Checked with Python's zip and XML readers.
class OfficeDocuments : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string video = "/videos/Vacances/Noël & co.avi";

    std::vector<std::unique_ptr<SceneDocumentWriter>> writeAll(size_t count) {
        const auto scenes = loadedScenes(count);
        std::vector<std::unique_ptr<SceneDocumentWriter>> writers;
        writers.push_back(std::make_unique<TWriteExcel>(video, dir.file("s.xlsx"), fixedInfo()));
        writers.push_back(std::make_unique<TWriteWord>(video, int(count), dir.file("s.docx"), fixedInfo()));
        writers.push_back(std::make_unique<TWriteOoCalc>(video, dir.file("s.ods"), fixedInfo()));
        writers.push_back(
            std::make_unique<TWriteOoWriter>(video, int(count), dir.file("s.odt"), fixedInfo()));
        for (auto& w : writers) {
            for (const auto& s : scenes) EXPECT_TRUE(w->AddScene(s));
            EXPECT_TRUE(w->Finish()) << w->error();
        }
        return writers;
    }
};

const char* kPackageCheck = R"PY(
import sys, zipfile, xml.dom.minidom
for path in sys.argv[1:]:
    z = zipfile.ZipFile(path)
    assert z.testzip() is None, path
    names = z.namelist()
    pictures = [n for n in names if n.endswith('.png')]
    texts = []
    for n in names:
        if n.endswith('.xml') or n.endswith('.rels'):
            doc = xml.dom.minidom.parseString(z.read(n))
            def walk(node):
                for c in node.childNodes:
                    if c.nodeType == c.TEXT_NODE: texts.append(c.data)
                    walk(c)
            walk(doc)
    if path.endswith(('.ods', '.odt')):
        assert names[0] == 'mimetype' and z.getinfo('mimetype').compress_type == 0, path
    print(path.rsplit('.', 1)[1], len(pictures), '|'.join(texts).replace('\n', ' ').replace('\r', ' '))
)PY";

TEST_F(OfficeDocuments, ArePackagesOfWellFormedXmlWithEveryScene) {
    writeAll(5);
    const std::string script = dir.file("check.py");
    std::ofstream(script) << kPackageCheck;
    int status = 0;
    std::string paths;
    for (const char* name : {"s.xlsx", "s.docx", "s.ods", "s.odt"})
        paths += " " + test::ShellQuote(dir.file(name));
    const std::string out =
        test::RunCommand("python3 " + test::ShellQuote(script) + paths + " 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    std::istringstream lines(out);
    std::string line;
    struct Want {
        const char* kind;
        int pictures;
    };
    const Want wants[] = {{"xlsx", 0}, {"docx", 5}, {"ods", 0}, {"odt", 5}};
    for (const auto& w : wants) {
        ASSERT_TRUE(std::getline(lines, line)) << out;
        EXPECT_EQ(line.rfind(std::string(w.kind) + " " + std::to_string(w.pictures) + " ", 0), 0u)
            << line.substr(0, 80);
        for (const char* text :
             {"Titre 5", "Sous-titre 4", "=1+1, \"quoted\" & <b>", "0:00:04:00", "00.00.03.00"})
            EXPECT_NE(line.find(text), std::string::npos) << w.kind << " lacks " << text;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5);
}

TEST_F(OfficeDocuments, UnwritableTargetIsReportedAndLeavesNothing) {
    for (auto* w : std::initializer_list<SceneDocumentWriter*>{
             new TWriteExcel(video, "/nonexistent-folder/s.xlsx", fixedInfo()),
             new TWriteWord(video, 1, "/nonexistent-folder/s.docx", fixedInfo()),
             new TWriteOoCalc(video, "/nonexistent-folder/s.ods", fixedInfo()),
             new TWriteOoWriter(video, 1, "/nonexistent-folder/s.odt", fixedInfo())}) {
        std::unique_ptr<SceneDocumentWriter> owned(w);
        owned->AddScene(loadedScenes(1)[0]);
        EXPECT_FALSE(owned->Finish()) << owned->outputPath();
        EXPECT_NE(owned->error().find("/nonexistent-folder/"), std::string::npos) << owned->error();
    }
}

}  // namespace
}  // namespace velinor

namespace velinor {
namespace {

// LibreOffice opens every document: their cells and paragraphs come back as text, the two
// word-processor documents print five pictures, and the spreadsheets print on landscape pages.
TEST_F(OfficeDocuments, OpenInLibreOffice) {
    int status = 0;
    const std::string office = test::RunCommand("command -v soffice || command -v libreoffice", &status);
    if (status != 0 || office.empty()) GTEST_SKIP() << "LibreOffice is not installed: documents not opened";
    writeAll(5);
    std::filesystem::rename(dir.file("s.xlsx"), dir.file("x.xlsx"));
    std::filesystem::rename(dir.file("s.docx"), dir.file("w.docx"));
    std::filesystem::rename(dir.file("s.ods"), dir.file("c.ods"));
    std::filesystem::rename(dir.file("s.odt"), dir.file("t.odt"));
    const std::string soffice = office.substr(0, office.find('\n')) + " -env:UserInstallation=file://" +
                                dir.file("profile") + " --headless";
    auto convert = [&](const std::string& filter, std::initializer_list<const char*> files) {
        std::string command = soffice + " --convert-to " + test::ShellQuote(filter) + " --outdir " +
                              test::ShellQuote(dir.file("out"));
        for (const char* f : files) command += " " + test::ShellQuote(dir.file(f));
        int rc = 0;
        const std::string out = test::RunCommand(command + " 2>&1", &rc);
        EXPECT_EQ(rc, 0) << out;
    };
    convert("csv:Text - txt - csv (StarCalc):44,34,76", {"x.xlsx", "c.ods"});
    convert("txt:Text (encoded):UTF8", {"w.docx", "t.odt"});
    convert("pdf", {"x.xlsx", "w.docx", "c.ods", "t.odt"});

    const std::string rows[] = {
        ",Numéro,Début,Fin,Durée,Datecode,Timecode,Titre,Sous-titre",
        ",2,0:00:04:00,0:00:07:24,04.00, 14/07/2026 10:21:00,00.00.01.00,"
        "\"=1+1, \"\"quoted\"\" & <b>\",",
        ",5,0:00:16:00,0:00:19:24,04.00, 14/07/2026 10:24:00,00.00.04.00,Titre 5,Sous-titre 5"};
    for (const char* sheet : {"out/x.csv", "out/c.csv"}) {
        const std::string csv = readAll(dir.file(sheet));
        for (const auto& row : rows)
            EXPECT_NE(csv.find(row + "\n"), std::string::npos) << sheet << " lacks " << row << "\n" << csv;
    }
    EXPECT_NE(readAll(dir.file("out/x.csv")).find("Terminé le jeudi 10 décembre 2026 à 09:05:07"),
              std::string::npos);
    EXPECT_NE(readAll(dir.file("out/c.csv")).find("Visitez le site web de Morvane"), std::string::npos);
    for (const char* text : {"out/w.txt", "out/t.txt"}) {
        const std::string body = readAll(dir.file(text));
        for (const char* line : {"Noël & co.avi", "Scène n°5", "0:00:16:00 - 0:00:19:24", "Durée = 04.00",
                                 " 14/07/2026 10:24:00", "=1+1, \"quoted\" & <b>", "Sous-titre 5"})
            EXPECT_NE(body.find(line), std::string::npos) << text << " lacks " << line << "\n" << body;
    }
    struct Pdf {
        const char* name;
        int pictures;
        bool landscape;
    };
    const Pdf pdfs[] = {
        {"out/x.pdf", 0, true}, {"out/w.pdf", 5, false}, {"out/c.pdf", 0, true}, {"out/t.pdf", 5, false}};
    for (const auto& p : pdfs) {
        const std::string pdf = readAll(dir.file(p.name));
        int pictures = 0;
        for (size_t at = pdf.find("/Subtype/Image"); at != std::string::npos;
             at = pdf.find("/Subtype/Image", at + 1))
            ++pictures;
        EXPECT_EQ(pictures, p.pictures) << p.name;
        EXPECT_EQ(pdf.find("/MediaBox[0 0 841.") != std::string::npos, p.landscape) << p.name;
    }
}

}  // namespace
}  // namespace velinor
