#pragma once
// The macro recorder: while a macro is being recorded, every typed action that is set or run
// appends the script line that repeats it. UI thread only; the busy flag is a re-entrancy guard,
// not a lock.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velinor {

class MacroRecorder {
public:
    // Starts recording into `lines` (kept by the caller), or stops with nullptr.
    static void setLines(std::vector<std::string>* lines);
    static std::vector<std::string>* lines();
    static bool busy();
    static void setBusy(bool busy);

    // Held by a setter while it applies its value. When recording and not busy it appends `line`
    // (unless empty or `addLine` is false) and sets the busy flag until it is destroyed, so the
    // actions that the handlers of a recorded action set are not recorded themselves.
    class Scope {
    public:
        explicit Scope(std::string_view line, bool addLine = true);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        bool owner_ = false;
    };
};

// The recorded lines, four spaces of indentation, one per kind of action. Texts are written as
// script literals: apostrophes doubled and control characters as #nn, so every line compiles.
std::string macroTextLiteral(std::string_view text);
std::string macroLineNope(std::string_view scriptName);  // empty when the script name is
std::string macroLineString(std::string_view scriptName, std::string_view value);
std::string macroLineInteger(std::string_view scriptName, int32_t value);
std::string macroLineDouble(std::string_view scriptName, double value);
std::string macroLineBoolean(std::string_view scriptName, bool value);
std::string macroLineCheck(std::string_view scriptName, bool checked);
std::string macroLineStrings(std::string_view scriptName, const std::vector<std::string>& items);
std::string macroLineFont(std::string_view scriptName, std::string_view name, int32_t size, int32_t color, bool bold,
                          bool italic, bool underline, bool strikeOut);
std::string macroLineRect(std::string_view scriptName, int32_t left, int32_t top, int32_t right, int32_t bottom);

}  // namespace velinor
