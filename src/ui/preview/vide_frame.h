#pragma once
// The empty-list page (`VidePanel` holding `VideFrame`): what to do when the list has no file,
// kept centred in the panel, with the window's right-click menu. GUI thread only.
#include <QWidget>

class QLabel;
class QMenu;

namespace velinor {

class TVideFrame final : public QWidget {
public:
    explicit TVideFrame(QWidget* parent = nullptr);
    void SetContextMenu(QMenu& menu);
    QLabel& Text() { return *text_; }

private:
    QLabel* text_;
};

}  // namespace velinor
