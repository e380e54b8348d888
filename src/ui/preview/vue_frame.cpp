#include "ui/preview/vue_frame.h"

#include "ui/kit/context_menu.h"

namespace velinor {

TVueFrame::TVueFrame(QWidget* parent) : QFrame(parent) {
    setObjectName("VueFrame");
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet("#VueFrame { background: black; }");
}

void TVueFrame::SetContextMenu(QMenu& menu) {
    AttachContextMenu(*this, menu);
}

}  // namespace velinor
