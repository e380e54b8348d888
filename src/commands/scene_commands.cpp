#include "commands/scene_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "commands/scene_graphs.h"
#include "filelist/avi_fichier.h"
#include "platform/atomic_file.h"
#include "platform/user_folders.h"
#include "scenes/scn_file.h"
#include "scenes/text_writer.h"

namespace velinor {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::optional<int64_t> ParseInteger(const std::string& text) {
    const std::string t = Trim(text);
    int64_t value = 0;
    const char* first = t.data();
    if (!t.empty() && t.front() == '+') ++first;
    const auto [end, error] = std::from_chars(first, t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return value;
}

const TaviFichier* Avi(const TAbstractListFichier* record) {
    return dynamic_cast<const TaviFichier*>(record);
}

bool IsDv(const TAbstractListFichier* record) {
    const TaviFichier* avi = Avi(record);
    return avi && avi->IsDV;
}

bool UsableRate(double fps) {
    return std::isfinite(fps) && fps > 0;
}

[[noreturn]] void Fail(TCommandEngine& ce, const std::string& message) {
    ce.CommandError(message, etError);
    throw CommandReported();
}

}  // namespace

// ---- TSceneGraphCmd

void TSceneGraphCmd::Execution(TAbstractListFichier* fichier, const CmdParams& params, TCommandEngine& ce,
                               int passe) {
    if (!OnBuildGraph) return;
    const std::string path = fichier ? fichier->FileName : std::string();
    const auto report = [&](const std::string& detail) {
        std::string text = FormatCmdMessage(ErrorMessage, path, passe);
        if (!detail.empty()) text += "\n" + detail;
        ce.CommandError(text, etError);
    };
    const auto done = [&](bool complete, bool failed) {
        return OnGraphDone ? OnGraphDone(complete, failed) : std::string();
    };
    Guarded(fichier, ce, passe, [&] {
        Duree = 0;
        Debut = 0;
        graph::Graph* g = nullptr;
        try {
            g = OnBuildGraph(fichier, Destination, params, passe);
        } catch (const SceneCommandFailure& e) {
            done(false, true);
            report(e.what());
            throw CommandReported();
        } catch (...) {
            done(false, true);
            throw;
        }
        if (!g) {
            // Nothing was built for this file: nothing written, nothing to say.
            done(false, false);
            return;
        }
        if (Duree == 0) Duree = g->duration(graph::TimeFormat::MediaTime);
        bool complete = false;
        std::string failure;
        if (Duree > 0) complete = RunGraphToEnd(*g, ce, Duree, Debut, failure);
        const std::string writeError = done(complete, !failure.empty());
        if (!failure.empty() || !writeError.empty()) {
            // What was written stays listed; nothing is replaced or removed.
            try {
                UpdateList(ce, false);
            } catch (const CommandReported&) {
            }
            report(failure.empty() ? writeError : failure);
            throw CommandReported();
        }
        UpdateList(ce, complete);
    });
}

// ---- settings

bool TSceneCommandSettings::Set(const std::string& name, const std::string& value) {
    const std::string key = Lower(name);
    if (key == "samefolder") {
        const std::string v = Lower(Trim(value));
        if (v == "1" || v == "true" || v == "oui" || v == "yes") {
            SameFolder = true;
        } else if (v == "0" || v == "false" || v == "non" || v == "no") {
            SameFolder = false;
        } else {
            return false;
        }
        return true;
    }
    if (key == "dossiersave") {
        DossierSave = value;
        return true;
    }
    if (key == "intervalle") {
        const auto seconds = ParseInteger(value);
        if (!seconds || *seconds <= 0 || *seconds > 86'400) return false;
        Intervalle = int32_t(*seconds);
        return true;
    }
    return false;
}

// ---- TdmScene

TdmScene::TdmScene(OverlayTextSettingsStore& texts)
    : detector_(nullptr, &texts), content_(std::make_unique<ContentScan>()) {
    for (TSceneGraphCmd* c : {&CreerScnByDate, &CreerScnByContenu, &CreerSrt, &CutScenes}) {
        c->Category = "Conversion";
        c->Nombre = fnSelect;
        c->ShowProgress = true;
        c->NbPasses = 0;
    }
    CreerScnByIntervalle.Category = "Conversion";
    CreerScnByIntervalle.Nombre = fnSelect;
    CreerScnByIntervalle.ShowProgress = true;
    setupScans();
    setupInterval();
    setupCut();
}

TdmScene::~TdmScene() {
    resetGraph();
}

void TdmScene::resetGraph() {
    if (graph_) graph_->stop();
    graph_.reset();
    detector_.OnSceneBreak = nullptr;
    detector_.OnStop = nullptr;
    detector_.SetTextCallback(nullptr);
    content_->ClearHooks();
}

std::string TdmScene::DestinationPath(const std::string& source, const std::string& suffix) const {
    const std::string folder =
        Settings.SameFolder ? std::string()
                            : (Settings.DossierSave.empty() ? DefaultSaveFolder() : Settings.DossierSave);
    return velinor::DestinationPath(source, suffix, Settings.SameFolder, folder);
}

void TdmScene::setupScans() {
    const auto scnDestination = [](TAbstractListFichier* record, const CmdParams&, int) {
        return ReplaceExtension(record->FileName, ".scn");
    };
    // Closes the scene file a scan fed: complete or interrupted runs keep the scenes found so
    // far; a run that failed leaves the old file as it was.
    const auto finishScn = [this](bool, bool failed) -> std::string {
        std::unique_ptr<TwriteScene> writer = std::move(scnWriter_);
        resetGraph();
        scenesWritten_ = 0;
        if (!writer || failed || writer->count() == 0) return {};
        if (!writer->ok() || !writer->Finish()) return writer->error();
        scenesWritten_ = writer->count();
        return {};
    };

    CreerScnByDate.Name = "CreerScnByDate";
    CreerScnByDate.UpdateDisplay = udFinal;
    CreerScnByDate.UpdateFile = ufReload;
    CreerScnByDate.StartMessage = "En train de créer un fichier scn pour %s à partir du datecode";
    CreerScnByDate.ErrorMessage = "Erreur pendant la création d'un fichier scn pour %s";
    CreerScnByDate.RefusalReason = "le fichier n'est pas une vidéo DV";
    CreerScnByDate.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = enabled = IsDv(record);
    };
    CreerScnByDate.OnDestination = scnDestination;
    CreerScnByDate.OnBuildGraph = [this](TAbstractListFichier* record, const std::string&, const CmdParams&,
                                         int) -> graph::Graph* {
        resetGraph();
        std::string error;
        graph_ = BuildDatecodeScanGraph(record->FileName, detector_, error);
        if (!graph_) throw SceneCommandFailure(error);
        scnWriter_ = std::make_unique<TwriteScene>(record->FileName);
        if (!scnWriter_->ok()) throw SceneCommandFailure(scnWriter_->error());
        detector_.OnSceneBreak = [this](const TDVFrameInfo& start, const TDVFrameInfo& current) {
            scnWriter_->AddScene(TSceneClass(uint32_t(start.Frame), uint32_t(current.Frame)));
        };
        return graph_.get();
    };
    CreerScnByDate.OnGraphDone = finishScn;

    CreerScnByContenu.Name = "CreerScnByContenu";
    CreerScnByContenu.UpdateDisplay = udEach;
    CreerScnByContenu.UpdateFile = ufReload;
    CreerScnByContenu.StartMessage = "En train de créer un fichier scn selon le contenu pour %s";
    CreerScnByContenu.ErrorMessage = "Erreur pendant la création selon contenu d'un fichier scn pour %s";
    CreerScnByContenu.RefusalReason = "le fichier n'a pas d'image";
    CreerScnByContenu.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = true;
        const TaviFichier* avi = Avi(record);
        enabled = avi && avi->ImageText != "N/A";
    };
    CreerScnByContenu.OnDestination = scnDestination;
    CreerScnByContenu.OnBuildGraph = [this](TAbstractListFichier* record, const std::string&,
                                            const CmdParams&, int) -> graph::Graph* {
        resetGraph();
        std::string error;
        graph_ = content_->Build(record->FileName, error);
        if (!graph_) throw SceneCommandFailure(error);
        contentStart_ = 0;
        scnWriter_ = std::make_unique<TwriteScene>(record->FileName);
        if (!scnWriter_->ok()) throw SceneCommandFailure(scnWriter_->error());
        // A report of frame 0, or of a frame the running scene already starts at, adds nothing.
        content_->SetCutHook([this](int32_t frame) {
            if (frame <= contentStart_) return;
            scnWriter_->AddScene(TSceneClass(uint32_t(contentStart_), uint32_t(frame)));
            contentStart_ = frame;
        });
        return graph_.get();
    };
    CreerScnByContenu.OnGraphDone = finishScn;

    CreerSrt.Name = "CreerSrt";
    CreerSrt.UpdateDisplay = udEach;
    CreerSrt.UpdateFile = ufReload;
    CreerSrt.StartMessage = "En train de créer un fichier srt pour %s";
    CreerSrt.ErrorMessage = "Erreur pendant la création d'un fichier srt pour %s";
    CreerSrt.RefusalReason = "le fichier n'est pas une vidéo DV";
    CreerSrt.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = true;
        enabled = IsDv(record);
    };
    CreerSrt.OnDestination = [this](TAbstractListFichier* record, const CmdParams&, int) {
        if (record && PrepareOverlay) PrepareOverlay(*record);
        return ReplaceExtension(record->FileName, ".srt");
    };
    CreerSrt.OnBuildGraph = [this](TAbstractListFichier* record, const std::string&, const CmdParams&,
                                   int) -> graph::Graph* {
        resetGraph();
        std::string error;
        graph_ = BuildDatecodeScanGraph(record->FileName, detector_, error);
        if (!graph_) throw SceneCommandFailure(error);
        const TaviFichier* avi = Avi(record);
        double fps = avi ? avi->Fps : 0;
        if (!UsableRate(fps) && graph_->frameDuration() > 0) fps = 1e7 / double(graph_->frameDuration());
        srtWriter_ = std::make_unique<TWriteSrt>(record->FileName, fps);
        if (!srtWriter_->ok()) throw SceneCommandFailure(srtWriter_->error());
        detector_.SetTextCallback(
            [this](const TDVFrameInfo& current, const std::string& line1, const std::string& line2) {
                srtWriter_->ChangeText(current.Frame, line1, line2);
            });
        return graph_.get();
    };
    CreerSrt.OnGraphDone = [this](bool, bool failed) -> std::string {
        std::unique_ptr<TWriteSrt> writer = std::move(srtWriter_);
        resetGraph();
        if (!writer || failed) return {};
        if (!writer->ok() || !writer->Finish()) return writer->error();
        return {};
    };
}

void TdmScene::setupInterval() {
    Tcmd& c = CreerScnByIntervalle;
    c.Name = "CreerScnByIntervalle";
    c.UpdateDisplay = udEach;
    c.UpdateFile = ufReload;
    c.StartMessage = "En train de créer un fichier scn par intervalles pour %s";
    c.ErrorMessage = "Erreur pendant la création d'un fichier scn pour %s";
    c.OnDestination = [](TAbstractListFichier* record, const CmdParams&, int) {
        return ReplaceExtension(record->FileName, ".scn");
    };
    c.OnExecution = [this](TAbstractListFichier* record, const std::string&, const CmdParams& params,
                           TCommandEngine& ce, int passe) {
        const int64_t seconds = params.empty() ? Settings.Intervalle : ParseInteger(params[0]).value_or(0);
        const TaviFichier* avi = Avi(record);
        const double fps = avi ? avi->Fps : 0;
        const int64_t frameCount = avi ? std::max<int32_t>(avi->FrameCount, 0) : 0;
        if (seconds <= 0 || !UsableRate(fps) || frameCount == 0) return;
        // Halves to even, as the rounding of the interval has always been done.
        const double exact = std::nearbyint(double(seconds) * fps);
        const int64_t step = exact >= double(frameCount) ? frameCount : int64_t(exact);
        if (step <= 0) return;

        TwriteScene writer(record->FileName);
        const auto failWith = [&](const std::string& detail) {
            Fail(ce, FormatCmdMessage(CreerScnByIntervalle.ErrorMessage, record->FileName, passe) + "\n" +
                         detail);
        };
        if (!writer.ok()) failWith(writer.error());
        ce.StartProgress(frameCount);
        for (int64_t pos = 0; pos < frameCount && !ce.Interrupted();) {
            ce.SetProgress(pos);
            const int64_t end = std::min(pos + step, frameCount);
            TSceneClass scene{uint32_t(pos), uint32_t(end)};
            if (DetailsSource) scene.LoadDetails(*DetailsSource, fps);
            if (!writer.AddScene(scene)) break;
            pos = end;
        }
        ce.EndProgress();
        if (!writer.ok() || !writer.Finish()) failWith(writer.error());
    };
}

void TdmScene::loadCutList(const std::string& videoPath, int passe) {
    if (passe != 1 && cutListPath_ == videoPath) return;
    cutList_.clear();
    cutListPath_ = videoPath;
    // A scene file that ends early gives the scenes read before the fault.
    ReadScnFile(ReplaceExtension(videoPath, ".scn"), cutList_);
    CutScenes.NbPasses = int32_t(cutList_.size());
}

void TdmScene::setupCut() {
    TSceneGraphCmd& c = CutScenes;
    c.Name = "CutScenes";
    c.UpdateDisplay = udNone;
    c.UpdateFile = ufAdd;
    c.StartMessage = "En train d'extraire de %s la scène %d ";
    c.ErrorMessage = "Erreur pendant le découpage en scènes de %s";
    c.RefusalReason = "le fichier n'est pas une vidéo DV ou n'a pas de fichier scn";
    c.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = true;
        const TaviFichier* avi = Avi(record);
        enabled = avi && avi->IsDV && avi->HasScn;
    };
    // The scene list is read when the first pass is checked, so the engine knows the number of
    // passes even when the first scene's file is not wanted.
    c.OnDestination = [this](TAbstractListFichier* record, const CmdParams&, int passe) {
        loadCutList(record->FileName, passe);
        return DestinationPath(record->FileName, "_scene_" + std::to_string(passe) + ".avi");
    };
    c.OnBuildGraph = [this](TAbstractListFichier* record, const std::string& destination, const CmdParams&,
                            int passe) -> graph::Graph* {
        resetGraph();
        loadCutList(record->FileName, passe);
        if (cutList_.empty() || passe < 1 || size_t(passe) > cutList_.size()) return nullptr;
        const TSceneClass scene = *cutList_[size_t(passe - 1)].scene;
        if (passe == CutScenes.NbPasses) {
            cutList_.clear();
            cutListPath_.clear();
        }
        const TaviFichier* avi = Avi(record);
        const double fps = avi ? avi->Fps : 0;
        if (!UsableRate(fps)) throw SceneCommandFailure("La fréquence d'images du fichier est inconnue.");
        if (avi && avi->FrameCount > 0 && scene.Debut >= uint32_t(avi->FrameCount))
            throw SceneCommandFailure("La scène " + std::to_string(passe) + " commence à l'image " +
                                      std::to_string(scene.Debut) + ", après la fin du fichier (" +
                                      std::to_string(avi->FrameCount) + " images).");
        const int64_t d = std::llround(10'000'000.0 / fps);
        const int64_t start = int64_t(scene.Debut) * d;
        const int64_t stop = int64_t(scene.Fin) * d;
        CutScenes.Debut = start;
        CutScenes.Duree = stop - start;
        std::string error;
        graph_ = BuildCutGraph(record->FileName, destination, error);
        if (!graph_) throw SceneCommandFailure("Copie impossible : " + error);
        if (!graph_->setPositions(start, stop, graph::TimeFormat::MediaTime))
            throw SceneCommandFailure("Positionnement impossible sur la scène " + std::to_string(passe) +
                                      ".");
        return graph_.get();
    };
    c.OnGraphDone = [this](bool, bool) -> std::string {
        resetGraph();
        return {};
    };
}

tAbstractCmd* TdmScene::Find(const std::string& name) {
    const std::string key = Lower(name);
    for (tAbstractCmd* c : Commands())
        if (Lower(c->Name) == key) return c;
    return nullptr;
}

std::vector<tAbstractCmd*> TdmScene::Commands() {
    return {&CreerScnByDate, &CreerScnByContenu, &CreerScnByIntervalle, &CreerSrt, &CutScenes};
}

}  // namespace velinor
