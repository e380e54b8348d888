#include "ui/kit/date_inputs.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace velinor {

namespace {
const QDate kDayZero(1899, 12, 30);

QSpinBox* Spin(QWidget* parent, const char* name, int max) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(0, max);
    spin->setWrapping(false);
    return spin;
}
}  // namespace

QDate DateOfDays(double days) {
    return kDayZero.addDays(qint64(days));
}

double DaysOfDate(const QDate& date) {
    return double(kDayZero.daysTo(date));
}

QFont DialogArialFont() {
    QFont font("Arial");
    font.setPixelSize(11);
    return font;
}

TDateInputs::TDateInputs(QWidget* parent, QGridLayout& grid)
    : DateEdit2(new QDateEdit(parent)),
      RxSpinEdit4(Spin(parent, "RxSpinEdit4", 23)),
      RxSpinEdit5(Spin(parent, "RxSpinEdit5", 59)),
      RxSpinEdit6(Spin(parent, "RxSpinEdit6", 59)) {
    DateEdit2->setObjectName("DateEdit2");
    DateEdit2->setCalendarPopup(true);
    DateEdit2->setDisplayFormat("dd/MM/yyyy");
    grid.addWidget(DateEdit2, 0, 0);
    grid.addWidget(RxSpinEdit4, 0, 1);
    grid.addWidget(new QLabel("h", parent), 0, 2);
    grid.addWidget(RxSpinEdit5, 0, 3);
    grid.addWidget(new QLabel("mn", parent), 0, 4);
    grid.addWidget(RxSpinEdit6, 0, 5);
    grid.addWidget(new QLabel("s", parent), 0, 6);
}

TDateTimeInputs TDateInputs::Read() const {
    return {DaysOfDate(DateEdit2->date()), RxSpinEdit4->value(), RxSpinEdit5->value(), RxSpinEdit6->value()};
}

void TDateInputs::Write(const TDateTimeInputs& in) {
    const QSignalBlocker b1(DateEdit2), b2(RxSpinEdit4), b3(RxSpinEdit5), b4(RxSpinEdit6);
    DateEdit2->setDate(DateOfDays(in.Date));
    RxSpinEdit4->setValue(in.Hour);
    RxSpinEdit5->setValue(in.Minute);
    RxSpinEdit6->setValue(in.Second);
}

}  // namespace velinor
