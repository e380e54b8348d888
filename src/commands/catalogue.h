#pragma once
// The rename, date and file commands of the catalogue, with their settings and handlers. Built
// and configured on the UI thread; the engine runs them.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "commands/command.h"
#include "commands/graph_cmd.h"

namespace velinor {

// The settings these commands read, with their defaults. Written on the UI thread between
// commands; read by conditions, destinations and questions on the UI thread.
struct TCommandSettings {
    std::string TemplateRenommer = "ClipDV%D";
    std::string FormatRenommerDatecode = "MyVideo_%D";
    int32_t NumberDigits = 3;
    std::string FormatAjouterDatecode = "ddddd";
    bool DatecodeAvant = false;
    bool TimecodeAvant = false;
    std::string FichierF3;
    std::string FichierF4;
    std::string FichierStillor;
    bool SameFolder = true;
    std::string DossierSave;  // empty = the user's documents folder

    // Sets a setting by its script name (any case); false for an unknown name or a bad value.
    bool Set(const std::string& name, const std::string& value);
};

// A decimal number written with "," or "." as separator, blanks around allowed.
std::optional<double> ParseDecimal(const std::string& text);

// The text of a display shift in days: "%d jours %.2dh %.2dm %.2ds", or "%d heures" for whole
// hours.
std::string ShiftText(double days);

// The full path a rename template gives the record: folder + expanded template + ".avi".
std::string ExpandTemplate(const std::string& templ, const std::string& datePattern,
                           const TAbstractListFichier& record, int counter, int digits);

// The name with the suffixes that commands and renames append removed, made free.
std::string PurgedName(const std::string& path);
// Whether the last suffix of the name is one PurgedName removes for sure.
bool PurgeEnabled(const std::string& path);

class TdmAction {
public:
    TdmAction();
    TdmAction(const TdmAction&) = delete;
    TdmAction& operator=(const TdmAction&) = delete;

    TCommandSettings Settings;
    // The counter of "%N"; set to 1 before Renommer starts.
    std::atomic<int> RenameCounter = 1;
    // Let go of the file shown by the preview before it is patched; run on the UI thread.
    std::function<void(const std::string& path)> ReleasePreview;
    // Shows the RIFF structure of a file; run on the UI thread. Throws on failure.
    std::function<void(const std::string& path)> ShowRiffHeader;

    TRenameCmd Renommer, AjouterDatecode, AjouterTimecode, PurgerNom;
    TFastcmd DateFichier;
    tCustomCmd SupprimerFichier;
    TFastcmd SupprimerScn, SupprimerSrt, ModifierCodec, FrequenceVideo;
    Tcmd DecalageHoraire;
    tCustomCmd DossierParent, DefaultPlayer, RiffHeader, OpenFichierF3, OpenFichierF4, Stillor, ViderListe;

    // The command of this name, ignoring case; null when there is none.
    tAbstractCmd* Find(const std::string& name);
    std::vector<tAbstractCmd*> Commands();

    std::string SaveFolder() const;
    std::string DestinationPath(const std::string& source, const std::string& suffix) const;

private:
    void setupRenames();
    void setupFiles();
    void setupLaunchers();
};

}  // namespace velinor
