#pragma once
// A file list, its cache, an engine and scripted answers on an event loop standing for the UI
// thread, over real DV AVI files written by our writer from encoder frames.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/command.h"
#include "filelist/fichier_list.h"
#include "filelist/list_model.h"
#include "media/datecode.h"
#include "media/dvcodes.h"
#include "platform/event_loop_dispatcher.h"

namespace velinor::test {

class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct DvAviRecipe {
    bool type1 = false;
    int frames = 3;
    std::optional<DatecodeFields> date = DatecodeFields{2005, 8, 12, 14, 5, 6};
    std::optional<Timecode> timecode = Timecode{0, 1, 2, 3};
};
void MakeDvAvi(const std::string& path, const DvAviRecipe& recipe = {});
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);

// Answers questions from a script, recording each question and its button count.
struct ScriptedConfirmer final : TConfirmer {
    std::deque<TAnswer> answers;
    TAnswer fallback = TAnswer::Non;
    std::vector<std::string> questions;
    std::vector<bool> several;
    TAnswer Ask(const std::string& question, bool severalButtons) override {
        questions.push_back(question);
        several.push_back(severalButtons);
        if (answers.empty()) return fallback;
        const TAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

struct Bench {
    Bench();
    ~Bench();
    // Opens the paths into the list and waits for the open worker.
    void Open(const std::vector<std::string>& paths);
    void SelectAll() { list.SelectAllFichiers(true); }
    // Starts the command and runs the UI loop until it ends; false when it did not start.
    bool Run(tAbstractCmd& command, const CmdParams& params = {});
    std::vector<std::string> ListedPaths() const;
    TAbstractListFichier* Record(const std::string& path) const;

    EventLoopDispatcher ui;
    TFichierList cache;
    TFichierListModel list;
    ScriptedConfirmer confirmer;
    TCommandEngine engine;
    std::vector<std::string>
        events;  // "start", "file:NAME:PASS", "end:NAME:PASS", "msg:..", "err:..", "stop"
};

}  // namespace velinor::test
