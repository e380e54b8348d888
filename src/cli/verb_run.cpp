// velinor-cli run: runs one command of the catalogue over the given files, all selected.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/list_export_options.h"
#include "cli/verbs.h"
#include "commands/catalogue.h"
#include "commands/conversions.h"
#include "commands/overlay_settings.h"
#include "commands/scene_commands.h"
#include "commands/scene_export_commands.h"
#include "commands/viewdm.h"
#include "commands/viewdm_scene_source.h"
#include "filelist/avi_fichier.h"
#include "filelist/fichier_list.h"
#include "filelist/list_model.h"
#include "graph/sinks.h"
#include "media/riff_report.h"
#include "platform/event_loop_dispatcher.h"

namespace velinor::cli {

namespace {

const char kUsage[] =
    "Utilisation : velinor-cli run COMMANDE [--param VALEUR]... [--set NOM=VALEUR]... "
    "[--yes-all|--no-all|--ask] CHEMINS...\n";

enum class Mode { YesAll, NoAll, Ask };

// Answers the questions from the options, or on the terminal.
class CliConfirmer final : public TConfirmer {
public:
    explicit CliConfirmer(Mode mode) : mode_(mode) {}
    TAnswer Ask(const std::string& question, bool several) override {
        if (mode_ == Mode::YesAll) return TAnswer::OuiATous;
        if (mode_ == Mode::NoAll) return TAnswer::NonATous;
        for (;;) {
            std::fprintf(stderr, "%s\n%s ", question.c_str(),
                         several ? "[o]ui, [n]on, [a]nnuler, n[on] à tous (r), oui à [t]ous ?"
                                 : "[o]ui, [n]on, [a]nnuler ?");
            std::fflush(stderr);
            std::string line;
            if (!std::getline(std::cin, line)) return TAnswer::Annuler;
            const char c = line.empty() ? ' ' : char(std::tolower(static_cast<unsigned char>(line[0])));
            if (c == 'o') return TAnswer::Oui;
            if (c == 'n') return TAnswer::Non;
            if (c == 'a') return TAnswer::Annuler;
            if (several && c == 'r') return TAnswer::NonATous;
            if (several && c == 't') return TAnswer::OuiATous;
        }
    }

private:
    Mode mode_;
};

}  // namespace

int RunCommand(const Args& args) {
    std::string name;
    CmdParams params;
    std::vector<std::pair<std::string, std::string>> sets;
    std::vector<std::string> paths;
    Mode mode = isatty(STDIN_FILENO) ? Mode::Ask : Mode::NoAll;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "--param" || arg == "--set") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (arg == "--param") {
                params.push_back(value);
                continue;
            }
            const size_t eq = value.find('=');
            if (eq == std::string::npos || eq == 0) {
                std::fprintf(stderr, "Réglage attendu sous la forme NOM=VALEUR : %s\n%s", value.c_str(),
                             kUsage);
                return 2;
            }
            sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (arg == "--yes-all") {
            mode = Mode::YesAll;
        } else if (arg == "--no-all") {
            mode = Mode::NoAll;
        } else if (arg == "--ask") {
            mode = Mode::Ask;
        } else if (arg.starts_with("--")) {
            std::fprintf(stderr, "Argument inattendu : %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else if (name.empty()) {
            name = arg;
        } else {
            paths.push_back(arg);
        }
    }
    if (name.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    TdmAction dm;
    TSceneExportCommands sceneExports(dm);
    ListExportOptions listExports;
    TCdm cdm;
    TConversions conversions(cdm);
    TOverlaySettings overlay;
    ConnectConversions(conversions, dm, overlay);
    TdmScene scenes;
    tAbstractCmd* command = dm.Find(name);
    if (!command) command = conversions.Find(name);
    if (!command) command = scenes.Find(name);
    if (!command) command = sceneExports.Find(name);
    if (!command) {
        std::fprintf(stderr, "Commande inconnue : %s\n", name.c_str());
        return 2;
    }
    for (const auto& [key, value] : sets) {
        // A name several groups know (the save folder) is set in each of them.
        bool known = dm.Settings.Set(key, value);
        known = conversions.Settings.Set(key, value) || known;
        known = scenes.Settings.Set(key, value) || known;
        known = sceneExports.Set(key, value) || known;
        known = known || listExports.Take(key, value);
        if (!known) {
            std::fprintf(stderr, "Réglage inconnu ou valeur invalide : %s=%s\n", key.c_str(), value.c_str());
            return 2;
        }
    }
    if (command->Nombre != fnNone && paths.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    EventLoopDispatcher ui;
    TFichierList cache([](const std::string& path) { return std::make_unique<TAfficherFichier>(path); });
    TFichierListModel list(ui, [&ui](const std::function<bool()>& done) { ui.RunUntil(done); });
    list.SetCache(&cache);
    int status = 0;
    for (const auto& path : paths) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "Fichier introuvable : %s\n", path.c_str());
            status = 1;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            list.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
            list.OpenFolderTree(path);
        } else {
            list.OnOpenTestExtension = nullptr;
            list.OpenPaths({path});
        }
        ui.RunUntil([&list] { return !list.Busy(); });
        ui.RunPending();
    }

    dm.ShowRiffHeader = [](const std::string& path) {
        RiffReport report;
        report.AnalyseFile(path);
        for (const std::string& line : report.Lines()) std::printf("%s\n", PlainText(line).c_str());
    };

    // The scene commands take each scene's texts and thumbnail from the preview, which holds the
    // file the engine makes active, as the window's preview does.
    Tviewdm preview(&ui);
    const PreviewWindow previewWindow{std::make_shared<graph::HeadlessVideoSurface>(),
                                      std::make_shared<graph::HeadlessAudioDevice>()};
    TviewdmSceneSource details(preview);
    const bool detailed = command == scenes.Find(name) || command == sceneExports.Find(name);
    if (detailed) {
        scenes.DetailsSource = &details;
        sceneExports.DetailsSource = &details;
        list.OnActiveChange = [&](TAbstractListFichier* record) {
            if (auto* avi = dynamic_cast<TaviFichier*>(record))
                preview.OpenRecord(avi, previewWindow);
            else
                preview.ReleasePreview();
        };
    }

    CliConfirmer confirmer(mode);
    TCommandEngine engine(ui);
    engine.SourceFichierListbox = &list;
    engine.DestFichierListbox = &list;
    engine.FichierClass = [](const std::string& path) { return std::make_unique<TAfficherFichier>(path); };
    engine.Confirmer = &confirmer;
    const bool terminal = isatty(STDERR_FILENO);
    int64_t progressMax = 0;
    engine.OnMessageCommand = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
    engine.OnNoticeCommand = engine.OnMessageCommand;
    engine.OnErrorCommand = [](const std::string& text, TErrorType type) {
        const char* line = type == etError      ? "\nLe fichier courant a été interrompu."
                           : type == etAllError ? "\nLa commande va être interrompue."
                                                : "";
        std::fprintf(stderr, "%s%s\n", text.c_str(), line);
    };
    engine.OnRefuseFichier = [](TAbstractListFichier* record, const std::string& reason) {
        std::fprintf(stderr, "Fichier ignoré : %s (%s).\n", record->FileName.c_str(), reason.c_str());
    };
    engine.OnStartProgress = [&](int64_t max) { progressMax = max; };
    engine.OnSetProgress = [&](int64_t pos) {
        if (!terminal || progressMax <= 0) return;
        const int width = 40;
        const int filled = int(std::clamp<int64_t>(pos * width / progressMax, 0, width));
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), ' ').c_str(), filled * 100 / width);
        std::fflush(stderr);
    };
    engine.OnEndProgress = [&] {
        if (terminal && progressMax > 0) std::fprintf(stderr, "\n");
    };

    const auto runOnce = [&]() -> bool {
        if (command == &dm.Renommer) dm.RenameCounter = 1;
        if (!engine.ExecuteCommand(*command, params)) return false;
        ui.RunUntil([&engine] { return !engine.Running(); });
        ui.RunPending();
        return true;
    };
    bool ran = false;
    if (command->Nombre == fnSingle) {
        std::vector<std::string> files;
        for (int i = 0; i < list.Count(); ++i) files.push_back(list.Item(i)->FileName);
        for (const auto& file : files) {
            const int index = list.IndexOfPath(file);
            if (index < 0) continue;
            list.SetActiveIndex(index);
            ran = runOnce() || ran;
        }
    } else {
        list.SelectAllFichiers(true);
        ran = runOnce();
    }
    if (!ran) {
        std::fprintf(stderr, "La commande %s ne s'applique à aucun fichier.\n", command->Name.c_str());
        return 1;
    }
    for (int i = 0; i < list.Count(); ++i) std::printf("%s\n", list.Item(i)->FileName.c_str());
    if (std::fflush(stdout) != 0) return 1;
    if (!listExports.Run(list)) return 1;
    // A file the command could not use is a file that did not succeed.
    return engine.Failures() > 0 || engine.Refused() > 0 ? 1 : status;
}

}  // namespace velinor::cli
