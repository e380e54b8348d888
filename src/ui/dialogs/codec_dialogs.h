#pragma once
// The two small dialogs that ask for a new video codec code or a new frame rate before the
// patch commands run. GUI thread only.
#include <QDialog>
#include <optional>
#include <string>

class QButtonGroup;
class QLineEdit;
class QRadioButton;

namespace velinor {

class TaviFichier;

// "Corriger le codec vidéo": dvsd, dsvd, CDVC or a code of the user's own.
class TCodecForm final : public QDialog {
public:
    explicit TCodecForm(QWidget* parent = nullptr);

    // First use in the run: preselects the record's codec (without regard to case), or the
    // custom choice holding it. Later uses keep the dialog as it was left.
    void Prepare(const TaviFichier* record);
    // Shows the dialog modally; true when the user accepted.
    bool Ask();

    bool Accepted = false;
    // The four characters chosen: custom text followed by blanks, cut to 4.
    std::string Value() const;

    int Choice() const;
    void SetChoice(int index);
    QLineEdit* Edit() const { return le_; }

private:
    void updateEdit();
    QButtonGroup* rgCodec_;
    QLineEdit* le_;
    bool prepared_ = false;
};

// "Corriger la fréquence vidéo": 25, 29.97 or a rate of the user's own.
class TFrequenceForm final : public QDialog {
public:
    explicit TFrequenceForm(QWidget* parent = nullptr);

    // First use in the run: preselects the record's frame rate, as TCodecForm does.
    void Prepare(const TaviFichier* record);
    // Shows the dialog modally; true when the user accepted and the rate reads.
    bool Ask();

    bool Accepted = false;
    // Frames per second; none when the custom text is not a positive finite number.
    std::optional<double> Value() const;
    // The rate as the command takes it: the general format with a decimal comma.
    std::string ValueText() const;

    int Choice() const;
    void SetChoice(int index);
    QLineEdit* Edit() const { return le_; }
    // Sets Accepted from the choice, as the OK button does.
    void Validate();

private:
    void updateEdit();
    QButtonGroup* rgFreq_;
    QLineEdit* le_;
    bool prepared_ = false;
};

}  // namespace velinor
