#include "ui/overlay/edit_incrust_form.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "actions/actions.h"
#include "commands/overlay_settings.h"
#include "ui/binding/control_binding.h"
#include "ui/kit/color_button.h"
#include "ui/kit/qt_text.h"

namespace velinor {

namespace {

const char* const kDatecode1Items[] = {"ddddd", "tt", "dddddd", "ddddd tt", "dddddd tt", "d mmm yyyy"};
const char* const kDatecode2Items[] = {"tt", "ddddd", "dddddd", "ddddd t", "dddddd tt", "d mmm yyyy"};
const char* const kSizeItems[] = {"auto", "8",  "9",  "10", "11", "12", "14", "16", "18",
                                  "20",   "22", "24", "26", "28", "36", "48", "72"};
const char* const kBorderItems[] = {"Aucun bord", "1 pixel", "2 pixels", "3 pixels", "4 pixels", "5 pixels"};
const char* const kHelpLines[] = {
    "%F = nom du fichier (sans extension) ",
    "%E = extension du fichier (en principe .avi)",
    "%P = chemin du fichier",
    "%D = datecode - %T = timecode",
    "%C = codec - %U = durée",
    "%I = dimension de l'image ",
    "%A = format audio ",
};

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QString& hint = {},
                        bool checkable = false) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    button->setCheckable(checkable);
    button->setAutoRaise(false);
    return button;
}

QComboBox* MakePatternBox(QWidget* parent, const char* name, const char* const (&items)[6]) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    for (const char* item : items) box->addItem(Q(item));
    return box;
}

// The example labels hold two lines joined by CR LF.
QString TwoLines(const std::string& text) {
    return Q(text).replace("\r\n", "\n");
}

}  // namespace

TEditIncrustForm::TEditIncrustForm(TOverlaySettings& overlay, TCheckAction& editMode, QWidget* parent)
    : QWidget(parent, Qt::Tool), overlay_(overlay), editMode_(editMode) {
    setObjectName("EditIncrustForm");
    setWindowTitle(QString::fromUtf8("Editer l'incrustation"));
    auto* column = new QVBoxLayout(this);
    buildBars();
    column->addWidget(policeBar_);
    column->addWidget(alignBar_);
    buildWhat();
    buildWhen();
    bind();
}

TEditIncrustForm::~TEditIncrustForm() {
    // The settings outlive the window.
    overlay_.ExamplesChanged = nullptr;
    overlay_.ShowLayout = nullptr;
}

void TEditIncrustForm::buildBars() {
    policeBar_ = new QToolBar(this);
    policeBar_->setObjectName("PoliceBar");
    fontComboBox1_ = new QFontComboBox(policeBar_);
    fontComboBox1_->setObjectName("FontComboBox1");
    policeBar_->addWidget(fontComboBox1_);
    cbSize_ = new QComboBox(policeBar_);
    cbSize_->setObjectName("cbSize");
    cbSize_->setEditable(true);
    for (const char* item : kSizeItems) cbSize_->addItem(Q(item));
    cbSize_->setToolTip(QString::fromUtf8("Taille de la police (auto : suit la largeur de l'image)"));
    policeBar_->addWidget(cbSize_);
    tbBold_ = MakeButton(policeBar_, "tbBold", "G", "Gras", true);
    tbItalic_ = MakeButton(policeBar_, "tbItalic", "I", "Italique", true);
    tbUnderline_ = MakeButton(policeBar_, "tbUnderline", "S", QString::fromUtf8("Souligné"), true);
    QFont bold = tbBold_->font(), italic = tbItalic_->font(), underline = tbUnderline_->font();
    bold.setBold(true);
    italic.setItalic(true);
    underline.setUnderline(true);
    tbBold_->setFont(bold);
    tbItalic_->setFont(italic);
    tbUnderline_->setFont(underline);
    for (QToolButton* b : {tbBold_, tbItalic_, tbUnderline_}) policeBar_->addWidget(b);
    colorButton_ = new TColorButton(policeBar_);
    colorButton_->setObjectName("ColorButton");
    colorButton_->setToolTip("Couleur du texte");
    policeBar_->addWidget(colorButton_);
    tbBorder_ = MakeButton(policeBar_, "tbBorder", "2", "Bord autour du texte");
    tbBorder_->setPopupMode(QToolButton::InstantPopup);
    auto* borderMenu = new QMenu(tbBorder_);
    borderSizes_ = new QActionGroup(borderMenu);
    borderSizes_->setExclusive(true);
    for (int k = 0; k < 6; ++k) {
        QAction* item = borderMenu->addAction(QString::fromUtf8(kBorderItems[k]));
        item->setCheckable(true);
        item->setData(k);
        borderSizes_->addAction(item);
    }
    tbBorder_->setMenu(borderMenu);
    policeBar_->addWidget(tbBorder_);

    alignBar_ = new QToolBar(this);
    alignBar_->setObjectName("AlignBar");
    tbLeftAlign_ = MakeButton(alignBar_, "tbLeftAlign", "Gauche", QString::fromUtf8("Aligné à gauche"), true);
    tbCenter_ =
        MakeButton(alignBar_, "tbCenter", QString::fromUtf8("Centré"), QString::fromUtf8("Centré"), true);
    tbRightAlign_ =
        MakeButton(alignBar_, "tbRightAlign", "Droite", QString::fromUtf8("Aligné à droite"), true);
    tbSousTitre_ = MakeButton(alignBar_, "tbSousTitre", "Sous-titre",
                              QString::fromUtf8("Centré comme un sous-titre"), true);
    alignGroup_ = new QButtonGroup(this);
    alignGroup_->setExclusive(true);
    int id = 0;
    for (QToolButton* b : {tbLeftAlign_, tbCenter_, tbRightAlign_, tbSousTitre_}) {
        alignGroup_->addButton(b, id++);
        alignBar_->addWidget(b);
    }
}

void TEditIncrustForm::buildWhat() {
    auto* column = static_cast<QVBoxLayout*>(layout());

    auto* row = new QHBoxLayout;
    tbDatecode_ = MakeButton(this, "tbDatecode", "Datecode", "Cliquez pour incruster le datecode");
    tbTimecode_ = MakeButton(this, "tbTimecode", "Timecode");
    tbPerso_ = MakeButton(this, "tbPerso", QString::fromUtf8("Personnalisé"));
    whatGroup_ = new QButtonGroup(this);
    whatGroup_->setExclusive(false);
    int id = 0;
    for (QToolButton* b : {tbDatecode_, tbTimecode_, tbPerso_}) {
        whatGroup_->addButton(b, id++);
        row->addWidget(b);
    }
    row->addStretch(1);
    column->addLayout(row);

    setWhatGroup_ = new QButtonGroup(this);
    const auto section = [this, column](const char* name, const QString& title, QToolButton*& button,
                                        const char* buttonName, const QString& hint, int value) {
        auto* box = new QGroupBox(this);
        box->setObjectName(name);
        auto* form = new QVBoxLayout(box);
        button = MakeButton(box, buttonName, title, hint, true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        setWhatGroup_->addButton(button, value);
        form->addWidget(button);
        column->addWidget(box);
        return form;
    };
    QVBoxLayout* datecode = section("gbDatecode", "Datecode", tbSetDatecode_, "tbSetDatecode",
                                    QString::fromUtf8("Sélectionner l'incrustation du datecode"), 0);
    cbDatecode1_ = MakePatternBox(this, "cbDatecode1", kDatecode1Items);
    cbDatecode2_ = MakePatternBox(this, "cbDatecode2", kDatecode2Items);
    auto* patterns = new QFormLayout;
    patterns->addRow("Ligne 1", cbDatecode1_);
    patterns->addRow("Ligne 2", cbDatecode2_);
    datecode->addLayout(patterns);
    labDatecode_ = new QLabel(this);
    labDatecode_->setObjectName("labDatecode");
    datecode->addWidget(labDatecode_);

    section("gbTimecode", "Timecode", tbSetTimecode_, "tbSetTimecode", QString(), 1);

    QVBoxLayout* perso =
        section("gbPerso", QString::fromUtf8("Personnalisé"), tbSetPerso_, "tbSetPerso", QString(), 2);
    edPerso1_ = new QLineEdit(this);
    edPerso1_->setObjectName("edPerso1");
    edPerso2_ = new QLineEdit(this);
    edPerso2_->setObjectName("edPerso2");
    auto* lines = new QFormLayout;
    lines->addRow("Ligne 1", edPerso1_);
    lines->addRow("Ligne 2", edPerso2_);
    perso->addLayout(lines);
    labTexte_ = new QLabel(this);
    labTexte_->setObjectName("LabTexte");
    perso->addWidget(labTexte_);
    QStringList help;
    for (const char* line : kHelpLines) help << QString::fromUtf8(line);
    labHelp_ = new QLabel(help.join('\n'), this);
    labHelp_->setObjectName("labHelp");
    QPalette grey = labHelp_->palette();
    grey.setColor(QPalette::WindowText, QColor(0, 0, 128));
    labHelp_->setPalette(grey);
    perso->addWidget(labHelp_);
}

void TEditIncrustForm::buildWhen() {
    auto* box = new QGroupBox(QString::fromUtf8("Afficher le texte"), this);
    box->setObjectName("gbWhen");
    auto* form = new QVBoxLayout(box);
    whenGroup_ = new QButtonGroup(this);
    const auto radio = [this, box, form](const char* name, const char* text, int value) {
        auto* button = new QRadioButton(QString::fromUtf8(text), box);
        button->setObjectName(name);
        whenGroup_->addButton(button, value);
        form->addWidget(button);
        return button;
    };
    rbPermanent_ = radio("rbPermanent", "en permanence", 0);
    rbUnique_ = radio("rbUnique", "une seule fois", 1);
    rbScene_ = radio("rbScene", "à chaque nouvelle scène", 2);
    rbJour_ = radio("rbJour", "à chaque nouveau jour", 3);
    auto* duree = new QHBoxLayout;
    duree->addWidget(new QLabel("pendant", box));
    edDuree_ = new QLineEdit(box);
    edDuree_->setObjectName("edDuree");
    edDuree_->setMaximumWidth(60);
    duree->addWidget(edDuree_);
    duree->addWidget(new QLabel("secondes", box));
    duree->addStretch(1);
    form->addLayout(duree);
    static_cast<QVBoxLayout*>(layout())->addWidget(box);
}

void TEditIncrustForm::bind() {
    TOverlaySettings& o = overlay_;
    BindControl(*whatGroup_, o.iaWhatIncrust);
    BindControl(*setWhatGroup_, o.iaWhatIncrust);
    BindControl(*cbDatecode1_, o.waFormatdatecode1);
    BindControl(*cbDatecode2_, o.waFormatDatecode2);
    BindControl(*edPerso1_, o.waPerso1);
    BindControl(*edPerso2_, o.waperso2);
    BindControl(FontControls{fontComboBox1_, cbSize_, tbBold_, tbItalic_, tbUnderline_, colorButton_},
                o.faIncrustFont);
    BindControl(*borderSizes_, o.iaBorderSize);
    FollowAction(*tbBorder_, o.iaBorderSize,
                 [this, &o] { tbBorder_->setText(QString::number(o.iaBorderSize.CurrentValue())); });
    BindControl(*whenGroup_, o.iaWhenIncrust);
    BindControl(*edDuree_, o.iaDureeIncrustation);

    // The layout is no setting (it starts at 0 with every run): the buttons call the settings.
    QObject::connect(alignGroup_, &QButtonGroup::idClicked, this,
                     [this](int layout) { overlay_.SetLayout(layout); });
    o.ShowLayout = [this](int layout) { showLayout(layout); };
    showLayout(o.Layout());
    o.ExamplesChanged = [this] { showExamples(); };
    o.UpdateExamples();
}

void TEditIncrustForm::showExamples() {
    labDatecode_->setText(TwoLines(overlay_.LabDatecode()));
    labTexte_->setText(TwoLines(overlay_.LabTexte()));
}

void TEditIncrustForm::showLayout(int layout) {
    if (QAbstractButton* button = alignGroup_->button(layout)) button->setChecked(true);
}

void TEditIncrustForm::closeEvent(QCloseEvent* event) {
    // The window is kept; ending the mode hides it.
    editMode_.SetChecked(false);
    event->accept();
}

}  // namespace velinor
