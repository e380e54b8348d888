#pragma once
// The status bar's one centred panel: in order of precedence the running command's message
// (money green), the list's open message (sky blue), the notice the last command left, or
// "Prêt" (button face). Every change is painted at once, without running the event loop, so no
// user action can slip in during a status update. GUI thread only.
#include <QLabel>
#include <string>

#include "commands/window_texts.h"

namespace velinor {

class TStatusLine final : public QLabel {
public:
    explicit TStatusLine(QWidget* parent = nullptr);

    void StartCommand();
    void SetCommandMessage(const std::string& text);
    // The command's message goes; a notice it left stays until the next command or opening.
    void EndCommand();
    void SetNotice(const std::string& text);
    void SetOpenMessage(const std::string& text);
    void ClearOpenMessage();
    // A state set from outside the precedence (the list exports' progress).
    void Show(StatusKind kind, const std::string& text);

    StatusKind Kind() const { return kind_; }
    bool ShowsCommand() const { return !command_.empty(); }

private:
    void refresh();

    std::string command_;
    std::string open_;
    std::string notice_;
    StatusKind kind_ = StatusKind::Ready;
};

}  // namespace velinor
