#include "ui/introduire/introduire_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace velinor {

namespace {
QGroupBox* DebutGroup(QWidget* parent) {
    auto* group = new QGroupBox("Date du début", parent);
    group->setObjectName("gbFin");
    group->setToolTip("Date et heure du début de la vidéo");
    return group;
}
}  // namespace

TIntroduireForm::TIntroduireForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      gbFin(DebutGroup(this)),
      Debut(gbFin, *new QGridLayout(gbFin)),
      bbOK(new QPushButton("OK", this)),
      bbCancel(new QPushButton("Annuler", this)) {
    setWindowTitle("Introduire un datecode");
    setFont(DialogArialFont());
    bbOK->setObjectName("bbOK");
    bbOK->setDefault(true);
    bbOK->setToolTip("Lancer la conversion pour le nouveau datecode");
    bbCancel->setObjectName("bbCancel");
    bbCancel->setToolTip("Fermer cette fenêtre sans lancer la conversion");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gbFin);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbOK);
    buttons->addWidget(bbCancel);
    layout->addLayout(buttons);

    Debut.OnChanged(this, [this] { value_ = JoinDateTime(Debut.Read()); });
    connect(bbOK, &QPushButton::clicked, this, [this] {
        accepted_ = true;
        accept();
    });
    connect(bbCancel, &QPushButton::clicked, this, [this] { reject(); });
    setFixedSize(sizeHint());
}

bool TIntroduireForm::Ask(double value) {
    accepted_ = false;
    const TDateTimeInputs in = SplitDateTime(value);
    Debut.Write(in);
    value_ = JoinDateTime(in);
    exec();
    return accepted_;
}

}  // namespace velinor
