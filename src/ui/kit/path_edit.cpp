#include "ui/kit/path_edit.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace velinor {

TPathEdit::TPathEdit(Kind kind, QWidget* parent)
    : QWidget(parent), kind_(kind), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(edit_, 1);
    browse_->setText("...");
    browse_->setToolTip(kind == Kind::Folder ? "Choisir un dossier" : "Choisir un fichier");
    row->addWidget(browse_);
    connect(browse_, &QToolButton::clicked, this, [this] { browse(); });
    connect(edit_, &QLineEdit::editingFinished, this, [this] {
        if (edit_->isModified()) {
            edit_->setModified(false);
            emit pathChosen(edit_->text());
        }
    });
}

QString TPathEdit::Path() const {
    return edit_->text();
}

void TPathEdit::SetPath(const QString& path) {
    if (edit_->text() != path) edit_->setText(path);
    edit_->setModified(false);
}

void TPathEdit::browse() {
    QString chosen;
    if (Choose)
        chosen = Choose(Path());
    else if (kind_ == Kind::Folder)
        chosen = QFileDialog::getExistingDirectory(this, Title, Path());
    else
        chosen = QFileDialog::getOpenFileName(this, Title, Path(), Filter);
    if (chosen.isEmpty()) return;
    SetPath(chosen);
    emit pathChosen(chosen);
}

}  // namespace velinor
