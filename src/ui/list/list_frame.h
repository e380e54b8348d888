#pragma once
// The list side of the window (`Lframe`): the file list `lf` and the count label `labSelect`
// under it, which always show the list model as it is. GUI thread only.
#include <QWidget>

class QLabel;
class QMenu;

namespace velinor {

class TFichierListModel;
class TFichierListbox2;

class TListeFrame final : public QWidget {
public:
    explicit TListeFrame(TFichierListModel& list, QWidget* parent = nullptr);

    // Shows the model's rows, selection, current item and counts again. Needed after anything
    // that changes the selection without announcing it (a command takes its files that way).
    void Sync();
    // The list's right-click menu.
    void SetContextMenu(QMenu& menu);

    TFichierListbox2& ListBox() { return *lf_; }
    QLabel& SelectLabel() { return *labSelect_; }

private:
    TFichierListModel& list_;
    TFichierListbox2* lf_;
    QLabel* labSelect_;
};

}  // namespace velinor
