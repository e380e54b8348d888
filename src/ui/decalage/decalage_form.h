#pragma once
// The time-offset dialog "Corriger un décalage horaire": a shift of the datecode in days, chosen
// as whole hours (simple mode) or as a corrected date and time (advanced mode, the check action
// caAdvancedDecalage). While it is open the preview shows the datecode with the shift being
// edited; OK keeps it as the confirmed shift, "Annuler" takes it back. Created once, hidden
// between uses, keeping its state. GUI thread only.
#include <QDialog>
#include <functional>

#include "actions/actions.h"
#include "commands/valued_dialogs.h"
#include "ui/kit/date_inputs.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace velinor {

class TDecalageForm final : public QDialog {
public:
    // `advanced` is the mode; `confirmed` the shift of the last OK, which the system
    // conversions read.
    TDecalageForm(TCheckAction& advanced, double& confirmed, QWidget* parent = nullptr);

    // The display shift of the preview: set while the user edits, read when the dialog opens
    // so that "Annuler" gives it back.
    std::function<void(double days)> SetDisplayShift;
    std::function<double()> DisplayShift;

    // Shows the dialog modally from the two instants; true when OK closed it.
    bool Ask(double start, double target);
    bool Accepted() const { return model_.Accepted; }
    // Days, whole seconds.
    double Offset() const { return model_.Offset; }
    const TDecalageModel& Model() const { return model_; }

    QLabel* LabResultat;
    QFrame* Panel1;
    QSpinBox* rxHeureSolo;
    QGroupBox* gbFin;
    TDateInputs Fin;
    QCheckBox* cbAvance;
    QPushButton* bbZero;
    QPushButton* bbOK;
    QPushButton* bbCancel;

    // The close box and Escape are "Annuler".
    void reject() override;

private:
    void inputChanged();
    void showMode(bool advanced);
    void showInputs();

    TDecalageModel model_;
    double& confirmed_;
    double displayBefore_ = 0;
    bool closing_ = false;
};

}  // namespace velinor
