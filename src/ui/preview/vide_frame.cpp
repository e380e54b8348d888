#include "ui/preview/vide_frame.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/kit/context_menu.h"

namespace velinor {

TVideFrame::TVideFrame(QWidget* parent) : QWidget(parent), text_(new QLabel(this)) {
    setObjectName("VidePanel");
    auto* layout = new QVBoxLayout(this);
    text_->setObjectName("VideFrame");
    text_->setText(
        "Aucun fichier dans la liste.\n\nDéposez ici des fichiers ou des dossiers de vidéos DV,\n"
        "ou ouvrez-les par le menu Fichiers.");
    text_->setAlignment(Qt::AlignCenter);
    layout->addWidget(text_, 1);
}

void TVideFrame::SetContextMenu(QMenu& menu) {
    AttachContextMenu(*this, menu);
    AttachContextMenu(*text_, menu);
}

}  // namespace velinor
