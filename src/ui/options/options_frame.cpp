#include "ui/options/options_frame.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

#include "actions/preferences_morvane.h"
#include "commands/command_set.h"
#include "commands/options_texts.h"
#include "commands/send_to.h"
#include "scenes/list_export.h"
#include "scenes/scene_export.h"
#include "ui/binding/control_binding.h"
#include "ui/kit/dual_list_frame.h"
#include "ui/kit/path_edit.h"
#include "ui/kit/qt_text.h"

namespace velinor {

namespace {

const char* const kDateItemsAfficher[] = {"tt", "ddddd", "dddddd", "ddddd t", "dddddd tt", "d mmm yyyy"};
const char* const kDateItems[] = {"ddddd", "tt", "dddddd", "ddddd tt", "dddddd tt", "d mmm yyyy"};

const char* const kRenommerHelp[] = {
    "Pour renommer des fichiers de façon personnalisée, définissez un modèle en utilisant les abréviations "
    "suivantes:",
    "      %F : pour le nom de fichier sans l'extension.",
    "      %N : pour numéroter les fichier.",
    "      %D : le datecode.",
    "      %T : le timecode.",
    "      %C : le codec.",
    "      %I : la définition de l'image.",
    "      %A: les caractéristiques de l'audio.",
    "      %U: la durée.",
};

const char* const kDualHelp[] = {
    "Utilisez les petits boutons pour",
    "",
    "> ajouter les colonnes surlignées de gauche à la sélection de droite",
    ">> ajouter toutes les colonnes de gauche à la sélection de droite",
    "< enlever les colonnes surlignées de la sélection de droite",
    "<< enlever toutes les colonnes de la sélection de droite",
};

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(name);
    return box;
}

QComboBox* DateCombo(QWidget* parent, const char* name, const char* const (&items)[6]) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    for (const char* item : items) combo->addItem(QString::fromUtf8(item));
    return combo;
}

QLabel* Example(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A radio group: a titled box of radio buttons whose ids are their positions.
QButtonGroup* Radios(QWidget* parent, QVBoxLayout* into, const char* name, const char* title,
                     std::initializer_list<const char*> items) {
    auto* box = new QGroupBox(QString::fromUtf8(title), parent);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    group->setObjectName(name);
    int id = 0;
    for (const char* item : items) {
        auto* radio = new QRadioButton(QString::fromUtf8(item), box);
        layout->addWidget(radio);
        group->addButton(radio, id++);
    }
    into->addWidget(box);
    return group;
}

template <class Edit>
Edit* PathEdit(QWidget* parent, const char* name, const char* title) {
    auto* edit = new Edit(parent);
    edit->setObjectName(name);
    edit->Title = QString::fromUtf8(title);
    return edit;
}

QLabel* Caption(QWidget* parent, const char* text) {
    return new QLabel(QString::fromUtf8(text), parent);
}

Datecode Now() {
    return DatecodeNow();
}

}  // namespace

template <class T>
T& TOptionsFrame::action(const char* name) const {
    auto* typed = dynamic_cast<T*>(set_.Action(name));
    if (!typed) throw std::logic_error(std::string("no setting ") + name);
    return *typed;
}

TOptionsFrame::TOptionsFrame(TCommandSet& set, TMorvanePreferences& prefs, QWidget* parent)
    : QFrame(parent), set_(set), prefs_(prefs), exampleValues_(std::size(kExportColumnIds)) {
    setObjectName("OptionsFrame");
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    auto* layout = new QVBoxLayout(this);
    Tabs = new QTabWidget(this);
    Tabs->setObjectName("PageControl");
    layout->addWidget(Tabs);
    QWidget* const pages[] = {buildPreferences(), buildFormats(), buildDossiers(), buildFichiers(),
                              buildDV(),          buildExport(),  buildExcel(),    buildRenommer()};
    static_assert(std::size(pages) == kOptionsTabs.size());
    for (size_t i = 0; i < kOptionsTabs.size(); ++i)
        Tabs->addTab(pages[i], QString::fromUtf8(kOptionsTabs[i]));
    bindSendTo();
    bindControls();
    bindStorageMode();
    bindColumns();
    RefreshExamples();
}

TOptionsFrame::~TOptionsFrame() {
    // The preferences outlive the page: they stop telling it their mode.
    prefs_.OnChangeMode = nullptr;
}

QWidget* TOptionsFrame::buildPreferences() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    cbSelection = Check(page, "cbSelection", "Sélectionner à l'ouverture");
    cbOpenLastFiles = Check(page, "cbOpenLastFiles", "Conserver la liste des vidéos avi");
    cbSendTo = Check(page, "cbSendTo", "Raccourci dans Envoyer Vers...");
    for (QCheckBox* box : {cbSelection, cbOpenLastFiles, cbSendTo}) v->addWidget(box);
    rgPrefs = Radios(page, v, "rgPrefs", "Comment sauver les préférences en quittant",
                     {"Mode normal (registre)", "Mode portable (clé USB)", "Ne pas enregistrer en quittant"});
    cbDeinterlace = Check(page, "cbDeinterlace", "Désentrelacer la vidéo");
    v->addWidget(cbDeinterlace);
    v->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildFormats() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(Caption(page, "Format pour afficher le datecode:"));
    cbAfficherDatecode = DateCombo(page, "cbAfficherDatecode", kDateItemsAfficher);
    v->addWidget(cbAfficherDatecode);
    LabAfficherDatecode = Example(page, "LabAfficherDatecode");
    v->addWidget(LabAfficherDatecode);
    v->addSpacing(8);
    v->addWidget(Caption(page, "Format pour ajouter le datecode:"));
    cbAjouterDatecode = DateCombo(page, "cbAjouterDatecode", kDateItems);
    v->addWidget(cbAjouterDatecode);
    cbDatecodeavant = Check(page, "cbDatecodeavant", "Datecode avant le nom");
    v->addWidget(cbDatecodeavant);
    LabAjouterDatecode = Example(page, "LabAjouterDatecode");
    v->addWidget(LabAjouterDatecode);
    v->addSpacing(8);
    v->addWidget(Caption(page, "Format pour ajouter le timecode:"));
    cbTimecodeavant = Check(page, "cbTimecodeavant", "Timecode avant le nom");
    v->addWidget(cbTimecodeavant);
    LabAjouterTimecode = Example(page, "LabAjouterTimecode");
    v->addWidget(LabAjouterTimecode);
    v->addSpacing(8);
    formatdefautBtn = new QPushButton("Défaut", page);
    formatdefautBtn->setObjectName("formatdefautBtn");
    formatdefautBtn->setToolTip(QString::fromUtf8(kDefautHint).replace("\r\n", "\n"));
    connect(formatdefautBtn, &QPushButton::clicked, this, [this] { formatDefaut(); });
    v->addWidget(formatdefautBtn, 0, Qt::AlignLeft);
    v->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildDossiers() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* open = new QGroupBox("Dossiers pour ouvrir des vidéos", page);
    auto* o = new QVBoxLayout(open);
    o->addWidget(Caption(open, "Dossier par défaut pour ouvrir des vidéos"));
    edDossierOuvrir =
        PathEdit<TFolderEdit>(open, "edDossierOuvrir", "Dossier par défaut pour ouvrir des vidéos");
    o->addWidget(edDossierOuvrir);
    o->addWidget(Caption(open, "Dossier préféré ( ouvert avec F7)"));
    edDossierFavori = PathEdit<TFolderEdit>(open, "edDossierFavori", "Dossier préféré ( ouvert avec F7)");
    o->addWidget(edDossierFavori);
    o->addWidget(Caption(open, "Dossier par défaut pour PlayList "));
    edDossierPlayList = PathEdit<TFolderEdit>(open, "edDossierPlayList", "Dossier par défaut pour PlayList ");
    o->addWidget(edDossierPlayList);
    v->addWidget(open);
    auto* save = new QGroupBox("Où placer les fichiers créés par conversion", page);
    auto* s = new QVBoxLayout(save);
    cbsameFolder = Check(save, "cbsameFolder", "Convertir dans le même dossier");
    s->addWidget(cbsameFolder);
    s->addWidget(Caption(save, "Convertir dans le dossier suivant:"));
    edDossierSave = PathEdit<TFolderEdit>(save, "edDossierSave", "Convertir dans le dossier suivant:");
    s->addWidget(edDossierSave);
    v->addWidget(save);
    v->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildFichiers() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    const auto file = [&](TFileEdit*& edit, const char* name, const char* caption) {
        v->addWidget(Caption(page, caption));
        edit = PathEdit<TFileEdit>(page, name, caption);
        edit->Filter = "Programmes (*)";
        v->addWidget(edit);
    };
    file(feStillor, "feStillor", "Fichier Stillor ou assimilé lancé avec F2");
    file(feFichierF3, "feFichierF3", "Application lancée avec F3");
    file(feFichierF4, "feFichierF4", "Application lancée avec F4");
    v->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildDV() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    rgfrequenceDV = Radios(page, v, "rgfrequenceDV", "Fréquence DV", {"32000", "44100", "48000"});
    rgStandardDV = Radios(page, v, "rgStandardDV", "Standard par défaut", {"Pal", "Ntsc"});
    rgRatioDV = Radios(page, v, "rgRatioDV", "Ratio de l'image", {"4x3", "16x9"});
    auto* row = new QHBoxLayout;
    edIntervalle = new QLineEdit(page);
    edIntervalle->setObjectName("edIntervalle");
    edIntervalle->setMaximumWidth(80);
    row->addWidget(edIntervalle);
    row->addWidget(Caption(page, "intervalle pour créer des scènes"));
    row->addStretch();
    v->addLayout(row);
    rgFormatDuree = Radios(page, v, "rgFormatDuree", "Format pour la durée des scènes",
                           {"h:mm:ss.ff", "h:mm:ss:ff", "h heures m minutes s secondes f frames"});
    v->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildExport() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    DualListFrame = new TDualListFrame(page);
    DualListFrame->setObjectName("DualListFrame");
    DualListFrame->SrcLabel->setText("Disponibles");
    DualListFrame->DstLabel->setText("Sélectionnés");
    v->addWidget(DualListFrame, 1);
    labDualHelp = new QLabel(page);
    labDualHelp->setObjectName("labDualHelp");
    QStringList help;
    for (const char* line : kDualHelp) help << QString::fromUtf8(line);
    labDualHelp->setText(help.join('\n'));
    labDualHelp->hide();
    v->addWidget(labDualHelp);
    leExemple = new QTextEdit(page);
    leExemple->setObjectName("leExemple");
    leExemple->setReadOnly(true);
    v->addWidget(leExemple, 1);
    return page;
}

QWidget* TOptionsFrame::buildExcel() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(Caption(page, "Version des fichiers Excel exportés"));
    cbExcelFormat = new QComboBox(page);
    cbExcelFormat->setObjectName("cbExcelFormat");
    for (const char* item :
         {"Excel version 2.0 (1987)", "Excel version 3.0 (1990)", "Excel version 4.0 (1992)",
          "Excel version 5.0 (1994)", "Excel versions 95 et 97"})
        cbExcelFormat->addItem(QString::fromUtf8(item));
    v->addWidget(cbExcelFormat);
    cbKeepOpen = Check(page, "cbKeepOpen", "Garder le classeur Excel ouvert");
    v->addWidget(cbKeepOpen);
    v->addWidget(Caption(page, "Dossier proposé pour les exports Excel"));
    deDossierExcel = PathEdit<TFolderEdit>(page, "deDossierExcel", "Dossier proposé pour les exports Excel");
    v->addWidget(deDossierExcel);
    v->addStretch();
    return page;
}

QWidget* TOptionsFrame::buildRenommer() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    v->addWidget(Caption(page, "Modèle pour renommer des vidéos"));
    edTemplateRenommer = new QLineEdit(page);
    edTemplateRenommer->setObjectName("edTemplateRenommer");
    v->addWidget(edTemplateRenommer);
    LabRenommer = Example(page, "LabRenommer");
    v->addWidget(LabRenommer);
    auto* digits = new QHBoxLayout;
    seNumberDigits = new QSpinBox(page);
    seNumberDigits->setObjectName("seNumberDigits");
    seNumberDigits->setRange(0, 20);
    digits->addWidget(seNumberDigits);
    digits->addWidget(Caption(page, "Nombre de chiffres pour renommer avec %N"));
    digits->addStretch();
    v->addLayout(digits);
    v->addWidget(Caption(page, "Format du datecode si on utilise %D"));
    cbRenommerDatecode = DateCombo(page, "cbRenommerDatecode", kDateItems);
    v->addWidget(cbRenommerDatecode);
    memoRenommer = new QPlainTextEdit(page);
    memoRenommer->setObjectName("memoRenommer");
    memoRenommer->setReadOnly(true);
    QStringList help;
    for (const char* line : kRenommerHelp) help << QString::fromUtf8(line);
    memoRenommer->setPlainText(help.join('\n'));
    v->addWidget(memoRenommer, 1);
    return page;
}

void TOptionsFrame::bindControls() {
    BindControl(*cbSelection, action<TCheckAction>("caSelectionnerOuverts"));
    BindControl(*cbOpenLastFiles, action<TBooleanAction>("baOpenlastFiles"));
    BindControl(*cbSendTo, action<TCheckAction>("caSendTo"));
    BindControl(*cbDeinterlace, action<TCheckAction>("caDeinterlace"));

    BindControl(*cbAfficherDatecode, action<TWidestringAction>("waFormatAfficherDatecode"));
    BindControl(*cbAjouterDatecode, action<TWidestringAction>("waFormatAjouterDatecode"));
    BindControl(*cbDatecodeavant, action<TBooleanAction>("baDatecodeAvant"));
    BindControl(*cbTimecodeavant, action<TBooleanAction>("baTimecodeAvant"));

    BindControl(*edDossierOuvrir, action<TWidestringAction>("waDossierOuvrir"));
    BindControl(*edDossierFavori, action<TWidestringAction>("waDossierFavori"));
    BindControl(*edDossierPlayList, action<TWidestringAction>("waDossierPlayList"));
    auto& sameFolder = action<TCheckAction>("caSameFolder");
    BindControl(*cbsameFolder, sameFolder);
    BindControl(*edDossierSave, action<TWidestringAction>("waDossierSave"));
    // A folder chosen to convert into means not converting beside the source.
    connect(edDossierSave, &TPathEdit::pathChosen, this, [&sameFolder] {
        if (sameFolder.Checked()) sameFolder.SetChecked(false);
    });
    FollowAction(*edDossierSave, sameFolder,
                 [this, &sameFolder] { edDossierSave->setEnabled(!sameFolder.Checked()); });

    BindControl(*feStillor, action<TWidestringAction>("waFichierStillor"));
    BindControl(*feFichierF3, action<TWidestringAction>("waFichierF3"));
    BindControl(*feFichierF4, action<TWidestringAction>("waFichierF4"));

    BindControl(*rgfrequenceDV, action<TIntegerAction>("iaFrequenceDV"));
    BindControl(*rgStandardDV, action<TIntegerAction>("iaStandardDV"));
    BindControl(*rgRatioDV, action<TIntegerAction>("iaRatioDV"));
    // An empty edit reads as the fallback: it shows the interval from the start.
    auto& intervalle = action<TIntegerAction>("iaIntervalle");
    edIntervalle->setText(QString::number(intervalle.CurrentValue()));
    BindControl(*edIntervalle, intervalle, kDefaultIntervalle);
    BindControl(*rgFormatDuree, action<TIntegerAction>("iaFormatDuree"));

    BindControl(*cbExcelFormat, action<TIntegerAction>("iaExcelFormat"),
                std::vector<int32_t>(kExcelFormats.begin(), kExcelFormats.end()));
    BindControl(*cbKeepOpen, action<TBooleanAction>("baKeepOpen"));
    BindControl(*deDossierExcel, action<TWidestringAction>("waDossierExcel"));

    BindControl(*edTemplateRenommer, action<TWidestringAction>("waTemplateRenommer"));
    BindControl(*seNumberDigits, action<TIntegerAction>("iaNumberDigits"));
    BindControl(*cbRenommerDatecode, action<TWidestringAction>("waFormatRenommerDatecode"));

    // Every setting an example reads shows at once in the examples.
    for (const char* name :
         {"waFormatAfficherDatecode", "waFormatAjouterDatecode", "baDatecodeAvant", "baTimecodeAvant",
          "waTemplateRenommer", "iaNumberDigits", "waFormatRenommerDatecode"})
        FollowAction(*this, action<TCustomAbstractAction>(name), [this] { RefreshExamples(); });
}

void TOptionsFrame::RefreshExamples() {
    const Datecode now = Now();
    const int digits = action<TIntegerAction>("iaNumberDigits").CurrentValue();
    const auto text = [this](const char* name) -> const std::string& {
        return action<TWidestringAction>(name).CurrentValue();
    };
    LabAfficherDatecode->setText(Q(AfficherDatecodeExample(text("waFormatAfficherDatecode"), now)));
    LabAjouterDatecode->setText(
        Q(AjouterDatecodeExample(action<TBooleanAction>("baDatecodeAvant").CurrentValue(),
                                 text("waFormatAjouterDatecode"), digits, now)));
    LabAjouterTimecode->setText(
        Q(AjouterTimecodeExample(action<TBooleanAction>("baTimecodeAvant").CurrentValue(), digits, now)));
    LabRenommer->setText(
        Q(RenommerExample(text("waTemplateRenommer"), text("waFormatRenommerDatecode"), digits, now)));
}

void TOptionsFrame::formatDefaut() {
    action<TWidestringAction>("waFormatAjouterDatecode").SetValue(kFormatDefaults.AjouterDatecode);
    action<TWidestringAction>("waFormatAfficherDatecode").SetValue(kFormatDefaults.AfficherDatecode);
    action<TWidestringAction>("waFormatRenommerDatecode").SetValue(kFormatDefaults.RenommerDatecode);
    action<TWidestringAction>("waTemplateRenommer").SetValue(kFormatDefaults.TemplateRenommer);
    action<TBooleanAction>("baDatecodeAvant").SetValue(false);
    action<TBooleanAction>("baTimecodeAvant").SetValue(false);
    RefreshExamples();
}

void TOptionsFrame::bindStorageMode() {
    const auto show = [this](TSavePreferences mode) {
        if (QAbstractButton* item = rgPrefs->button(int(mode))) item->setChecked(true);
    };
    show(prefs_.Mode());
    prefs_.OnChangeMode = show;
    connect(rgPrefs, &QButtonGroup::idClicked, this,
            [this](int id) { prefs_.SetMode(static_cast<TSavePreferences>(id)); });
}

void TOptionsFrame::bindSendTo() {
    auto& sendTo = action<TCheckAction>("caSendTo");
    // The entry is the program's; a failure to make or remove it goes unsaid.
    const auto entry = [](bool on) {
        const std::string program = QCoreApplication::applicationFilePath().toStdString();
        SetSendToEntry(on, program, SendToEntryPath(program));
    };
    sendTo.InternalTrueApply = [entry] { entry(true); };
    sendTo.InternalFalseApply = [entry] { entry(false); };
}

void TOptionsFrame::bindColumns() {
    TDualListFrame& d = *DualListFrame;
    d.EditBtn->show();
    d.OKBtn->hide();
    d.CancelBtn->hide();
    connect(d.EditBtn, &QPushButton::clicked, this, [this] { setEditing(true); });
    connect(d.OKBtn, &QPushButton::clicked, this, [this] { columnsOk(); });
    connect(d.CancelBtn, &QPushButton::clicked, this, [this] { columnsCancel(); });
    d.OnMoved = [this] { rebuildExample(); };
    connect(d.DstList, &QListWidget::itemSelectionChanged, this, [this] { rebuildExample(); });
    for (QListWidget* list : {d.SrcList, d.DstList})
        connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem* item) {
            const std::string column = item->text().toStdString();
            list->setToolTip(Q(column + ":\n" + exampleOf(column)));
        });
    auto& available = action<TWStringsAction>("saAvailable");
    auto& selected = action<TWStringsAction>("saSelected");
    FollowAction(*DualListFrame, available, [this] { refillColumns(); });
    FollowAction(*DualListFrame, selected, [this] {
        refillColumns();
        rebuildExample();
    });
    d.SetEditing(false);
}

// The chosen columns on the right in their order; on the left the available ones not chosen.
void TOptionsFrame::refillColumns() {
    const auto& available = action<TWStringsAction>("saAvailable").CurrentValue();
    const auto& selected = action<TWStringsAction>("saSelected").CurrentValue();
    std::vector<TDualItem> left, right;
    for (const std::string& column : selected) right.push_back({column});
    for (const std::string& column : available)
        if (std::find(selected.begin(), selected.end(), column) == selected.end()) left.push_back({column});
    DualListFrame->SetItems(std::move(left), std::move(right));
}

void TOptionsFrame::setEditing(bool editing) {
    editing_ = editing;
    TDualListFrame& d = *DualListFrame;
    d.OKBtn->setVisible(editing);
    d.CancelBtn->setVisible(editing);
    d.EditBtn->setVisible(!editing);
    d.memoDual->setVisible(!editing);
    labDualHelp->setVisible(editing);
    d.SetEditing(editing);
    setBackgroundRole(editing ? QPalette::Mid : QPalette::Button);
}

void TOptionsFrame::columnsOk() {
    const std::vector<std::string> left = DualListFrame->Available();
    const std::vector<std::string> right = DualListFrame->Chosen();
    action<TWStringsAction>("saAvailable").SetValue(left);
    action<TWStringsAction>("saSelected").SetValue(right);
    setEditing(false);
}

void TOptionsFrame::columnsCancel() {
    action<TWStringsAction>("saAvailable").Apply();
    action<TWStringsAction>("saSelected").Apply();
    refillColumns();
    setEditing(false);
    rebuildExample();
}

std::string TOptionsFrame::exampleOf(const std::string& column) const {
    for (size_t i = 0; i < std::size(kExportColumnIds) && i < exampleValues_.size(); ++i)
        if (column == kExportColumnIds[i]) return exampleValues_[i];
    return {};
}

void TOptionsFrame::SetExampleValues(std::vector<std::string> values) {
    values.resize(std::size(kExportColumnIds));
    exampleValues_ = std::move(values);
    rebuildExample();
}

// One line per chosen column, its value for the active file; the selected ones bold in maroon.
void TOptionsFrame::rebuildExample() {
    const QListWidget& dst = *DualListFrame->DstList;
    QString html;
    for (int i = 0; i < dst.count(); ++i) {
        const QString value = Q(exampleOf(dst.item(i)->text().toStdString())).toHtmlEscaped();
        if (dst.item(i)->isSelected())
            html += "<b><span style=\"color:#800000\">" + value + "</span></b><br>";
        else
            html += value + "<br>";
    }
    if (html.isEmpty())
        leExemple->clear();
    else
        leExemple->setHtml(html);
}

}  // namespace velinor
