#pragma once
// The scene export writers: a commented text list and four office documents (.xlsx, .docx, .ods,
// .odt) written without any office program. Each is created for one video, receives the scenes
// in list order, and puts its complete document in place on Finish; destroying an unfinished
// writer leaves any old document untouched. A writer is used by one thread (the command worker).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/product.h"
#include "scenes/scene.h"
#include "scenes/text_writer.h"

namespace velinor {

// What the documents say about the program and when they were made.
struct SceneExportInfo {
    std::string programName = product::kName;
    std::string version = product::kVersion;
    std::string language = product::kLanguage;
    std::string maker = product::kMaker;
    Datecode now = 0;  // the time written as the completion time

    std::string fullTitle() const { return programName + " " + version + " " + language; }
};

// The local time as a datecode.
Datecode DatecodeNow();

// "Visitez mon site web \"<address>\"".
std::string PromotionalLine();

// The six lines of a scene's texts in the document grids.
std::vector<std::string> SceneTextLines(const TSceneClass& scene);

// The three-line page footer of the word-processor documents, lines joined by LF.
std::string DocumentFooterText(const std::string& videoPath, const SceneExportInfo& info);

class SceneDocumentWriter {
public:
    virtual ~SceneDocumentWriter() = default;
    virtual bool AddScene(const TSceneClass& scene) = 0;
    virtual bool Finish() = 0;
    virtual const std::string& error() const = 0;
    virtual const std::string& outputPath() const = 0;
};

// The text list "<video>_scn.txt": a commented heading, one row per scene numbered from 1, and a
// completion trailer.
class TWriteScn_text : public TwriteFile, public SceneDocumentWriter {
public:
    TWriteScn_text(const std::string& videoPath, const SceneExportInfo& info);
    bool AddScene(const TSceneClass& scene) override;
    bool Finish() override;
    const std::string& error() const override { return TwriteFile::error(); }
    const std::string& outputPath() const override { return path(); }

private:
    SceneExportInfo info_;
    uint16_t rows_ = 0;
};

// The office documents keep their scenes and build the whole document on Finish.
class OfficeSceneWriter : public SceneDocumentWriter {
public:
    OfficeSceneWriter(std::string videoPath, std::string outputPath, const SceneExportInfo& info)
        : videoPath_(std::move(videoPath)), outputPath_(std::move(outputPath)), info_(info) {}
    bool AddScene(const TSceneClass& scene) override {
        scenes_.push_back(scene);
        return true;
    }
    const std::string& error() const override { return error_; }
    const std::string& outputPath() const override { return outputPath_; }

protected:
    std::string videoPath_;
    std::string outputPath_;
    SceneExportInfo info_;
    std::vector<TSceneClass> scenes_;
    std::string error_;
};

// A workbook: the path, the headings on row 7 (B to I), one row per scene from row 8 with every
// second row grey, borders, the completion date two rows below the last scene, landscape pages
// with the path in the header and page numbers in the footer.
class TWriteExcel : public OfficeSceneWriter {
public:
    using OfficeSceneWriter::OfficeSceneWriter;
    bool Finish() override;
};

// A text document: the file name as title, then a table four scenes wide, each scene a caption
// cell above a cell with its thumbnail and texts; the footer names the file and the program.
class TWriteWord : public OfficeSceneWriter {
public:
    TWriteWord(std::string videoPath, int sceneCount, std::string outputPath, const SceneExportInfo& info)
        : OfficeSceneWriter(std::move(videoPath), std::move(outputPath), info), announced_(sceneCount) {}
    bool Finish() override;

private:
    int announced_;
};

// A spreadsheet like the workbook, with the notes and the link above the table (shown on screen,
// not printed).
class TWriteOoCalc : public OfficeSceneWriter {
public:
    using OfficeSceneWriter::OfficeSceneWriter;
    bool Finish() override;
};

// A text document whose outer table holds, four wide, one small framed table per scene:
// caption, thumbnail, texts.
class TWriteOoWriter : public OfficeSceneWriter {
public:
    TWriteOoWriter(std::string videoPath, int sceneCount, std::string outputPath, const SceneExportInfo& info)
        : OfficeSceneWriter(std::move(videoPath), std::move(outputPath), info), announced_(sceneCount) {}
    bool Finish() override;

private:
    int announced_;
};

}  // namespace velinor
