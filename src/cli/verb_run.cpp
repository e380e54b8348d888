// velinor-cli run: runs one command of the catalogue over the given files, all selected.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_set_options.h"
#include "cli/stop_signals.h"
#include "cli/verbs.h"
#include "media/riff_report.h"

namespace velinor::cli {

namespace {

const char kUsage[] =
    "Utilisation : velinor-cli run COMMANDE [--param VALEUR]... [--set NOM=VALEUR]... [--preferences] "
    "[--yes-all|--no-all|--ask] CHEMINS...\n";

enum class Mode { YesAll, NoAll, Ask };

// Answers the questions from the options, or on the terminal. A stop signal while a question
// waits for its answer cancels the command.
class CliConfirmer final : public TConfirmer {
public:
    CliConfirmer(Mode mode, const std::atomic<bool>& stopping) : mode_(mode), stopping_(stopping) {}
    TAnswer Ask(const std::string& question, bool several) override {
        if (mode_ == Mode::YesAll) return TAnswer::OuiATous;
        if (mode_ == Mode::NoAll) return TAnswer::NonATous;
        for (;;) {
            std::fprintf(stderr, "%s\n%s ", question.c_str(),
                         several ? "[o]ui, [n]on, [a]nnuler, n[on] à tous (r), oui à [t]ous ?"
                                 : "[o]ui, [n]on, [a]nnuler ?");
            std::fflush(stderr);
            std::string line;
            if (!waitForInput() || !std::getline(std::cin, line)) return TAnswer::Annuler;
            const char c = line.empty() ? ' ' : char(std::tolower(static_cast<unsigned char>(line[0])));
            if (c == 'o') return TAnswer::Oui;
            if (c == 'n') return TAnswer::Non;
            if (c == 'a') return TAnswer::Annuler;
            if (several && c == 'r') return TAnswer::NonATous;
            if (several && c == 't') return TAnswer::OuiATous;
        }
    }

private:
    // True when a line can be read, false when the command is stopping.
    bool waitForInput() const {
        while (!stopping_.load()) {
            if (std::cin.rdbuf()->in_avail() > 0) return true;
            pollfd input{STDIN_FILENO, POLLIN, 0};
            if (poll(&input, 1, 100) > 0) return true;
        }
        return false;
    }

    Mode mode_;
    const std::atomic<bool>& stopping_;
};

}  // namespace

int RunCommand(const Args& given) {
    Args args = given;
    CommonOptions common;
    if (!TakeCommonOptions(args, common, kUsage)) return 2;
    std::string name;
    CmdParams params;
    std::vector<std::string> paths;
    Mode mode = isatty(STDIN_FILENO) ? Mode::Ask : Mode::NoAll;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--param" && i + 1 < args.size()) {
            params.push_back(args[++i]);
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

    CliCommandSet cli;
    TCommandSet& set = *cli.set;
    tAbstractCmd* command = set.FindCommand(name);
    if (!command) {
        std::fprintf(stderr, "Commande inconnue : %s\n", name.c_str());
        return 2;
    }
    if (!cli.Configure(common)) return 2;
    if (command->Nombre != fnNone && paths.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    // A stop signal stops the opening or the command as Escape does in the window: what the
    // command wrote so far is finished and listed, and the run fails.
    std::atomic<bool> stopping = false;
    StopSignals signals([&](int) {
        stopping = true;
        cli.ui.post([&set] {
            set.List.StopOpening();
            set.Engine.InterruptAll();
            set.Engine.Signal();
        });
    });

    int status = 0;
    const std::vector<int> found = set.OpenPaths(paths);
    for (size_t i = 0; i < paths.size(); ++i)
        if (found[i] == 0) {
            std::fprintf(stderr, "Aucun fichier trouvé : %s\n", paths[i].c_str());
            status = 1;
        }

    if (!stopping) cli.RemoveLeftovers();

    set.Dm.ShowRiffHeader = [](const std::string& path) {
        RiffReport report;
        report.AnalyseFile(path);
        for (const std::string& line : report.Lines()) std::printf("%s\n", PlainText(line).c_str());
    };
    // The scene commands take each scene's texts and thumbnail from the preview, which then
    // follows the file the engine makes active, as the window's preview does.
    const auto& scenes = set.Scenes.Commands();
    const auto& exports = set.SceneExports.Commands();
    set.PreviewFollowsActive = std::find(scenes.begin(), scenes.end(), command) != scenes.end() ||
                               std::find(exports.begin(), exports.end(), command) != exports.end();
    set.List.OnActiveChange = [&set](TAbstractListFichier* record) { set.ActiveFileChanged(record); };

    CliConfirmer confirmer(mode, stopping);
    TCommandEngine& engine = set.Engine;
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
    set.AfterCommandStart = [&] {
        cli.ui.RunUntil([&engine] { return !engine.Running(); });
        cli.ui.RunPending();
    };

    // A command the window would grey out is refused with the reason the window's state gives.
    bool ran = false;
    std::string refusal;
    set.OnRefused = [&refusal](const std::string& reason) { refusal = reason; };
    if (stopping) {
        // Stopped while the files were being opened: no command starts.
    } else if (command->Nombre == fnSingle) {
        std::vector<std::string> files;
        for (int i = 0; i < set.List.Count(); ++i) files.push_back(set.List.Item(i)->FileName);
        for (const auto& file : files) {
            if (stopping) break;
            const int index = set.List.IndexOfPath(file);
            if (index < 0) continue;
            set.List.SetActiveIndex(index);
            ran = set.RunCommand(command->Name, params) || ran;
        }
    } else {
        set.List.SelectAllFichiers(true);
        ran = set.RunCommand(command->Name, params);
    }
    const auto stopped = [&] {
        std::fprintf(stderr, "Commande %s arrêtée par %s.\n", command->Name.c_str(),
                     StopSignalName(signals.Received()));
        return StoppedStatus(signals.Received());
    };
    if (!ran && stopping) return stopped();
    if (!ran) {
        if (!refusal.empty())
            std::fprintf(stderr, "%s\n", refusal.c_str());
        else
            std::fprintf(stderr, "La commande %s ne s'applique à aucun fichier.\n", command->Name.c_str());
        return 1;
    }
    for (int i = 0; i < set.List.Count(); ++i) std::printf("%s\n", set.List.Item(i)->FileName.c_str());
    if (std::fflush(stdout) != 0) return 1;
    if (stopping) return stopped();
    if (!cli.RunExports()) return 1;
    // A file the command could not use is a file that did not succeed.
    return engine.Failures() > 0 || engine.Refused() > 0 ? 1 : status;
}

}  // namespace velinor::cli
