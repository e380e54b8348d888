#include "ui/dialogs/codec_dialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "commands/catalogue.h"
#include "filelist/avi_fichier.h"
#include "filelist/base_frame.h"

namespace velinor {

namespace {

struct CodecChoice {
    const char* caption;
    const char* value;  // null: the custom edit
};
constexpr CodecChoice kCodecChoices[] = {
    {"dvsd (Microsoft)", "dvsd"}, {"dsvd", "dsvd"}, {"CDVC (Canopus)", "CDVC"}, {"personnalisé", nullptr}};
constexpr int kCodecCustom = 3;

struct RateChoice {
    const char* caption;
    double fps;  // 0: the custom edit
};
constexpr RateChoice kRateChoices[] = {
    {"25 images/sec (Pal)", 25.0}, {"29,97 images/sec (NTSC)", 29.97}, {"personnalisé", 0}};
constexpr int kRateCustom = 2;

QFont DialogFont() {
    QFont font("Arial");
    font.setPixelSize(11);
    return font;
}

// Radio group, edit and the OK / Annuler buttons shared by both dialogs.
QButtonGroup* BuildChoices(QDialog& dialog, QVBoxLayout& layout, const QString& groupHint,
                           const std::vector<QString>& captions) {
    auto* group = new QButtonGroup(&dialog);
    auto* box = new QVBoxLayout;
    for (size_t i = 0; i < captions.size(); ++i) {
        auto* radio = new QRadioButton(captions[i], &dialog);
        radio->setToolTip(groupHint);
        group->addButton(radio, int(i));
        box->addWidget(radio);
    }
    layout.addLayout(box);
    return group;
}

QDialogButtonBox* BuildButtons(QDialog& dialog, const QString& okHint) {
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setToolTip(okHint);
    ok->setObjectName("OK");
    QPushButton* cancel = buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
    cancel->setObjectName("Annuler");
    return buttons;
}

}  // namespace

TCodecForm::TCodecForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Corriger le codec vidéo");
    setFont(DialogFont());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Indiquez le codec souhaité", this));
    layout->addWidget(new QLabel("(4 caractères)", this));
    std::vector<QString> captions;
    for (const auto& c : kCodecChoices) captions.push_back(QString::fromUtf8(c.caption));
    rgCodec_ = BuildChoices(*this, *layout, "Choisissez le codec souhaité", captions);
    le_ = new QLineEdit(this);
    le_->setPlaceholderText("Codec personnalisé");
    le_->setToolTip("Indiquez le codec personnalisé (4 caractères)");
    le_->setMaxLength(4);
    layout->addWidget(le_);
    auto* buttons = BuildButtons(*this, "Valider les changements de codec effectués.");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        Accepted = true;
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        Accepted = false;
        reject();
    });
    connect(rgCodec_, &QButtonGroup::idClicked, this, [this](int) { updateEdit(); });
    setFixedSize(sizeHint());
}

void TCodecForm::Prepare(const TaviFichier* record) {
    if (prepared_ || !record) return;
    prepared_ = true;
    le_->setEnabled(false);
    const std::string code = LowerCase(record->Codec);
    for (int i = 0; i < kCodecCustom; ++i)
        if (code == LowerCase(kCodecChoices[i].value)) {
            SetChoice(i);
            return;
        }
    SetChoice(kCodecCustom);
    le_->setText(QString::fromStdString(record->Codec));
}

bool TCodecForm::Ask() {
    Accepted = false;
    exec();
    return Accepted;
}

int TCodecForm::Choice() const {
    return rgCodec_->checkedId();
}

void TCodecForm::SetChoice(int index) {
    if (QAbstractButton* b = rgCodec_->button(index)) b->setChecked(true);
    updateEdit();
}

void TCodecForm::updateEdit() {
    const bool custom = Choice() == kCodecCustom;
    le_->setEnabled(custom);
    if (custom) le_->setFocus();
}

std::string TCodecForm::Value() const {
    const int choice = Choice();
    if (choice >= 0 && choice < kCodecCustom) return kCodecChoices[choice].value;
    std::string text = le_->text().toStdString() + "    ";
    // Four bytes, never half of a multi-byte character.
    size_t n = 4;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    text.resize(n);
    return text;
}

TFrequenceForm::TFrequenceForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Corriger la fréquence vidéo");
    setFont(DialogFont());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        "Indiquez la bonne fréquence vidéo en images/sec.\nLa fréquence audio sera inchangée.", this));
    std::vector<QString> captions;
    for (const auto& c : kRateChoices) captions.push_back(QString::fromUtf8(c.caption));
    rgFreq_ = BuildChoices(*this, *layout, "Choisissez la fréquence souhaitée.", captions);
    le_ = new QLineEdit(this);
    le_->setPlaceholderText("Fréquence personnalisée");
    layout->addWidget(le_);
    auto* buttons = BuildButtons(*this, "Valider les changements de framerate effectués.");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        Validate();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        Accepted = false;
        reject();
    });
    connect(rgFreq_, &QButtonGroup::idClicked, this, [this](int) { updateEdit(); });
    setFixedSize(sizeHint());
}

void TFrequenceForm::Prepare(const TaviFichier* record) {
    if (prepared_ || !record) return;
    prepared_ = true;
    le_->setEnabled(false);
    const double f = record->Fps;
    if (f == 25.0) {
        SetChoice(0);
    } else if (std::fabs(f * 1001 - 30000) < 1) {
        SetChoice(1);
    } else {
        SetChoice(kRateCustom);
        if (le_->text().isEmpty()) le_->setText(QString::fromStdString(GeneralFloatText(f)));
    }
}

bool TFrequenceForm::Ask() {
    Accepted = false;
    exec();
    return Accepted;
}

int TFrequenceForm::Choice() const {
    return rgFreq_->checkedId();
}

void TFrequenceForm::SetChoice(int index) {
    if (QAbstractButton* b = rgFreq_->button(index)) b->setChecked(true);
    updateEdit();
}

void TFrequenceForm::updateEdit() {
    const bool custom = Choice() == kRateCustom;
    le_->setEnabled(custom);
    if (custom) le_->setFocus();
}

std::optional<double> TFrequenceForm::Value() const {
    const int choice = Choice();
    if (choice >= 0 && choice < kRateCustom) return kRateChoices[choice].fps;
    if (choice != kRateCustom) return std::nullopt;
    const std::optional<double> fps = ParseDecimal(le_->text().toStdString());
    // A rate of zero or less, or not finite, would divide by zero in the patch.
    if (!fps || !std::isfinite(*fps) || *fps <= 0) return std::nullopt;
    return fps;
}

std::string TFrequenceForm::ValueText() const {
    const std::optional<double> fps = Value();
    return fps ? GeneralFloatText(*fps) : std::string();
}

void TFrequenceForm::Validate() {
    Accepted = Value().has_value();
}

}  // namespace velinor
