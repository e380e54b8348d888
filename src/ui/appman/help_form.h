#pragma once
// The help window `THelpForm` "Aide pour Raccourcis, Script et Macros": one tab per group of
// actions, each a sorted list; the details of the selected action below; a context menu with
// the three orders; a double-click runs the action. GUI thread only.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "actions/actions_list.h"
#include "commands/app_manager.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QTabWidget;

namespace velinor {

class THelpForm : public QWidget {
public:
    explicit THelpForm(QWidget* parent = nullptr);

    // Adds the actions of `list` to the tab named `group`, made when there is none yet.
    void AddHelpPage(const std::string& group, const TCustomMvActionList& list);
    // Sorts every list of the window.
    void SortBy(HelpOrder order);
    HelpOrder Order() const { return order_; }

    QTabWidget& Tabs() { return *tabs_; }
    QListWidget* List(int tab) const;
    // The action of a list's item.
    TCustomAbstractAction* ActionOf(const QListWidgetItem* item) const;
    // Shows the details of this action.
    void ShowDetails(const TCustomAbstractAction& action);

    QLabel& TitleLabel() { return *title_; }
    QLabel& HintLabel() { return *hint_; }
    QPlainTextEdit& SyntaxBox() { return *syntax_; }
    QLabel& SwitchLabel() { return *switch_; }
    QLabel& CommentsLabel() { return *comments_; }

    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fill(QListWidget& list);

    QTabWidget* tabs_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* hint_ = nullptr;
    QPlainTextEdit* syntax_ = nullptr;
    QLabel* switch_ = nullptr;
    QLabel* comments_ = nullptr;
    HelpOrder order_ = HelpOrder::Alpha;
    std::vector<std::pair<QListWidget*, std::vector<TCustomAbstractAction*>>> lists_;
};

}  // namespace velinor
