// velinor-cli: the headless front end. Scripts and tests depend on its verbs; keep them stable.
#include <cstdio>
#include <exception>
#include <string>

#include "cli/command_set_options.h"
#include "cli/verbs.h"

namespace velinor::cli {
// Each verb lives in its own file.
int RunFrames(const Args& args);
int RunRiff(const Args& args);
int runScript(const Args& args);
int RunInfo(const Args& args);
int RunCommand(const Args& args);
int RunScenes(const Args& args);
}  // namespace velinor::cli

namespace {

using velinor::cli::Verb;

// The verbs that read one file take the common options too: the settings are checked and applied
// as for the others; the scene verb also reads its own two.
template <int (*Run)(const velinor::cli::Args&), bool PassSceneSettings>
int WithCommonOptions(const velinor::cli::Args& given) {
    velinor::cli::Args args = given;
    velinor::cli::CommonOptions common;
    if (!velinor::cli::TakeCommonOptions(args, common, "")) return 2;
    velinor::cli::CliCommandSet cli;
    if (!cli.Configure(common)) return 2;
    if (PassSceneSettings)
        for (const auto& [name, value] : common.sets)
            if (cli.set->ScriptAction(name) == cli.set->ScriptAction("FormatAfficherDatecode") ||
                cli.set->ScriptAction(name) == cli.set->ScriptAction("FormatDuree")) {
                args.push_back("--set");
                args.push_back(cli.set->ScriptAction(name)->ScriptName + "=" + value);
            }
    return Run(args);
}

const Verb kVerbs[] = {
    {"help", "help", nullptr},
    {"frames", "frames FICHIER [--json]", WithCommonOptions<velinor::cli::RunFrames, false>},
    {"riff", "riff FICHIER [--markup]", WithCommonOptions<velinor::cli::RunRiff, false>},
    {"script", "script FICHIER [CHEMINS...]", velinor::cli::runScript},
    {"info", "info CHEMINS... [--sort datecode|timecode|duree|alpha|modify|taille] [--json]",
     velinor::cli::RunInfo},
    {"scenes", "scenes FICHIER [--json]", WithCommonOptions<velinor::cli::RunScenes, true>},
    {"run", "run COMMANDE [--param V] [--yes-all|--no-all|--ask] CHEMINS...", velinor::cli::RunCommand},
};

int usage(FILE* out) {
    std::fprintf(out, "Utilisation : velinor-cli VERBE [OPTIONS] [FICHIERS...]\n");
    for (const auto& verb : kVerbs)
        std::fprintf(out, "  %s%s\n", verb.usage,
                     verb.run ? " [--set NOM=VALEUR]... [--preferences]" : " [settings]");
    std::fprintf(out, "%s", velinor::cli::kCommonOptionsHelp);
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr);
    const std::string name = argv[1];
    velinor::cli::Args args(argv + 2, argv + argc);
    for (const auto& verb : kVerbs) {
        if (name != verb.name) continue;
        if (!verb.run) {
            // "help settings": every action of the catalogue, with the common options applied.
            if (!args.empty() && args[0] == "settings") {
                args.erase(args.begin());
                velinor::cli::CommonOptions common;
                if (!velinor::cli::TakeCommonOptions(args, common, "")) return 2;
                return velinor::cli::PrintSettings(common);
            }
            return usage(stdout);
        }
        try {
            return verb.run(args);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "Verbe inconnu : %s\n", name.c_str());
    return usage(stderr);
}
