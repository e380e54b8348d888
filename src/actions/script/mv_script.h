#pragma once
// The script component: compiles and runs a script against the built-in helpers and the
// declarations its owners register, and keeps the message list the script window shows.
// UI thread only, except RequestStop, which any thread may call while a script runs.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/script/script_engine.h"

namespace velinor {

class TMvScript {
public:
    // The owner's registration handler, run after the built-in declarations.
    using TPSEvent = std::function<void(TMvScript& sender)>;

    TMvScript();
    ~TMvScript();

    std::string Script;                 // the text CompileScript compiles
    std::vector<std::string> Messages;  // compiler messages and outcome lines
    TPSEvent OnCompile;

    // Hooks of the built-in helpers. Without OnShowMessage the text is added to Messages;
    // without OnMoveToTrash deletefiletorecyclebin answers false.
    std::function<void(const std::string& text)> OnShowMessage;
    std::function<void()> OnProcessMessages;
    std::function<bool(const std::string& path)> OnMoveToTrash;

    // The declarations being built while a compilation runs; owners add theirs in OnCompile.
    script::ScriptDeclarations& Declarations() { return declarations_; }
    void RegisterHelpers();

    bool CompileScript();
    bool CompileScript(const std::string& text) {
        Script = text;
        return CompileScript();
    }
    bool RunScript();
    void RequestStop() { engine_.requestStop(); }

    script::ScriptEngine& Engine() { return engine_; }

private:
    struct FindState;

    script::ScriptDeclarations declarations_;
    script::ScriptEngine engine_;
    bool compiled_ = false;
    std::unique_ptr<FindState> find_;
};

// File-name helpers of the scripts, with '/' as the folder separator.
std::string ScriptChangeFileExt(const std::string& path, const std::string& ext);
std::string ScriptExtractFileName(const std::string& path);
std::string ScriptExtractFilePath(const std::string& path);
std::string ScriptExtractFileExt(const std::string& path);

}  // namespace velinor
