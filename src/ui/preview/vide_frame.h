#pragma once
// The empty-list page `TVideFrame`: what to do to open files, above a drawing of files dropped on
// the window, 301 x 467, kept centred in its panel `VidePanel`, with the window's right-click
// menu. UI thread only.
#include <QFrame>
#include <QPixmap>

class QLabel;
class QMenu;
class QTextBrowser;

namespace velinor {

// The page's rich text, with ".avi" as the accepted extension.
QString VideFrameText();
// The page's illustration, drawn here.
QPixmap VideFrameIllustration(int width, int height);

class TVideFrame final : public QFrame {
public:
    explicit TVideFrame(QWidget* parent = nullptr);
    QTextBrowser& LinkEdit1() const { return *linkEdit1_; }
    QLabel& Image1() const { return *image1_; }
    // The text box shows no caret and takes no input (each activation of the window).
    void HideCaret();

private:
    QTextBrowser* linkEdit1_;
    QLabel* image1_;
};

// The panel `VidePanel` that keeps the page centred.
class TVidePanel final : public QWidget {
public:
    explicit TVidePanel(QWidget* parent = nullptr);
    TVideFrame& VideFrame() const { return *frame_; }
    // A right click anywhere on the page pops up the window's menu.
    void SetContextMenu(QMenu& menu);
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TVideFrame* frame_;
};

}  // namespace velinor
