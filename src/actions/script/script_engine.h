#pragma once
// Compiles a Pascal-dialect script against host declarations and runs it. One thread compiles and
// runs; requestStop may be called from any other thread to end a running script.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions/script/script_declarations.h"

namespace velinor::script {

struct ScriptMessage {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    int line = 0;    // 1-based
    int column = 0;  // 1-based, in characters
    std::string text;

    // "[Erreur] (ligne 3, colonne 5) : Identificateur inconnu 'x'"
    std::string format() const;
};

struct RunOutcome {
    bool ok = false;
    std::string error;  // "Division par zéro (ligne 4, colonne 9)"; empty on success
    int line = 0, column = 0;
};

struct Program;

class ScriptEngine {
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Replaces any earlier compilation. Stops at the first error.
    bool compile(const std::string& source, const ScriptDeclarations& declarations);
    bool compiled() const { return program_ != nullptr; }
    const std::vector<ScriptMessage>& messages() const { return messages_; }

    // Runs the main block of the last successful compilation with fresh global variables.
    RunOutcome run();

    // Ends the running script at its next loop turn or call, with a runtime error.
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    // Called on the running thread every few thousand steps, so the host can handle its events.
    void setPollHook(std::function<void()> hook) { poll_ = std::move(hook); }

    // The value a global variable of the script held when the last run ended.
    std::optional<Value> global(const std::string& name) const;

    static constexpr int kMaxCallDepth = 400;
    static constexpr int kMaxNesting = 200;

private:
    std::shared_ptr<Program> program_;
    std::vector<ScriptMessage> messages_;
    std::vector<Value> globals_;
    std::atomic<bool> stop_{false};
    std::function<void()> poll_;
};

}  // namespace velinor::script
