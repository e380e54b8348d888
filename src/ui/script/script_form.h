#pragma once
// The script window `TScriptForm`: a Pascal code editor, the message box below it, a tool bar
// and a two-panel status bar, over the document manager `ficman_script` and the window's own
// actions (run, macro start and stop, its rectangle). GUI thread only.
#include <QSyntaxHighlighter>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "actions/script/mv_script.h"
#include "commands/app_manager.h"
#include "ui/binding/action_binding.h"

class QLabel;
class QPlainTextEdit;
class QTimer;
class QToolBar;

namespace velinor {

// Pascal keywords, comments, strings and numbers.
class TPascalHighlighter : public QSyntaxHighlighter {
public:
    explicit TPascalHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;
};

class TScriptForm : public QWidget {
public:
    // `lists` are the actions scripts may call, besides the window's own.
    TScriptForm(std::vector<TMvActionList*> lists, QWidget* parent = nullptr);
    ~TScriptForm() override;

    TScriptFichierMan& Files() { return *files_; }
    TScriptFormActions& FormActions() { return *form_; }
    TMvScript& Script() { return script_; }
    QPlainTextEdit& Editor() { return *editor_; }
    QPlainTextEdit& MessageBox() { return *messages_; }
    QLabel& FilePanel() { return *filePanel_; }
    QLabel& StatePanel() { return *statePanel_; }
    ActionBinder& Binder() { return binder_; }
    QToolBar& ToolBar() { return *toolBar_; }

    // The window's lists stored with the preferences, under their own key.
    void LoadPreferences(TMorvanePreferences& prefs);
    void SavePreferences(TMorvanePreferences& prefs);

    // Told when the close box hides the window.
    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showStatus();
    void showRecording(bool on);

    TMvScript script_;
    std::unique_ptr<TScriptFichierMan> files_;
    std::unique_ptr<TScriptFormActions> form_;
    std::vector<TMvActionList*> lists_;
    ActionBinder binder_;
    QPlainTextEdit* editor_ = nullptr;
    QPlainTextEdit* messages_ = nullptr;
    QLabel* filePanel_ = nullptr;
    QLabel* statePanel_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QTimer* macroTimer_ = nullptr;
    size_t shownMacroLines_ = 0;
};

}  // namespace velinor
