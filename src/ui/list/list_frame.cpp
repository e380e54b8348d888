#include "ui/list/list_frame.h"

#include <QLabel>
#include <QVBoxLayout>

#include "commands/window_texts.h"
#include "filelist/list_model.h"
#include "ui/kit/context_menu.h"
#include "ui/kit/qt_text.h"
#include "ui/list/list_box.h"

namespace velinor {

TListeFrame::TListeFrame(TFichierListModel& list, QWidget* parent)
    : QWidget(parent), list_(list), lf_(new TFichierListbox2(list, this)), labSelect_(new QLabel(this)) {
    setObjectName("Lframe");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lf_, 1);
    labSelect_->setObjectName("labSelect");
    layout->addWidget(labSelect_);
}

void TListeFrame::Sync() {
    lf_->Sync();
    labSelect_->setText(Q(SelectionCountText(list_.SelectedCount(), list_.Count(), list_.SortIndex())));
}

void TListeFrame::SetContextMenu(QMenu& menu) {
    AttachContextMenu(*lf_, menu);
    AttachContextMenu(*labSelect_, menu);
}

}  // namespace velinor
