#include "ui/titles/titles_editor_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "commands/scene_editor.h"
#include "ui/kit/qt_text.h"

namespace velinor {

TEditerTitresForm::TEditerTitresForm(TSceneEditor& editor, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), editor_(editor) {
    setObjectName("EditerTitresForm");
    setWindowTitle(Q("Editer le titre d'une scène"));
    setFont(QFont("Arial"));
    auto* column = new QVBoxLayout(this);

    auto* bar = new QHBoxLayout;
    struct ButtonRow {
        const char* name;
        const char* caption;
        std::function<void()> click;
    };
    const ButtonRow buttons[] = {
        {"ViderBtn5", "Vider", [this] { editor_.Titles.Vider(), Sync(); }},
        {"StudiooBtn", "Studio", [this] { editor_.Titles.Studio(), Sync(); }},
        {"tbCancel", "Annuler",
         [this] {
             editor_.Titles.Annuler();
             if (OnCloseRequest) OnCloseRequest();
         }},
        {"tbAppliquerTous", "Tous",
         [this] {
             editor_.ApplyTitles(TitlesEditor::kEveryScene);
             showExample();
             if (OnApplied) OnApplied();
         }},
        {"tbAppliquer", "Appliquer",
         [this] {
             editor_.ApplyTitles(TitlesEditor::kShownScene);
             showExample();
             if (OnApplied) OnApplied();
         }},
    };
    for (const ButtonRow& row : buttons) {
        auto* button = new QToolButton(this);
        button->setObjectName(row.name);
        button->setText(Q(row.caption));
        connect(button, &QToolButton::clicked, this, row.click);
        bar->addWidget(button);
    }
    bar->addStretch(1);
    column->addLayout(bar);

    auto* help = new QLabel(Q(kHelp), this);
    help->setObjectName("Label5");
    column->addWidget(help);
    labTitres_ = new QLabel(Q("Ligne1\r\nLigne2"), this);
    labTitres_->setObjectName("LabTitres");
    labTitres_->setTextFormat(Qt::PlainText);
    column->addWidget(labTitres_);
    auto* models = new QLabel(Q("modèles de titre / sous-titre"), this);
    models->setObjectName("Label6");
    column->addWidget(models);
    edTitre_ = new QLineEdit(this);
    edTitre_->setObjectName("edTitre");
    edSoustitre_ = new QLineEdit(this);
    edSoustitre_->setObjectName("edSoustitre");
    for (QLineEdit* edit : {edTitre_, edSoustitre_}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { templatesEdited(); });
        column->addWidget(edit);
    }
    auto* ctrl = new QLabel(Q(kCtrlHint), this);
    ctrl->setObjectName("Label1");
    ctrl->setWordWrap(true);
    column->addWidget(ctrl);
}

QToolButton& TEditerTitresForm::Button(const char* name) const {
    auto* button = findChild<QToolButton*>(name);
    if (!button) throw std::out_of_range(std::string("pas de bouton ") + name);
    return *button;
}

void TEditerTitresForm::ShowEditor() {
    editor_.OpenTitles();
    Sync();
    show();
    raise();
}

void TEditerTitresForm::Sync() {
    syncing_ = true;
    edTitre_->setText(Q(editor_.Titles.Titre));
    edSoustitre_->setText(Q(editor_.Titles.SousTitre));
    syncing_ = false;
    showExample();
}

void TEditerTitresForm::templatesEdited() {
    if (syncing_) return;
    editor_.Titles.Titre = edTitre_->text().toStdString();
    editor_.Titles.SousTitre = edSoustitre_->text().toStdString();
    showExample();
}

void TEditerTitresForm::showExample() {
    labTitres_->setText(Q(editor_.TitlesPreview()));
}

void TEditerTitresForm::closeEvent(QCloseEvent* event) {
    // The window stays: closing it is hiding it, through the window's action.
    event->ignore();
    if (OnCloseRequest) OnCloseRequest();
}

}  // namespace velinor
