// velinor-cli script FILE [PATHS...]: compiles and runs a script headless against the whole
// catalogue, with the paths opened and selected, and prints the script's messages.
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "actions/script/mv_script.h"
#include "cli/command_set_options.h"
#include "cli/stop_signals.h"
#include "cli/verbs.h"
#include "platform/utf16.h"

namespace velinor::cli {

namespace {

// Script files are UTF-8; a UTF-16LE file with its byte-order mark (as older tools save them)
// is converted, and a UTF-8 byte-order mark is dropped.
std::string decodeScript(const std::string& bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
    if (bytes.rfind("\xFF\xFE", 0) != 0) return bytes;
    std::u32string chars;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t lo =
                static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        chars += u;
    }
    std::string out;
    for (char32_t cp : chars) {
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

void print(const std::vector<std::string>& lines) {
    for (const auto& l : lines) std::printf("%s\n", l.c_str());
    std::fflush(stdout);
}

}  // namespace

int runScript(const Args& given) {
    static const char kUsage[] =
        "Utilisation : velinor-cli script FICHIER [CHEMINS...] [--set NOM=VALEUR]... [--preferences]\n";
    Args args = given;
    CommonOptions common;
    if (!TakeCommonOptions(args, common, kUsage)) return 2;
    if (args.empty() || args[0].starts_with("--")) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    for (const auto& arg : args)
        if (arg.starts_with("--")) {
            std::fprintf(stderr, "Argument inattendu : %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "Impossible d'ouvrir le script %s\n", args[0].c_str());
        return 1;
    }
    const std::string text = decodeScript(std::string(std::istreambuf_iterator<char>(in), {}));

    // The script runs against the whole catalogue, on the files given, all selected, as the
    // window's script window runs it against the window's list.
    CliCommandSet cli;
    TCommandSet& set = *cli.set;
    if (!cli.Configure(common)) return 2;
    const std::vector<std::string> paths(args.begin() + 1, args.end());
    int status = 0;
    const std::vector<int> found = set.OpenPaths(paths);
    for (size_t i = 0; i < paths.size(); ++i)
        if (found[i] == 0) {
            std::fprintf(stderr, "Aucun fichier trouvé : %s\n", paths[i].c_str());
            status = 1;
        }
    cli.RemoveLeftovers();
    set.List.SelectAllFichiers(true);
    if (set.List.Count() > 0) set.List.SetActiveIndex(0);

    // No one answers questions: a command that asks is answered "non" for every file.
    struct NoConfirmer final : TConfirmer {
        TAnswer Ask(const std::string&, bool) override { return TAnswer::NonATous; }
    } confirmer;
    set.Engine.Confirmer = &confirmer;
    set.Engine.OnMessageCommand = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    set.Engine.OnNoticeCommand = set.Engine.OnMessageCommand;
    set.Engine.OnErrorCommand = [](const std::string& line, TErrorType) {
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    // A command the script starts ends before the script's next statement.
    set.AfterCommandStart = [&cli, &set] {
        cli.ui.RunUntil([&set] { return !set.Engine.Running(); });
        cli.ui.RunPending();
    };
    int refusals = 0;
    set.OnRefused = [&refusals](const std::string& reason) {
        ++refusals;
        std::fprintf(stderr, "%s\n", reason.c_str());
    };

    TMvScript script;
    script.OnShowMessage = [](const std::string& message) {
        std::printf("%s\n", message.c_str());
        std::fflush(stdout);
    };
    script.OnProcessMessages = [&cli] { cli.ui.RunPending(); };
    for (TMvActionList* list : set.ActionLists()) list->SetPascalScript(&script);
    const bool compiled = script.CompileScript(text);
    print(script.Messages);
    if (!compiled) return 1;

    // A stop signal stops the script and the command it runs, as the window's stop does.
    std::atomic<bool> stopping = false;
    bool ran = false;
    {
        StopSignals signals([&](int) {
            stopping = true;
            script.RequestStop();
            cli.ui.post([&set] {
                set.Engine.InterruptAll();
                set.Engine.Signal();
            });
        });
        ran = script.RunScript();
        print(script.Messages);
        if (stopping) {
            for (TMvActionList* list : set.ActionLists()) list->SetPascalScript(nullptr);
            std::fprintf(stderr, "Script arrêté par %s.\n", StopSignalName(signals.Received()));
            return StoppedStatus(signals.Received());
        }
    }
    for (TMvActionList* list : set.ActionLists()) list->SetPascalScript(nullptr);
    if (!ran || set.Engine.Failures() > 0 || refusals > 0) return 1;
    if (!cli.RunExports()) return 1;
    return status;
}

}  // namespace velinor::cli
