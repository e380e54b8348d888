#pragma once
// What the widget tests share: the offscreen application, small DV AVI clips written in code, a
// bounded wait that keeps the event loop running, and a responder that answers modal boxes.
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "actions/preferences.h"
#include "commands/command_set.h"
#include "graph/dv_codec.h"
#include "media/dvcodes.h"
#include "support/dv_clip_file.h"

namespace velinor::test {

// Creates the application on Qt's offscreen platform, once per test program.
void EnsureApplication();

// A command set as the program makes it, on `ui`, pumping the event loop while it waits.
std::unique_ptr<TCommandSet> MakeCommandSet(UiDispatcher& ui);
// Where a test window keeps its preferences: below `dir`.
PreferencesPaths ScratchPreferences(const std::filesystem::path& dir);

// Runs the event loop until `done` answers true; false when it did not within a minute.
bool WaitFor(const std::function<bool()>& done);

// Answers the modal windows as they appear, in order: each step gets the active modal widget
// and answers whether it handled it. Polls the event loop, so nothing sleeps.
class ModalResponder {
public:
    using Step = std::function<bool(QWidget* modal)>;
    ModalResponder();
    void Then(Step step) { steps_.push_back(std::move(step)); }
    bool Done() const { return steps_.empty(); }

    // A step that clicks the button of a message box whose text is `caption`, keeping the box's
    // text in `seen` when given.
    static Step Click(const QString& caption, std::string* seen = nullptr);

private:
    QTimer timer_;
    std::deque<Step> steps_;
};

}  // namespace velinor::test
