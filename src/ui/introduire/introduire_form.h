#pragma once
// The datecode entry dialog "Introduire un datecode": the date and time to write as the datecode
// of a video's first frame. Created once, hidden between uses. GUI thread only.
#include <QDialog>

#include "ui/kit/date_inputs.h"

class QGroupBox;
class QPushButton;

namespace velinor {

class TIntroduireForm final : public QDialog {
public:
    explicit TIntroduireForm(QWidget* parent = nullptr);

    // Shows the dialog modally on `value` (days since 30/12/1899); true when OK closed it.
    bool Ask(double value);
    bool Accepted() const { return accepted_; }
    // The date-time of the inputs, to the second.
    double Value() const { return value_; }

    QGroupBox* gbFin;
    TDateInputs Debut;
    QPushButton* bbOK;
    QPushButton* bbCancel;

private:
    double value_ = 0;
    bool accepted_ = false;
};

}  // namespace velinor
