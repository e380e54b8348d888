#pragma once
// The overlay editor `TEditIncrustForm`, "Editer l'incrustation": what the overlay shows (the
// datecode in two patterns, the timecode or two custom templates, with their examples), its font
// and alignment bars, its border, and when and how long it shows. Every control is bound to its
// overlay setting, so the preview and the burn-in follow each change. Shown and hidden with the
// overlay editing mode; closing it ends the mode. UI thread only.
#include <QWidget>

class QAbstractButton;
class QActionGroup;
class QButtonGroup;
class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolBar;
class QToolButton;

namespace velinor {

class TCheckAction;
class TColorButton;
class TOverlaySettings;

class TEditIncrustForm final : public QWidget {
public:
    // `overlay` holds the settings; `editMode` is caEditerIncrust, which closing the window turns
    // off. Both must outlive the window.
    TEditIncrustForm(TOverlaySettings& overlay, TCheckAction& editMode, QWidget* parent = nullptr);
    ~TEditIncrustForm() override;

    // What the overlay shows.
    QToolButton& tbDatecode() const { return *tbDatecode_; }
    QToolButton& tbTimecode() const { return *tbTimecode_; }
    QToolButton& tbPerso() const { return *tbPerso_; }
    QToolButton& tbSetDatecode() const { return *tbSetDatecode_; }
    QToolButton& tbSetTimecode() const { return *tbSetTimecode_; }
    QToolButton& tbSetPerso() const { return *tbSetPerso_; }
    QComboBox& cbDatecode1() const { return *cbDatecode1_; }
    QComboBox& cbDatecode2() const { return *cbDatecode2_; }
    QLineEdit& edPerso1() const { return *edPerso1_; }
    QLineEdit& edPerso2() const { return *edPerso2_; }
    QLabel& labDatecode() const { return *labDatecode_; }
    QLabel& LabTexte() const { return *labTexte_; }
    QLabel& labHelp() const { return *labHelp_; }
    // The font bar.
    QToolBar& PoliceBar() const { return *policeBar_; }
    QFontComboBox& FontComboBox1() const { return *fontComboBox1_; }
    QComboBox& cbSize() const { return *cbSize_; }
    QToolButton& tbBold() const { return *tbBold_; }
    QToolButton& tbItalic() const { return *tbItalic_; }
    QToolButton& tbUnderline() const { return *tbUnderline_; }
    TColorButton& ColorButton() const { return *colorButton_; }
    QToolButton& tbBorder() const { return *tbBorder_; }
    QActionGroup& BorderSizes() const { return *borderSizes_; }
    // The alignment bar: left, centred, right, subtitle-like (layouts 0 to 3).
    QToolBar& AlignBar() const { return *alignBar_; }
    QToolButton& tbLeftAlign() const { return *tbLeftAlign_; }
    QToolButton& tbCenter() const { return *tbCenter_; }
    QToolButton& tbRightAlign() const { return *tbRightAlign_; }
    QToolButton& tbSousTitre() const { return *tbSousTitre_; }
    // When the text shows.
    QRadioButton& rbPermanent() const { return *rbPermanent_; }
    QRadioButton& rbUnique() const { return *rbUnique_; }
    QRadioButton& rbScene() const { return *rbScene_; }
    QRadioButton& rbJour() const { return *rbJour_; }
    QLineEdit& edDuree() const { return *edDuree_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildBars();
    void buildWhat();
    void buildWhen();
    void bind();
    void showExamples();
    void showLayout(int layout);

    TOverlaySettings& overlay_;
    TCheckAction& editMode_;

    QToolBar* policeBar_;
    QFontComboBox* fontComboBox1_;
    QComboBox* cbSize_;
    QToolButton *tbBold_, *tbItalic_, *tbUnderline_;
    TColorButton* colorButton_;
    QToolButton* tbBorder_;
    QActionGroup* borderSizes_;
    QToolBar* alignBar_;
    QToolButton *tbLeftAlign_, *tbCenter_, *tbRightAlign_, *tbSousTitre_;
    QButtonGroup* alignGroup_;

    QToolButton *tbDatecode_, *tbTimecode_, *tbPerso_;
    QToolButton *tbSetDatecode_, *tbSetTimecode_, *tbSetPerso_;
    QButtonGroup *whatGroup_, *setWhatGroup_;
    QComboBox *cbDatecode1_, *cbDatecode2_;
    QLineEdit *edPerso1_, *edPerso2_;
    QLabel *labDatecode_, *labTexte_, *labHelp_;

    QRadioButton *rbPermanent_, *rbUnique_, *rbScene_, *rbJour_;
    QButtonGroup* whenGroup_;
    QLineEdit* edDuree_;
};

}  // namespace velinor
