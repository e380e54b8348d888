#pragma once
// The preview's place in the window (`VueFrame`): a black frame with the preview's right-click
// menu `pmWindow`. The video widget, the sound and the overlay editing come into this class.
// GUI thread only.
#include <QFrame>

class QMenu;

namespace velinor {

class TVueFrame final : public QFrame {
public:
    explicit TVueFrame(QWidget* parent = nullptr);
    void SetContextMenu(QMenu& menu);
};

}  // namespace velinor
