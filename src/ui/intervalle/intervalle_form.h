#pragma once
// The interval dialog "Découper en scènes": the length in seconds of the equal scenes a video
// is cut into. Created once, hidden between uses. GUI thread only.
#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velinor {

class TIntervalleForm final : public QDialog {
public:
    explicit TIntervalleForm(QWidget* parent = nullptr);

    // Shows the dialog modally with `text` in its edit; true when "Appliquer" closed it on a
    // positive whole number.
    bool Ask(const std::string& text);
    bool Accepted() const { return accepted_; }
    int32_t Value() const { return value_; }

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

private:
    int32_t value_ = 0;
    bool accepted_ = false;
};

}  // namespace velinor
