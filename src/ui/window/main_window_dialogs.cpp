// TUIForm: the commands whose value the user chooses in a dialog first (time offset, datecode,
// interval), the display shift of the datecode, and the warning before the Word export.
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "commands/catalogue.h"
#include "filelist/avi_fichier.h"
#include "filters/overlay_texts.h"
#include "scenes/scene_export.h"
#include "ui/decalage/decalage_form.h"
#include "ui/info/info_panel.h"
#include "ui/intervalle/intervalle_form.h"
#include "ui/introduire/introduire_form.h"
#include "ui/window/main_window.h"

namespace velinor {

namespace {

template <class T>
T* As(TCustomAbstractAction* action) {
    return dynamic_cast<T*>(action);
}

constexpr const char* kWordWarning =
    "Attention !\r\n"
    "Cette commande n'est plus disponible sous Windows 10 ou ultérieur.\r\n"
    "Utilisez plutôt Libre Office pour exporter les scènes.\r\n"
    "Voulez-vous quand même la lancer sur votre système ?";

bool AskWarningYesNo(QWidget* parent, const char* text) {
    QMessageBox box(QMessageBox::Warning, "Avertissement", QString::fromUtf8(text), QMessageBox::NoButton,
                    parent);
    QAbstractButton* yes = box.addButton("&Oui", QMessageBox::YesRole);
    QAbstractButton* no = box.addButton("&Non", QMessageBox::NoRole);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

void TUIForm::buildDialogs() {
    decalageForm_ = std::make_unique<TDecalageForm>(catalogue_.Get<TCheckAction>("caAdvancedDecalage"),
                                                    set_.Conversions.Settings.ConfirmedShift, this);
    decalageForm_->SetDisplayShift = [this](double days) {
        set_.Texts.setDecalageDisplay(days);
        preview_->RefreshPreview();
    };
    decalageForm_->DisplayShift = [this] { return set_.Texts.snapshot()->DecalageDisplay; };
    introduireForm_ = std::make_unique<TIntroduireForm>(this);
    intervalleForm_ = std::make_unique<TIntervalleForm>(this);
}

void TUIForm::bindDialogs() {
    // The time offset starts from the active record's datecode (now without one) and shows the
    // record's shift.
    const auto askShift = [this](double& value) {
        const TaviFichier* record = ActiveRecord();
        const double start = record && record->DatecodeValue > 0 ? record->DatecodeValue : DatecodeNow();
        const double target = start + (record ? record->Decalage : 0);
        if (!decalageForm_->Ask(start, target)) return false;
        value = decalageForm_->Offset();
        return true;
    };
    for (const char* name : {"ccDecalageHoraire", "ccDecalerHoraire", "daDecalageDisplay"})
        if (auto* shift = As<TDoubleAction>(Action(name))) shift->OnPrepare = askShift;
    if (auto* display = As<TDoubleAction>(Action("daDecalageDisplay")))
        display->OnAfterApply = [this](const double& days) { ApplyDisplayShift(days); };

    if (auto* datecode = As<TDoubleAction>(Action("ccIntroduireDatecode")))
        datecode->OnPrepare = [this](double& value) {
            if (!introduireForm_->Ask(DatecodeNow())) return false;
            value = introduireForm_->Value();
            return true;
        };

    // The interval proposed is the setting's, then the last one accepted in this run.
    if (auto* setting = As<TIntegerAction>(Action("iaIntervalle"))) {
        currentInterval_ = setting->CurrentValue();
        setting->OnAfterApply = [this](const int32_t& seconds) { currentInterval_ = seconds; };
    }
    if (auto* interval = As<TIntegerAction>(Action("ccCreerScnByIntervalle")))
        interval->OnPrepare = [this](int32_t& value) {
            if (!intervalleForm_->Ask(std::to_string(currentInterval_))) return false;
            value = currentInterval_ = intervalleForm_->Value();
            return true;
        };

    if (auto* word = As<TNopeAction>(Action("ccExporterScenesWord")))
        word->OnPrepare = [this] { return AskWarningYesNo(this, kWordWarning); };
}

void TUIForm::ApplyDisplayShift(double days) {
    set_.Texts.setDecalageDisplay(days);
    const std::string text = ShiftText(days);
    const int index = lf_.ItemIndex();
    if (index >= 0 && index < lf_.Count())
        if (auto* record = dynamic_cast<TaviFichier*>(lf_.Item(index))) {
            record->Decalage = days;
            record->DecalageText = text;
        }
    QLabel* label = baseFrame_->Label("labDecalage");
    label->setText(QString::fromStdString(days > 0 ? "+" + text : text));
    label->setVisible(days != 0);
    preview_->RefreshPreview();
}

}  // namespace velinor
