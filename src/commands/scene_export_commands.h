#pragma once
// The five commands that export a video's scene file into a document: a commented text list, a
// workbook, a text document, a spreadsheet and a word-processor document. Configured on the UI
// thread; the engine's worker runs the exports.
#include <functional>
#include <string>
#include <vector>

#include "commands/catalogue.h"
#include "commands/command.h"
#include "scenes/scene.h"
#include "scenes/scene_export.h"

namespace velinor {

// The settings of the scene exports. Written on the UI thread between commands.
struct TSceneExportSettings {
    // Open each finished document with the desktop's program for its type.
    bool OuvrirDocument = false;
    // Duration style of the scene texts (0, 1 or 2).
    int FormatDuree = 0;
    std::string FormatAfficherDatecode = " ddddd tt";

    // Sets a setting by its script name (any case); false for an unknown name or a bad value.
    bool Set(const std::string& name, const std::string& value);
};

class TSceneExportCommands {
public:
    // Destinations follow `dm`'s folder settings (beside the video, or in the save folder).
    explicit TSceneExportCommands(const TdmAction& dm);
    TSceneExportCommands(const TSceneExportCommands&) = delete;
    TSceneExportCommands& operator=(const TSceneExportCommands&) = delete;

    TSceneExportSettings Settings;
    // Run on the UI thread: whether the scene editor is open, in which case nothing is exported.
    std::function<bool()> SceneEditing;
    // Where scenes not yet loaded take their texts and thumbnails from: the preview, which holds
    // the exported file while its export runs. Called on the worker. Null: scenes are exported
    // with the texts the scene file gives.
    SceneDetailsSource* DetailsSource = nullptr;
    // Opens a finished document; OpenWithDefault unless replaced. Answers "" or the reason.
    std::function<std::string(const std::string& path)> OpenDocument;
    // The completion time written into the documents; the local time unless replaced.
    std::function<Datecode()> Now;

    Tcmd ExporterScenesTexte, ExporterScenesExcel, ExporterScenesWord, ExporterScenesCalc,
        ExporterScenesWriter;

    // The command of this name, ignoring case; null when there is none.
    tAbstractCmd* Find(const std::string& name);
    std::vector<tAbstractCmd*> Commands();
    bool Set(const std::string& name, const std::string& value) { return Settings.Set(name, value); }

private:
    void exportFile(Tcmd& command, TAbstractListFichier* record, const std::string& destination,
                    TCommandEngine& ce, int passe);

    const TdmAction& dm_;
};

}  // namespace velinor
