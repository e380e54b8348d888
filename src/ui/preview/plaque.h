#pragma once
// The full-screen backdrop `Tplaque`: a borderless black window over the whole screen, behind the
// video window in full screen. Closing only hides it; every key pressed or released on it goes to
// the file list, so the arrow keys move to the previous or next file. UI thread only.
#include <QPointer>
#include <QWidget>

namespace velinor {

class Tplaque final : public QWidget {
public:
    // `keysTo` receives the keys (the file list); may be null.
    explicit Tplaque(QWidget* keysTo = nullptr);
    void SetKeysTo(QWidget* keysTo) { keysTo_ = keysTo; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void forward(QKeyEvent* event);
    QPointer<QWidget> keysTo_;
};

}  // namespace velinor
