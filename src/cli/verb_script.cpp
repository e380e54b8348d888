// velinor-cli script FILE: compiles and runs a script headless and prints the script's messages.
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "actions/script/mv_script.h"
#include "cli/verbs.h"
#include "platform/utf16.h"

namespace velinor::cli {

namespace {

TMvScript* gRunning = nullptr;

extern "C" void stopScript(int) {
    // Only an atomic store: safe in a signal handler.
    if (gRunning) gRunning->RequestStop();
}

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

int runScript(const Args& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "Utilisation : velinor-cli script FICHIER\n");
        return 2;
    }
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "Impossible d'ouvrir le script %s\n", args[0].c_str());
        return 1;
    }
    const std::string text = decodeScript(std::string(std::istreambuf_iterator<char>(in), {}));

    // Headless, the script gets the built-in declarations; show messages go to the output at once.
    TMvScript script;
    script.OnShowMessage = [](const std::string& message) {
        std::printf("%s\n", message.c_str());
        std::fflush(stdout);
    };
    const bool compiled = script.CompileScript(text);
    print(script.Messages);
    if (!compiled) return 1;

    gRunning = &script;
    auto previous = std::signal(SIGINT, stopScript);
    const bool ran = script.RunScript();
    std::signal(SIGINT, previous);
    gRunning = nullptr;
    print(script.Messages);
    return ran ? 0 : 1;
}

}  // namespace velinor::cli
