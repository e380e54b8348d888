// velinor-cli scenes FILE [--json]: the scenes of a video as its .scn file lists them, or the
// single default scene when it has none, with the datecode and timecode of each first frame.
#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/json_text.h"
#include "cli/verbs.h"
#include "commands/viewdm_scene_source.h"
#include "filelist/avi_fichier.h"
#include "filters/dv_scene_detect.h"
#include "media/dv_frame_source.h"
#include "media/media_error.h"
#include "platform/atomic_file.h"
#include "scenes/scene_list.h"
#include "scenes/scn_file.h"

namespace velinor::cli {

namespace {

constexpr const char* kUsage =
    "Utilisation : velinor-cli scenes FICHIER [--json] [--set FormatAfficherDatecode=MOTIF] "
    "[--set FormatDuree=0|1|2]\n";

// Reads the file's DV frames forward to each scene start in turn (scenes come in increasing
// order, so the file is read once); starts over for a frame behind the current one. A file
// without DV gives frames with neither datecode nor timecode.
class ForwardFrameReader : public SceneDetailsSource {
public:
    explicit ForwardFrameReader(std::string path) : path_(std::move(path)) {}

    std::optional<SceneFrameValues> seekFrame(uint32_t frame) override {
        if (noDv_) return SceneFrameValues{};
        if (!source_ || frame < next_) {
            try {
                source_ = OpenDvFrameSource(path_);
            } catch (const MediaError&) {
                noDv_ = true;
                return SceneFrameValues{};
            }
            next_ = 0;
        }
        for (; next_ < frame; ++next_)
            if (!source_->next(buffer_)) return std::nullopt;
        if (!source_->next(buffer_)) return std::nullopt;
        ++next_;
        detector_.StartStreaming(std::nullopt);
        if (!detector_.Transform(buffer_)) return SceneFrameValues{};
        return SceneFrameValuesOf(detector_.LastFrame);
    }
    ScenePicture snapshot() override { return {}; }

private:
    std::string path_;
    std::unique_ptr<DvFrameSource> source_;
    uint32_t next_ = 0;  // the frame the source gives next
    bool noDv_ = false;
    std::vector<uint8_t> buffer_;
    // Texts are not needed: a store without templates keeps the detector from building any.
    OverlayTextSettingsStore noTexts_;
    Tdv_sceneDetect detector_{nullptr, &noTexts_};
};

void AppendJson(std::string& out, const TSceneClass& s) {
    out += "{\"Numero\":" + std::to_string(s.Numero);
    out += ",\"Debut\":" + std::to_string(s.Debut);
    out += ",\"Fin\":" + std::to_string(s.Fin);
    out += ",\"Duree\":";
    AppendJsonString(out, s.Duree);
    out += ",\"DatecodeText\":";
    AppendJsonString(out, s.DatecodeText);
    out += ",\"TimecodeText\":";
    AppendJsonString(out, s.TimecodeText);
    out += ",\"Titre\":";
    AppendJsonString(out, s.Titre);
    out += ",\"SousTitre\":";
    AppendJsonString(out, s.SousTitre);
    out += ",\"ImageOffset\":" + std::to_string(s.ImageOffset);
    out += "}\n";
}

constexpr const char* kTextHeader = "Scène\tDébut\tFin\tDurée\tDatecode\tTimecode\tTitre\tSous-titre\n";

void AppendText(std::string& out, const TSceneClass& s) {
    out += std::to_string(s.Numero) + '\t' + std::to_string(s.Debut) + '\t' + std::to_string(s.Fin) + '\t' +
           s.Duree + '\t' + s.DatecodeText + '\t' + s.TimecodeText + '\t' + s.Titre + '\t' + s.SousTitre +
           '\n';
}

bool ReadSetting(const std::string& setting, SceneTextSettings& settings) {
    const size_t eq = setting.find('=');
    if (eq == std::string::npos) return false;
    const std::string name = setting.substr(0, eq);
    const std::string value = setting.substr(eq + 1);
    if (name == "FormatAfficherDatecode") {
        settings.datecodeDisplayPattern = value;
        return true;
    }
    if (name == "FormatDuree") {
        int style = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), style);
        if (error != std::errc() || end != value.data() + value.size() || style < 0 || style > 2)
            return false;
        settings.formatDuree = style;
        return true;
    }
    return false;
}

}  // namespace

int RunScenes(const Args& args) {
    std::string path;
    bool json = false;
    SceneTextSettings settings;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--set" && i + 1 < args.size()) {
            if (!ReadSetting(args[++i], settings)) {
                std::fprintf(stderr, "Réglage inconnu : %s\n%s", args[i].c_str(), kUsage);
                return 2;
            }
        } else if (arg.starts_with("--") || !path.empty()) {
            std::fprintf(stderr, "Argument inattendu : %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "Fichier introuvable : %s\n", path.c_str());
        return 1;
    }

    SetFormatAfficherDatecode(settings.datecodeDisplayPattern);
    const TaviFichier record(path);
    CurrentVideo video;
    video.path = path;
    video.fps = record.Fps;
    video.width = record.Width;
    video.height = record.Height;
    video.frameCount = record.FrameCount > 0 ? uint32_t(record.FrameCount) : 0;

    const std::string scnPath = ReplaceExtension(path, ".scn");
    TSFrame frame(settings);
    bool damaged = false;
    if (::stat(scnPath.c_str(), &st) == 0) {
        damaged = !ReadScnFile(scnPath, frame.Items(), &video, settings);
    } else {
        frame.SingleScene(path, video.frameCount, &video);
    }

    ForwardFrameReader reader(path);
    std::string out;
    if (!json) out += kTextHeader;
    for (SceneItem& item : frame.Items()) {
        TSceneClass& scene = *item.scene;
        // A scene starting beyond the last frame has no values to show.
        if (!scene.LoadDetails(reader, video.fps, settings)) scene.DatecodeText = scene.TimecodeText = "N/A";
        if (json)
            AppendJson(out, scene);
        else
            AppendText(out, scene);
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "Erreur d'écriture de la sortie\n");
        return 1;
    }
    if (damaged) {
        std::fprintf(stderr, "Erreur dans le fichier scn : %s\n", scnPath.c_str());
        return 1;
    }
    return 0;
}

}  // namespace velinor::cli
