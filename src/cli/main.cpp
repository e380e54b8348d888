// velinor-cli: the headless front end. Scripts and tests depend on its verbs; keep them stable.
#include <cstdio>
#include <exception>
#include <string>

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

const Verb kVerbs[] = {
    {"help", "help", nullptr},
    {"frames", "frames FICHIER [--json]", velinor::cli::RunFrames},
    {"riff", "riff FICHIER [--markup]", velinor::cli::RunRiff},
    {"script", "script FICHIER", velinor::cli::runScript},
    {"info", "info CHEMINS... [--sort datecode|timecode|duree|alpha|modify|taille] [--json]",
     velinor::cli::RunInfo},
    {"scenes", "scenes FICHIER [--json]", velinor::cli::RunScenes},
    {"run", "run COMMANDE [--param V] [--set NOM=V] [--yes-all|--no-all|--ask] CHEMINS...",
     velinor::cli::RunCommand},
};

int usage(FILE* out) {
    std::fprintf(out, "Utilisation : velinor-cli VERBE [OPTIONS] [FICHIERS...]\n");
    for (const auto& verb : kVerbs) std::fprintf(out, "  %s\n", verb.usage);
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr);
    const std::string name = argv[1];
    velinor::cli::Args args(argv + 2, argv + argc);
    for (const auto& verb : kVerbs) {
        if (name != verb.name) continue;
        if (!verb.run) return usage(stdout);
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
