#pragma once
// The preferences component of the main window: finds which store holds the settings, switches
// between the stores, and reads and writes typed and composite values through the current one.
// UI thread only.
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions/preferences.h"

namespace velinor {

// Where the stores live; tests point these at temporary folders.
struct PreferencesPaths {
    std::filesystem::path configDir;   // the per-user store is configDir/Morvane/<titre>.conf
    std::filesystem::path programDir;  // the portable store is programDir/<titre>.ini
    std::string exeName;               // full path of the executable, kept as "ExeName"

    // $XDG_CONFIG_HOME (when absolute) else ~/.config, and the folder of /proc/self/exe.
    static PreferencesPaths ForThisProcess();
};

// The texts of the choice window the owner shows when no store is chosen yet (HTML-like markup of
// the rich label), and its three buttons, each giving a mode.
inline constexpr const char* kSavePrefsMessage =
    "<br><size 10><i>Voulez-vous enregistrer vos préférences pour pouvoir les retrouver au prochain "
    "lancement?<br><br>Cliquez sur votre choix:</i><br><br>* soit pour les enregistrer dans le registre "
    "(mode normal).<br>* soit pour les enregistrer dans un fichier ini (mode portable).<br>* soit pour ne "
    "pas les enregistrer. Dans ce cas, elles seront perdues et les valeurs par défaut seront chargées lors "
    "du prochain lancement.<br></size>";
struct SavePrefsChoice {
    const char* caption;
    const char* hint;
    TSavePreferences mode;
};
inline constexpr SavePrefsChoice kSavePrefsChoices[] = {
    {"Normal", "Enregistre les préférences dans le registre.\r\nSi un fichier ini existait, il est supprimé.",
     TSavePreferences::spRegistre},
    {"Portable",
     "Enregistre les préférences dans un fichier ini.\r\nEfface les valeurs contenues dans le registre.",
     TSavePreferences::spPortable},
    {"Aucun",
     "Quitte sans enregistrer les préférences.\r\nSi elles existaient dans un fichier ini ou dans le "
     "registre,\r\nelles sont effacées.",
     TSavePreferences::spNone},
};

class TMorvanePreferences {
public:
    explicit TMorvanePreferences(PreferencesPaths paths, std::string titre = "Velinor");

    std::string titre;
    std::string version;
    std::function<void(TSavePreferences)> OnChangeMode;
    std::function<void(TMorvanePreferences&)> OnLoadPrefs;
    std::function<void(TMorvanePreferences&)> OnSavePrefs;
    // Asks the user where to keep the preferences (the choice window, shown with this caption);
    // nothing when the window was closed without a choice. Unset means closed without a choice.
    std::function<std::optional<TSavePreferences>(const std::string& caption)> OnChooseMode;
    // The time written as "Dernière Sauvegarde".
    std::function<std::time_t()> Clock = [] { return std::time(nullptr); };

    TSavePreferences DetectMode() const;
    // Replaces the back-end for the current mode. The store of the previous mode is not touched
    // here: it is deleted only after the next save into the new store has succeeded.
    void ApplyMode();
    void SetMode(TSavePreferences mode);
    TSavePreferences Mode() const { return mode_; }

    bool OpenPrefsKey(const std::string& name);
    bool ClosePrefsKey();
    // "Version", "Dernière Sauvegarde" (dd/mm/yyyy hh:mm:ss, local time) and "ExeName".
    bool WriteInfo(const std::string& versionText);

    // The window was shown: detect the store, open it, and let the owner load its lists.
    void Load();

    struct SaveOutcome {
        bool mayClose = true;  // false when the choice window was closed without a choice
        bool saved = false;    // the store now holds the values (or nothing was to be kept)
        std::string error;     // French reason of a failed write; the old store is then kept
    };
    // The window asks to close: choose the store the first time, write, then delete the stores
    // that are no longer used.
    SaveOutcome Save();

    bool ReadBoolean(const std::string& name, bool def);
    int32_t ReadInteger(const std::string& name, int32_t def);
    std::string ReadString(const std::string& name, const std::string& def);
    double ReadDouble(const std::string& name, double def);
    TRect ReadRect(const std::string& name, const TRect& def);
    std::vector<std::string> ReadStrings(const std::string& name, const std::vector<std::string>& def);
    TFont ReadFont(const std::string& name, const TFont& def);

    bool WriteBoolean(const std::string& name, bool value);
    bool WriteInteger(const std::string& name, int32_t value);
    bool WriteString(const std::string& name, const std::string& value);
    bool WriteDouble(const std::string& name, double value);
    bool WriteRect(const std::string& name, const TRect& value);
    bool WriteStrings(const std::string& name, const std::vector<std::string>& value);
    bool WriteFont(const std::string& name, const TFont& value);

    TPreferencesMan& Backend() { return *backend_; }
    std::filesystem::path RegistryFile() const;
    std::filesystem::path IniFile() const;
    static std::string SaveTimeText(std::time_t t);

private:
    std::string DeleteUnusedStores();

    PreferencesPaths paths_;
    TSavePreferences mode_ = TSavePreferences::spNone;
    std::unique_ptr<TPreferencesMan> backend_;
};

}  // namespace velinor
