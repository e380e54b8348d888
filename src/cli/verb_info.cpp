// velinor-cli info PATHS... [--sort ORDER] [--json]: the video file records as the list holds
// them, in list order. Folders open with their sub-folders (".avi" files only, as in the window),
// ".txt" files as playlists, other paths (and masks) as given.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_set_options.h"
#include "cli/json_text.h"
#include "cli/verbs.h"
#include "filelist/avi_fichier.h"
#include "filelist/base_frame.h"
#include "filelist/list_model.h"
#include "platform/event_loop_dispatcher.h"

namespace velinor::cli {

namespace {

constexpr const char* kUsage =
    "Utilisation : velinor-cli info CHEMINS... [--sort datecode|timecode|duree|alpha|modify|taille] "
    "[--json]\n";

class JsonObject {
public:
    void Str(const char* key, const std::string& v) {
        Key(key);
        AppendJsonString(out_, v);
    }
    void Int(const char* key, int64_t v) {
        Key(key);
        out_ += std::to_string(v);
    }
    void Bool(const char* key, bool v) {
        Key(key);
        out_ += v ? "true" : "false";
    }
    void Num(const char* key, double v) {
        Key(key);
        if (!std::isfinite(v)) {
            out_ += "null";
            return;
        }
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v);
        out_ += text;
    }
    std::string Done() { return out_ + "}"; }

private:
    void Key(const char* key) {
        out_ += out_.size() > 1 ? "," : "";
        AppendJsonString(out_, key);
        out_ += ':';
    }
    std::string out_ = "{";
};

std::string RecordJson(const TaviFichier& r) {
    JsonObject o;
    o.Str("FileName", r.FileName);
    o.Str("Name", r.Name);
    o.Str("Folder", r.Folder);
    o.Str("Ext", r.Ext);
    o.Str("BaseName", r.BaseName);
    o.Str("AlphaKey", r.AlphaKey);
    o.Int("SizeHigh", r.SizeHigh);
    o.Int("SizeLow", r.SizeLow);
    o.Num("Created", r.Created);
    o.Num("Modified", r.Modified);
    o.Num("Accessed", r.Accessed);
    o.Int("Attributes", r.Attributes);
    o.Bool("ReadOnly", r.ReadOnly);
    o.Str("SizeKey", r.SizeKey);
    o.Str("ModifiedKey", r.ModifiedKey);
    o.Str("DatecodeKey", r.DatecodeKey);
    o.Str("DatecodeText", r.DatecodeText);
    o.Num("DatecodeValue", r.DatecodeValue);
    o.Num("Decalage", r.Decalage);
    o.Str("DecalageText", r.DecalageText);
    o.Str("TimecodeText", r.TimecodeText);
    o.Str("Codec", r.Codec);
    o.Int("DVType", r.DVType);
    o.Bool("Iavs", r.Iavs);
    o.Str("ImageText", r.ImageText);
    o.Str("AspectText", r.AspectText);
    o.Int("Width", r.Width);
    o.Int("Height", r.Height);
    o.Int("Duration", r.Duration);
    o.Str("DurationText", r.DurationText);
    o.Int("FrameCount", r.FrameCount);
    o.Num("Fps", r.Fps);
    o.Str("AudioText", r.AudioText);
    o.Str("AudioDurationText", r.AudioDurationText);
    o.Int("DVVAuxSrc", r.DVVAuxSrc);
    o.Int("VideoBitRate", r.VideoBitRate);
    o.Str("AudioFormatText", r.AudioFormatText);
    o.Int("VideoSystem", r.VideoSystem);
    o.Bool("HasScn", r.HasScn);
    o.Bool("HasSrt", r.HasSrt);
    o.Bool("IsDV", r.IsDV);
    o.Bool("Wide", r.Wide);
    o.Int("AudioFrequency", r.AudioFrequency);
    o.Int("AudioBits", r.AudioBits);
    o.Str("ChannelsText", r.ChannelsText);
    o.Str("DatecodeSortKey", r.DatecodeSortKey);
    o.Str("TimecodeSortKey", r.TimecodeSortKey);
    o.Str("DureeSortKey", r.DureeSortKey);
    o.Str("ListTimestamp", r.ListTimestamp);
    return o.Done();
}

std::string RecordText(const TaviFichier& r) {
    TBaseFrame panel;
    panel.ShowFile(&r);
    const TBaseFrameTexts& t = panel.Texts;
    std::string audio = t.LabAudio1;
    if (!t.LabAudio2.empty()) audio += " / " + t.LabAudio2;
    return t.LabNom + "\n  Datecode : " + t.labDatecode + "\n  Timecode : " + t.LabTimecode +
           "\n  Codec    : " + t.LabCodec + "\n  Image    : " + t.LabImage + "\n  Durée    : " + t.LabDuree +
           "\n  Fps      : " + t.labFPS + "\n  Audio    : " + audio + "\n";
}

}  // namespace

int RunInfo(const Args& given) {
    Args args = given;
    CommonOptions common;
    if (!TakeCommonOptions(args, common, kUsage)) return 2;
    std::vector<std::string> paths;
    bool json = false;
    std::string order = "alpha";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--sort" && i + 1 < args.size()) {
            order = args[++i];
        } else if (arg.starts_with("--")) {
            std::fprintf(stderr, "Argument inattendu : %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    const TSortIndex& sort = SortIndexById(order);
    if (sort.Id != order) {
        std::fprintf(stderr, "Ordre de tri inconnu : %s\n%s", order.c_str(), kUsage);
        return 2;
    }

    CliCommandSet cli;
    if (!cli.Configure(common)) return 2;
    TFichierListModel& list = cli.set->List;
    list.SortBy(sort);

    int status = 0;
    const std::vector<int> found = cli.set->OpenPaths(paths);
    for (size_t i = 0; i < paths.size(); ++i)
        if (found[i] == 0) {
            std::fprintf(stderr, "Aucun fichier trouvé : %s\n", paths[i].c_str());
            status = 1;
        }

    std::string out;
    for (int i = 0; i < list.Count(); ++i) {
        const auto* record = dynamic_cast<const TaviFichier*>(list.Item(i));
        if (!record) continue;
        out += json ? RecordJson(*record) + "\n" : RecordText(*record);
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "Erreur d'écriture de la sortie\n");
        return 1;
    }
    if (!cli.RunExports()) return 1;
    return status;
}

}  // namespace velinor::cli
