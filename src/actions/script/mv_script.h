#pragma once
// The script component: compiles and runs a script against the built-in helpers and the
// declarations its owners register, and keeps the message list the script window shows.
// UI thread only, except RequestStop, which any thread may call while a script runs.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "actions/script/script_engine.h"

namespace velinor {

// OnCompile (inherited) is the owner's registration handler, run after the built-in declarations.
class TMvScript : public ScriptRegistrar {
public:
    TMvScript();
    ~TMvScript() override;
    TMvScript(const TMvScript&) = delete;
    TMvScript& operator=(const TMvScript&) = delete;

    std::string Script;                 // the text CompileScript compiles
    std::vector<std::string> Messages;  // compiler messages and outcome lines

    // Declares a procedure bound to an action; a faulty declaration is reported when the script
    // compiles. Only valid while a compilation runs (from OnCompile).
    bool RegisterProcedure(const std::string& declaration, ScriptProc proc) override;

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

// Macro recording as the script window drives it: starting makes `lines` the macro's text
// ("//Macro enregistrée le " + whenText, an empty line, "begin") and records every action set or
// run into it; stopping appends "end." and ends the recording.
void StartMacro(std::vector<std::string>& lines, const std::string& whenText);
void StopMacro();

// File-name helpers of the scripts, with '/' as the folder separator.
std::string ScriptChangeFileExt(const std::string& path, const std::string& ext);
std::string ScriptExtractFileName(const std::string& path);
std::string ScriptExtractFilePath(const std::string& path);
std::string ScriptExtractFileExt(const std::string& path);

}  // namespace velinor
