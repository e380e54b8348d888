#pragma once
// A date edit and three spin boxes (hours 0-23, minutes and seconds 0-59) that edit one
// date-time, shared by the time-offset and the datecode dialogs. GUI thread only.
#include <QDateEdit>
#include <QSpinBox>

#include "commands/valued_dialogs.h"

class QGridLayout;

namespace velinor {

struct TDateInputs {
    QDateEdit* DateEdit2;
    QSpinBox* RxSpinEdit4;  // hours
    QSpinBox* RxSpinEdit5;  // minutes
    QSpinBox* RxSpinEdit6;  // seconds

    // Built into `grid` (row 0), children of `parent`.
    TDateInputs(QWidget* parent, QGridLayout& grid);
    TDateTimeInputs Read() const;
    // Shows the values without sending change signals.
    void Write(const TDateTimeInputs& in);
    // Calls `changed` after any change the user makes.
    template <class F>
    void OnChanged(QObject* context, F changed) {
        QObject::connect(DateEdit2, &QDateEdit::dateChanged, context, [changed](const QDate&) { changed(); });
        for (QSpinBox* spin : {RxSpinEdit4, RxSpinEdit5, RxSpinEdit6})
            QObject::connect(spin, &QSpinBox::valueChanged, context, [changed](int) { changed(); });
    }
};

// Days since 30/12/1899 and back.
QDate DateOfDays(double days);
double DaysOfDate(const QDate& date);

// The font of the value dialogs.
QFont DialogArialFont();

}  // namespace velinor
