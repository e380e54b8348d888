#include "commands/scene_export_commands.h"

#include <cctype>
#include <charconv>
#include <memory>

#include "actions/actions.h"
#include "filelist/avi_fichier.h"
#include "platform/atomic_file.h"
#include "platform/process.h"
#include "scenes/scn_file.h"

namespace velinor {

namespace {

std::string LowerAscii(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

enum class DocumentKind { Texte, Excel, Word, Calc, Writer };

struct ExportRow {
    Tcmd TSceneExportCommands::*command;
    const char* name;
    DocumentKind kind;
    // The document's extension after the video's name; the office formats are the XML ones.
    const char* suffix;
    const char* start;
    const char* error;
};

const ExportRow kExports[] = {
    {&TSceneExportCommands::ExporterScenesTexte, "ExporterScenesTexte", DocumentKind::Texte, "_scn.txt",
     "En train d'exporter les scènes de %s  en texte", "Erreur pendant l'exportation des scènes en texte"},
    {&TSceneExportCommands::ExporterScenesExcel, "ExporterScenesExcel", DocumentKind::Excel, ".xlsx",
     "En train d'exporter les scènes de %s vers Excel",
     "Erreur pendant l'exportation des scènes de %s vers Excel"},
    {&TSceneExportCommands::ExporterScenesWord, "ExporterScenesWord", DocumentKind::Word, ".docx",
     "En train d'exporter les scènes de %s vers Word",
     "Erreur pendant l'exportation des scènes de %s vers Word"},
    {&TSceneExportCommands::ExporterScenesCalc, "ExporterScenesCalc", DocumentKind::Calc, ".ods",
     "En train d'exporter les scènes de %s vers OOo.Calc",
     "Erreur pendant l'exportation des scènes de %s vers OOo.Calc"},
    {&TSceneExportCommands::ExporterScenesWriter, "ExporterScenesWriter", DocumentKind::Writer, ".odt",
     "En train d'exporter les scènes de %s vers Writer",
     "Erreur pendant l'exportation des scènes de %s vers Writer"},
};

const ExportRow& RowOf(const TSceneExportCommands& group, const Tcmd& command) {
    for (const ExportRow& row : kExports)
        if (&(group.*row.command) == &command) return row;
    return kExports[0];
}

std::unique_ptr<SceneDocumentWriter> MakeWriter(DocumentKind kind, const std::string& video,
                                                const std::string& destination, int sceneCount,
                                                const SceneExportInfo& info) {
    switch (kind) {
        case DocumentKind::Texte:
            return std::make_unique<TWriteScn_text>(video, info);
        case DocumentKind::Excel:
            return std::make_unique<TWriteExcel>(video, destination, info);
        case DocumentKind::Word:
            return std::make_unique<TWriteWord>(video, sceneCount, destination, info);
        case DocumentKind::Calc:
            return std::make_unique<TWriteOoCalc>(video, destination, info);
        case DocumentKind::Writer:
            return std::make_unique<TWriteOoWriter>(video, sceneCount, destination, info);
    }
    return nullptr;
}

}  // namespace

bool TSceneExportSettings::Set(const std::string& name, const std::string& value) {
    const std::string key = LowerAscii(name);
    if (key == "ouvrirdocument") {
        OuvrirDocument = BooleanFromText(value);
        return true;
    }
    if (key == "formatafficherdatecode") {
        FormatAfficherDatecode = value;
        return true;
    }
    if (key == "formatduree") {
        int style = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), style);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() || style < 0 ||
            style > 2)
            return false;
        FormatDuree = style;
        return true;
    }
    return false;
}

TSceneExportCommands::TSceneExportCommands(const TdmAction& dm) : dm_(dm) {
    for (const ExportRow& row : kExports) {
        Tcmd& c = this->*row.command;
        c.Name = row.name;
        c.Category = "Scenes";
        c.UpdateDisplay = udEach;
        c.ShowProgress = true;
        c.Nombre = fnSelect;
        c.NbPasses = 0;
        c.UpdateFile = ufNone;
        c.StartMessage = row.start;
        c.ErrorMessage = row.error;
        c.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
            const auto* avi = dynamic_cast<const TaviFichier*>(record);
            visible = true;
            enabled = avi && avi->HasScn;
        };
        const DocumentKind kind = row.kind;
        const std::string suffix = row.suffix;
        // The text list always sits beside its video, so the overwrite question names the file
        // that is written whatever the folder setting.
        c.OnDestination = [this, kind, suffix](TAbstractListFichier* record, const CmdParams&, int) {
            return kind == DocumentKind::Texte ? ReplaceExtension(record->FileName, suffix)
                                               : dm_.DestinationPath(record->FileName, suffix);
        };
        c.OnExecution = [this, &c](TAbstractListFichier* record, const std::string& destination,
                                   const CmdParams&, TCommandEngine& ce,
                                   int passe) { exportFile(c, record, destination, ce, passe); };
    }
}

void TSceneExportCommands::exportFile(Tcmd& command, TAbstractListFichier* record,
                                      const std::string& destination, TCommandEngine& ce, int passe) {
    bool editing = false;
    TSceneExportSettings settings;
    ce.InvokeUi([&] {
        editing = SceneEditing && SceneEditing();
        settings = Settings;
    });
    if (editing || !record) return;
    const ExportRow& row = RowOf(*this, command);
    const std::string& path = record->FileName;
    bool inProgress = false;
    const auto fail = [&](const std::string& reason) {
        if (inProgress) ce.EndProgress();
        ce.CommandError(FormatCmdMessage(command.ErrorMessage, path, passe) + "\n" + reason, etError);
        throw CommandReported();
    };

    CurrentVideo video{path, 0, 0, 0, 0};
    if (const auto* avi = dynamic_cast<const TaviFichier*>(record)) {
        video.fps = avi->Fps;
        video.width = avi->Width;
        video.height = avi->Height;
        video.frameCount = avi->FrameCount > 0 ? uint32_t(avi->FrameCount) : 0;
    }
    const SceneTextSettings texts{settings.FormatDuree, settings.FormatAfficherDatecode};
    SceneList scenes;
    // A damaged scene file still gives the scenes read before the fault.
    ReadScnFile(ReplaceExtension(path, ".scn"), scenes, &video, texts);

    SceneExportInfo info;
    info.now = Now ? Now() : DatecodeNow();
    std::unique_ptr<SceneDocumentWriter> writer =
        MakeWriter(row.kind, path, destination, int(scenes.size()), info);
    if (auto* text = dynamic_cast<TWriteScn_text*>(writer.get()); text && !text->ok()) fail(text->error());

    if (!scenes.empty()) {
        ce.StartProgress(int64_t(scenes.size()));
        inProgress = true;
        for (size_t i = 0; i < scenes.size(); ++i) {
            ce.SetProgress(int64_t(i));
            // An interrupted export keeps the scenes added so far and is still finished.
            if (ce.Interrupted()) break;
            TSceneClass* scene = scenes[i].scene.get();
            if (!scene) continue;
            if (!scene->Loaded && DetailsSource) scene->LoadDetails(*DetailsSource, video.fps, texts);
            if (scene->TimeStamp.empty()) {
                scene->TimeStamp = SceneStampText(scene->Debut, video.fps);
                scene->TimeStampFin = SceneStampText(
                    scene->Fin > scene->Debut ? int64_t(scene->Fin) - 1 : scene->Debut, video.fps);
            }
            if (!writer->AddScene(*scene)) fail(writer->error());
        }
        ce.EndProgress();
        inProgress = false;
    }
    if (!writer->Finish()) fail(writer->error());
    if (settings.OuvrirDocument) {
        const std::string opened =
            OpenDocument ? OpenDocument(writer->outputPath()) : OpenWithDefault(writer->outputPath());
        // The export itself succeeded: a missing desktop opener is said in the status line.
        if (!opened.empty())
            ce.CommandMessage("Le document " + writer->outputPath() +
                              " a été écrit mais n'a pas pu être ouvert : " + opened);
    }
}

tAbstractCmd* TSceneExportCommands::Find(const std::string& name) {
    const std::string key = LowerAscii(name);
    for (tAbstractCmd* c : Commands())
        if (LowerAscii(c->Name) == key) return c;
    return nullptr;
}

std::vector<tAbstractCmd*> TSceneExportCommands::Commands() {
    return {&ExporterScenesTexte, &ExporterScenesExcel, &ExporterScenesWord, &ExporterScenesCalc,
            &ExporterScenesWriter};
}

}  // namespace velinor
