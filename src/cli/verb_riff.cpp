// velinor-cli riff FILE [--markup]: the RIFF structure report of one file, as plain text or with
// the viewer's markup kept.
#include <cstdio>
#include <string>

#include "cli/verbs.h"
#include "media/riff_report.h"

namespace velinor::cli {

int RunRiff(const Args& args) {
    std::string path;
    bool keepMarkup = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--markup") {
            keepMarkup = true;
        } else if (args[i] == "--set" && i + 1 < args.size()) {
            ++i;  // settings do not change the report
        } else if (args[i].rfind("--set=", 0) == 0) {
        } else if (path.empty() && (args[i].empty() || args[i][0] != '-' || args[i] == "-")) {
            path = args[i];
        } else {
            std::fprintf(stderr, "Argument inattendu : %s\n", args[i].c_str());
            return 2;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "Utilisation : velinor-cli riff FICHIER [--markup]\n");
        return 2;
    }
    RiffReport report;
    report.AnalyseFile(path);  // throws MediaError, reported by main
    for (const std::string& line : report.Lines()) {
        const std::string shown = keepMarkup ? line : PlainText(line);
        std::fwrite(shown.data(), 1, shown.size(), stdout);
        std::fputc('\n', stdout);
    }
    return std::ferror(stdout) ? 1 : 0;
}

}  // namespace velinor::cli
