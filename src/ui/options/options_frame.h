#pragma once
// The options page `TOptionsFrame`: eight tabs of controls, each bound to the setting it shows,
// so that a change in a control applies the setting and a setting applied from the preferences,
// a script or the command line shows in its control. It also shows live examples of the date and
// rename formats, puts the recommended formats back ("Défaut"), edits the exported columns with
// the dual list, follows the preferences' storage mode both ways and keeps the "Envoyer vers"
// desktop entry. The window shows it over its client area while caOptions is checked. GUI thread
// only; the command set and the preferences outlive it.
#include <QFrame>
#include <string>
#include <vector>

#include "media/datecode.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTextEdit;

namespace velinor {

class TCommandSet;
class TCustomAbstractAction;
class TDualListFrame;
class TFileEdit;
class TFolderEdit;
class TMorvanePreferences;

class TOptionsFrame final : public QFrame {
public:
    TOptionsFrame(TCommandSet& set, TMorvanePreferences& prefs, QWidget* parent = nullptr);
    ~TOptionsFrame() override;

    // Refreshes the four examples with the current settings and the current time.
    void RefreshExamples();
    // The active file's values of the 18 export columns (18 empty texts without one); the example
    // box shows those of the chosen columns.
    void SetExampleValues(std::vector<std::string> values);
    // Whether the export columns are being edited ("Edit" pressed, neither "Ok" nor "Annuler" yet).
    bool EditingColumns() const { return editing_; }

    QTabWidget* Tabs;
    // Préférences
    QCheckBox* cbSelection;
    QCheckBox* cbOpenLastFiles;
    QCheckBox* cbSendTo;
    QButtonGroup* rgPrefs;
    QCheckBox* cbDeinterlace;
    // Formats
    QComboBox* cbAfficherDatecode;
    QLabel* LabAfficherDatecode;
    QComboBox* cbAjouterDatecode;
    QLabel* LabAjouterDatecode;
    QCheckBox* cbDatecodeavant;
    QLabel* LabAjouterTimecode;
    QCheckBox* cbTimecodeavant;
    QPushButton* formatdefautBtn;
    // Dossiers
    TFolderEdit* edDossierOuvrir;
    TFolderEdit* edDossierFavori;
    TFolderEdit* edDossierPlayList;
    QCheckBox* cbsameFolder;
    TFolderEdit* edDossierSave;
    // Fichiers
    TFileEdit* feStillor;
    TFileEdit* feFichierF3;
    TFileEdit* feFichierF4;
    // DV
    QButtonGroup* rgfrequenceDV;
    QButtonGroup* rgStandardDV;
    QButtonGroup* rgRatioDV;
    QLineEdit* edIntervalle;
    QButtonGroup* rgFormatDuree;
    // Export
    TDualListFrame* DualListFrame;
    QTextEdit* leExemple;
    QLabel* labDualHelp;
    // Excel
    QComboBox* cbExcelFormat;
    QCheckBox* cbKeepOpen;
    TFolderEdit* deDossierExcel;
    // Renommer
    QLineEdit* edTemplateRenommer;
    QLabel* LabRenommer;
    QSpinBox* seNumberDigits;
    QComboBox* cbRenommerDatecode;
    QPlainTextEdit* memoRenommer;

private:
    QWidget* buildPreferences();
    QWidget* buildFormats();
    QWidget* buildDossiers();
    QWidget* buildFichiers();
    QWidget* buildDV();
    QWidget* buildExport();
    QWidget* buildExcel();
    QWidget* buildRenommer();
    void bindControls();
    void bindStorageMode();
    void bindSendTo();
    void bindColumns();
    void formatDefaut();
    // The export columns.
    void refillColumns();
    void setEditing(bool editing);
    void columnsOk();
    void columnsCancel();
    void rebuildExample();
    std::string exampleOf(const std::string& column) const;

    template <class T>
    T& action(const char* name) const;

    TCommandSet& set_;
    TMorvanePreferences& prefs_;
    std::vector<std::string> exampleValues_;
    bool editing_ = false;
};

}  // namespace velinor
