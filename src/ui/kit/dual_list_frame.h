#pragma once
// The dual list frame: the available items on the left (sorted), the chosen ones on the right
// (in order), with the buttons that move them. The options page uses it for the export columns
// and owns the state of its OK, Annuler and Edit buttons and of its note. GUI thread only.
#include <QFrame>
#include <functional>
#include <string>
#include <vector>

#include "commands/valued_dialogs.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace velinor {

class TDualListFrame final : public QFrame {
public:
    explicit TDualListFrame(QWidget* parent = nullptr);

    void SetItems(std::vector<TDualItem> available, std::vector<TDualItem> chosen);
    const TDualListModel& Model() const { return model_; }
    std::vector<std::string> Chosen() const { return model_.Texts(TDualListModel::Side::Dst); }
    std::vector<std::string> Available() const { return model_.Texts(TDualListModel::Side::Src); }
    // Read-only (at start): the move buttons are disabled. Editing: each is enabled when it has
    // something to move (">" a selection on the left, ">>" a left item, "<" and "<<" the same on
    // the right, up and down a first selected item that can go that way).
    void SetEditing(bool editing);
    bool Editing() const { return editing_; }

    // Runs after every move between the lists or within the chosen one.
    std::function<void()> OnMoved;

    QListWidget* SrcList;
    QListWidget* DstList;
    QLabel* SrcLabel;
    QLabel* DstLabel;
    QLabel* ExempleLabel;
    QPushButton* IncludeBtn;
    QPushButton* IncAllBtn;
    QPushButton* ExcludeBtn;
    QPushButton* ExAllBtn;
    QToolButton* UpBtn;
    QToolButton* DownBtn;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* EditBtn;
    QPlainTextEdit* memoDual;

private:
    // Runs one move on the model with the lists' selections, then shows the result.
    template <class Move>
    void run(Move move);
    void readSelection();
    void refresh();
    void enableButtons();

    TDualListModel model_;
    bool editing_ = false;
};

}  // namespace velinor
