#include "ui/kit/dual_list_frame.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace velinor {

namespace {

using Side = TDualListModel::Side;

QListWidget* List(QWidget* parent, const char* name, const char* hint) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setToolTip(QString::fromUtf8(hint));
    return list;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(name);
    button->setToolTip(QString::fromUtf8(hint));
    return button;
}

QToolButton* Arrow(QWidget* parent, const char* name, Qt::ArrowType arrow, const char* hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setToolTip(QString::fromUtf8(hint));
    return button;
}

void Fill(QListWidget& widget, const TDualListModel::List& list) {
    const QSignalBlocker block(&widget);
    widget.clear();
    for (size_t i = 0; i < list.Items.size(); ++i) {
        widget.addItem(QString::fromStdString(list.Items[i].Text));
        widget.item(int(i))->setSelected(list.Selected[i]);
    }
    if (list.ItemIndex >= 0) widget.setCurrentRow(list.ItemIndex, QItemSelectionModel::NoUpdate);
}

}  // namespace

TDualListFrame::TDualListFrame(QWidget* parent)
    : QFrame(parent),
      SrcList(List(this, "SrcList", "Liste des éléments disponibles pour l'exportation")),
      DstList(List(this, "DstList", "Liste des éléments actuellement sélectionnés pour l'exportation.")),
      SrcLabel(new QLabel("Source List:", this)),
      DstLabel(new QLabel("Destination List:", this)),
      ExempleLabel(new QLabel("Exemple:", this)),
      IncludeBtn(Button(this, "IncludeBtn", ">",
                        "Déplacer les éléments sélectionnés à gauche \nvers la liste de droite")),
      IncAllBtn(Button(this, "IncAllBtn", ">>",
                       "Déplacer tous les éléments de la liste de gauche\nvers la liste de droite")),
      ExcludeBtn(Button(this, "ExcludeBtn", "<",
                        "Retirer les éléments sélectionnés de la liste à droite.\nIls seront restaurés dans "
                        "la liste de gauche.")),
      ExAllBtn(Button(this, "ExAllBtn", "<<",
                      "Vider la liste de droite de tous ses éléments.\nIls seront replacés à gauche.")),
      UpBtn(Arrow(this, "UpBtn", Qt::UpArrow,
                  "Dans la liste de droite, déplacer le 1er élément sélectionné vers le haut.")),
      DownBtn(Arrow(this, "DownBtn", Qt::DownArrow,
                    "Dans la liste de droite, faire descendre le 1er élément sélectionné vers le bas.")),
      OKBtn(Button(this, "OKBtn", "Ok",
                   "Appliquer les changements effectués dans la liste des éléments sélectionnés\npour "
                   "l'exportation.")),
      CancelBtn(Button(this, "CancelBtn", "Annuler",
                       "Abandonner les changements.\nLes listes seront restaurées à leur composition "
                       "précédente.")),
      EditBtn(Button(this, "EditBtn", "Edit",
                     "Cliquez pour autoriser la modification de la liste des éléments sélectionnés \npour "
                     "l'exportation.\nLa liste de gauche comprend les éléments disponibles, \nla liste de "
                     "doirte les élements actuellement sélectionnés. ")),
      memoDual(new QPlainTextEdit(this)) {
    SrcLabel->setObjectName("SrcLabel");
    DstLabel->setObjectName("DstLabel");
    OKBtn->hide();
    CancelBtn->hide();
    memoDual->setObjectName("memoDual");
    memoDual->setReadOnly(true);
    QFont italic = memoDual->font();
    italic.setItalic(true);
    memoDual->setFont(italic);
    memoDual->setPlainText("Cliquer sur \"Edit\" pour modifier \nla sélection des colonnes à exporter.");
    memoDual->setMaximumHeight(48);

    auto* grid = new QGridLayout(this);
    grid->addWidget(SrcLabel, 0, 0);
    grid->addWidget(DstLabel, 0, 2);
    grid->addWidget(SrcList, 1, 0);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton* b : {IncludeBtn, IncAllBtn, ExcludeBtn, ExAllBtn}) moves->addWidget(b);
    moves->addStretch();
    grid->addLayout(moves, 1, 1);
    grid->addWidget(DstList, 1, 2);
    auto* order = new QVBoxLayout;
    order->addStretch();
    order->addWidget(UpBtn);
    order->addWidget(DownBtn);
    order->addStretch();
    grid->addLayout(order, 1, 3);
    grid->addWidget(ExempleLabel, 2, 0);
    grid->addWidget(memoDual, 2, 1, 1, 2);
    auto* edit = new QVBoxLayout;
    for (QPushButton* b : {EditBtn, OKBtn, CancelBtn}) edit->addWidget(b);
    grid->addLayout(edit, 2, 3);

    connect(IncludeBtn, &QPushButton::clicked, this, [this] { run([](TDualListModel& m) { m.Include(); }); });
    connect(IncAllBtn, &QPushButton::clicked, this,
            [this] { run([](TDualListModel& m) { m.IncludeAll(); }); });
    connect(ExcludeBtn, &QPushButton::clicked, this, [this] { run([](TDualListModel& m) { m.Exclude(); }); });
    connect(ExAllBtn, &QPushButton::clicked, this,
            [this] { run([](TDualListModel& m) { m.ExcludeAll(); }); });
    connect(UpBtn, &QToolButton::clicked, this, [this] { run([](TDualListModel& m) { m.Up(); }); });
    connect(DownBtn, &QToolButton::clicked, this, [this] { run([](TDualListModel& m) { m.Down(); }); });
    connect(SrcList, &QListWidget::itemSelectionChanged, this, [this] { enableButtons(); });
    connect(DstList, &QListWidget::itemSelectionChanged, this, [this] { enableButtons(); });
    refresh();
}

void TDualListFrame::SetItems(std::vector<TDualItem> available, std::vector<TDualItem> chosen) {
    model_.SetItems(std::move(available), std::move(chosen));
    refresh();
}

template <class Move>
void TDualListFrame::run(Move move) {
    readSelection();
    move(model_);
    refresh();
    (model_.Focus == Side::Src ? SrcList : DstList)->setFocus();
    if (OnMoved) OnMoved();
}

void TDualListFrame::SetEditing(bool editing) {
    editing_ = editing;
    enableButtons();
}

void TDualListFrame::readSelection() {
    for (auto [widget, side] : {std::pair{SrcList, Side::Src}, std::pair{DstList, Side::Dst}})
        for (int i = 0; i < widget->count(); ++i) model_.Select(side, i, widget->item(i)->isSelected());
}

void TDualListFrame::refresh() {
    Fill(*SrcList, model_.Src);
    Fill(*DstList, model_.Dst);
    enableButtons();
}

void TDualListFrame::enableButtons() {
    const auto firstSelected = [](const QListWidget& list) {
        for (int i = 0; i < list.count(); ++i)
            if (list.item(i)->isSelected()) return i;
        return -1;
    };
    const int src = firstSelected(*SrcList), dst = firstSelected(*DstList);
    IncludeBtn->setEnabled(editing_ && src >= 0);
    IncAllBtn->setEnabled(editing_ && SrcList->count() > 0);
    ExcludeBtn->setEnabled(editing_ && dst >= 0);
    ExAllBtn->setEnabled(editing_ && DstList->count() > 0);
    UpBtn->setEnabled(editing_ && dst > 0);
    DownBtn->setEnabled(editing_ && dst >= 0 && dst < DstList->count() - 1);
}

}  // namespace velinor
