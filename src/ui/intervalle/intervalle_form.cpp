#include "ui/intervalle/intervalle_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands/valued_dialogs.h"
#include "ui/kit/date_inputs.h"

namespace velinor {

TIntervalleForm::TIntervalleForm(QWidget* parent)
    : QDialog(parent),
      Label1(new QLabel(
          "Pour créer un fichier scn en découpant la vidéo \nen intervalles réguliers, précisez la "
          "durée en secondes:",
          this)),
      Edit1(new QLineEdit(this)),
      BitBtn1(new QPushButton("Appliquer", this)),
      BitBtn2(new QPushButton("Annuler", this)) {
    setWindowTitle("Découper en scènes");
    setFont(DialogArialFont());
    Edit1->setObjectName("Edit1");
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2->setObjectName("BitBtn2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        const TIntervalleAnswer answer = ReadIntervalle(Edit1->text().toStdString());
        value_ = answer.Value;
        accepted_ = answer.Accepted;
        // Not a positive number: the window closes, and nothing runs.
        accepted_ ? accept() : reject();
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        accepted_ = false;
        reject();
    });
    setFixedSize(sizeHint());
}

bool TIntervalleForm::Ask(const std::string& text) {
    accepted_ = false;
    Edit1->setText(QString::fromStdString(text));
    exec();
    return accepted_;
}

}  // namespace velinor
