#include "ui/decalage/decalage_form.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/binding/control_binding.h"

namespace velinor {

namespace {
QGroupBox* FinGroup(QWidget* parent) {
    auto* group = new QGroupBox("Nouvelle date", parent);
    group->setObjectName("gbFin");
    group->setToolTip("Date et heure de fin d'enregistrement");
    return group;
}
}  // namespace

TDecalageForm::TDecalageForm(TCheckAction& advanced, double& confirmed, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      LabResultat(new QLabel(this)),
      Panel1(new QFrame(this)),
      rxHeureSolo(new QSpinBox(Panel1)),
      gbFin(FinGroup(this)),
      Fin(gbFin, *new QGridLayout(gbFin)),
      cbAvance(new QCheckBox("Avancé", this)),
      bbZero(new QPushButton("Mettre à 0", this)),
      bbOK(new QPushButton("OK", this)),
      bbCancel(new QPushButton("Annuler", this)),
      confirmed_(confirmed) {
    setWindowTitle("Corriger un décalage horaire");
    setFont(DialogArialFont());

    LabResultat->setObjectName("LabResultat");
    LabResultat->setToolTip("Différence entre l'instant corrigé et celui d'origine");
    LabResultat->setStyleSheet("color: #800000; font-weight: bold;");
    LabResultat->setAlignment(Qt::AlignCenter);

    Panel1->setObjectName("Panel1");
    rxHeureSolo->setObjectName("rxHeureSolo");
    rxHeureSolo->setRange(-23, 23);
    auto* solo = new QHBoxLayout(Panel1);
    solo->addWidget(rxHeureSolo);
    solo->addWidget(new QLabel("heures", Panel1));
    solo->addStretch();

    cbAvance->setObjectName("cbAvance");
    bbZero->setObjectName("bbZero");
    bbOK->setObjectName("bbOK");
    bbOK->setDefault(true);
    bbOK->setToolTip("Appliquer les modifications et fermer cette fenêtre");
    bbCancel->setObjectName("bbCancel");
    bbCancel->setToolTip("Fermer cette fenêtre sans modifications");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabResultat);
    layout->addWidget(Panel1);
    layout->addWidget(gbFin);
    auto* row = new QHBoxLayout;
    row->addWidget(cbAvance);
    row->addStretch();
    row->addWidget(bbZero);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbOK);
    buttons->addWidget(bbCancel);
    layout->addLayout(buttons);

    model_.OnRefilled = [this] { showInputs(); };
    model_.OnDisplayShift = [this](double days) {
        if (SetDisplayShift) SetDisplayShift(days);
    };

    // The mode is the action's: the box sets it, and a script or the preferences show in it.
    connect(cbAvance, &QCheckBox::toggled, this, [this](bool on) { showMode(on); });
    BindControl(*cbAvance, advanced);
    showMode(advanced.Checked());

    connect(rxHeureSolo, &QSpinBox::valueChanged, this, [this](int) { inputChanged(); });
    Fin.OnChanged(this, [this] { inputChanged(); });
    connect(bbZero, &QPushButton::clicked, this, [this] { model_.Zero(); });
    connect(bbOK, &QPushButton::clicked, this, [this] {
        model_.Ok(confirmed_);
        closing_ = true;
        accept();
        closing_ = false;
    });
    connect(bbCancel, &QPushButton::clicked, this, [this] { reject(); });
}

bool TDecalageForm::Ask(double start, double target) {
    model_.Accepted = false;
    displayBefore_ = DisplayShift ? DisplayShift() : 0;
    model_.Show(start, target);
    exec();
    return model_.Accepted;
}

void TDecalageForm::reject() {
    if (!closing_) model_.Cancel(confirmed_, displayBefore_);
    QDialog::reject();
}

void TDecalageForm::inputChanged() {
    if (model_.Refilling()) return;
    model_.HeureSolo = rxHeureSolo->value();
    model_.Fin = Fin.Read();
    model_.InputChanged();
}

void TDecalageForm::showMode(bool advanced) {
    model_.Advanced = advanced;
    Panel1->setVisible(!advanced);
    gbFin->setVisible(advanced);
    adjustSize();
}

void TDecalageForm::showInputs() {
    const QSignalBlocker block(rxHeureSolo);
    rxHeureSolo->setValue(model_.HeureSolo);
    Fin.Write(model_.Fin);
    LabResultat->setText(QString::fromStdString(model_.Resultat));
}

}  // namespace velinor
