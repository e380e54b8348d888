#pragma once
// The scene and subtitle commands: scene files from the datecode, from the picture content and
// at fixed intervals, subtitle files of the datecode texts, and the cut of a file into one file
// per scene. Built and configured on the UI thread; the engine runs them on its worker, and the
// filters' hooks run on the graph's streaming thread while the worker waits for the graph.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/command.h"
#include "commands/graph_cmd.h"
#include "filters/dv_scene_detect.h"

namespace velinor {

class ContentScan;
class SceneDetailsSource;
class TwriteScene;
class TWriteSrt;
struct SceneItem;

// A failure of a build handler: the pass ends with the command's error message and this detail.
class SceneCommandFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A graph command whose handlers finish what the graph fed before the list is updated. Runs the
// graph like TGraphCmd, then calls OnGraphDone on the worker (also when no graph ran), so every
// writer a build handler opened is closed on every path.
class TSceneGraphCmd : public TGraphCmd {
public:
    // `complete`: the graph reached the end; `failed`: it stopped on an error. Answers the reason
    // in French when what the graph fed could not be written, else empty.
    std::function<std::string(bool complete, bool failed)> OnGraphDone;

    void Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                   int passe) override;
};

// The settings these commands read. Written on the UI thread between commands.
struct TSceneCommandSettings {
    bool SameFolder = true;
    std::string DossierSave;  // empty = the user's documents folder
    int32_t Intervalle = 20;  // seconds, when the interval command is given no parameter

    // Sets a setting by its script name (any case); false for an unknown name or a bad value.
    bool Set(const std::string& name, const std::string& value);
};

class TdmScene {
public:
    // `texts`: where the subtitle texts take their templates and date formats; must outlive
    // this module.
    explicit TdmScene(OverlayTextSettingsStore& texts);
    ~TdmScene();
    TdmScene(const TdmScene&) = delete;
    TdmScene& operator=(const TdmScene&) = delete;

    TSceneCommandSettings Settings;
    // The preview of the current file, which gives the interval scenes their texts and
    // thumbnails; set by the owner, may stay null. Its calls marshal to the preview's thread.
    SceneDetailsSource* DetailsSource = nullptr;
    // Prepares the overlay texts for the record the subtitle command is about to scan, so the
    // subtitles carry what the burn-in would draw. UI thread. May stay unset.
    std::function<void(const TAbstractListFichier& record)> PrepareOverlay;

    TSceneGraphCmd CreerScnByDate, CreerScnByContenu, CreerSrt, CutScenes;
    Tcmd CreerScnByIntervalle;

    // The command of this name, ignoring case; null when there is none.
    tAbstractCmd* Find(const std::string& name);
    std::vector<tAbstractCmd*> Commands();

    std::string DestinationPath(const std::string& source, const std::string& suffix) const;

    // The datecode detector the scans run; its hooks are reset before every build.
    Tdv_sceneDetect& Detector() { return detector_; }
    // The number of scenes the latest scan put in its scene file (0 when it wrote none).
    uint32_t ScenesWritten() const { return scenesWritten_; }

private:
    void setupScans();
    void setupInterval();
    void setupCut();
    // Clears the hooks and lets go of the previous file's graph.
    void resetGraph();
    // Loads the scene list of `videoPath` for pass 1 (or when another file's list is held) and
    // sets CutScenes' pass count.
    void loadCutList(const std::string& videoPath, int passe);

    Tdv_sceneDetect detector_;
    std::unique_ptr<ContentScan> content_;
    std::unique_ptr<graph::Graph> graph_;
    std::unique_ptr<TwriteScene> scnWriter_;
    std::unique_ptr<TWriteSrt> srtWriter_;
    int32_t contentStart_ = 0;
    uint32_t scenesWritten_ = 0;
    std::vector<SceneItem> cutList_;
    std::string cutListPath_;
};

}  // namespace velinor
