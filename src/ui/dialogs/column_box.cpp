#include "ui/dialogs/column_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/kit/qt_text.h"

namespace velinor {

std::optional<std::vector<std::string>> ColumnBox(QWidget* parent, const std::vector<std::string>& available,
                                                  const std::vector<std::string>& selected) {
    QDialog box(parent);
    box.setWindowTitle("Sélectionner les colonnes");
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel("Colonnes exportées, dans l'ordre (glisser pour le changer) :"));
    auto* list = new QListWidget;
    list->setDragDropMode(QAbstractItemView::InternalMove);
    const auto add = [list](const std::string& id, bool on) {
        auto* item = new QListWidgetItem(Q(id), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    };
    for (const std::string& id : selected)
        if (std::find(available.begin(), available.end(), id) != available.end()) add(id, true);
    for (const std::string& id : available)
        if (std::find(selected.begin(), selected.end(), id) == selected.end()) add(id, false);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> chosen;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) chosen.push_back(list->item(i)->text().toStdString());
    return chosen;
}

}  // namespace velinor
