#include "actions/preferences_morvane.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace velinor {

namespace {

// A back-end operation that throws counts as a failed one.
template <class F>
bool Guard(F&& f) {
    try {
        return f();
    } catch (...) {
        return false;
    }
}

}  // namespace

PreferencesPaths PreferencesPaths::ForThisProcess() {
    PreferencesPaths paths;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        paths.configDir = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        paths.configDir = std::filesystem::path(home) / ".config";
    }
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    paths.exeName = ec ? std::string() : exe.string();
    paths.programDir = ec ? std::filesystem::current_path(ec) : exe.parent_path();
    return paths;
}

TMorvanePreferences::TMorvanePreferences(PreferencesPaths paths, std::string titreText)
    : titre(std::move(titreText)),
      paths_(std::move(paths)),
      backend_(std::make_unique<TNonePreferencesMan>()) {}

std::filesystem::path TMorvanePreferences::RegistryFile() const {
    return paths_.configDir / "Morvane" / (titre + ".conf");
}

std::filesystem::path TMorvanePreferences::IniFile() const {
    return paths_.programDir / (titre + ".ini");
}

TSavePreferences TMorvanePreferences::DetectMode() const {
    std::error_code ec;
    if (std::filesystem::exists(IniFile(), ec)) return TSavePreferences::spPortable;
    if (std::filesystem::exists(RegistryFile(), ec)) return TSavePreferences::spRegistre;
    return TSavePreferences::spNone;
}

void TMorvanePreferences::ApplyMode() {
    backend_.reset();
    switch (mode_) {
        case TSavePreferences::spRegistre:
            backend_ = std::make_unique<TRegPreferencesMan>(RegistryFile(), true);
            break;
        case TSavePreferences::spPortable:
            backend_ = std::make_unique<TIniPreferencesMan>(IniFile(), true);
            break;
        case TSavePreferences::spNone:
            backend_ = std::make_unique<TNonePreferencesMan>();
            break;
    }
    if (OnChangeMode) OnChangeMode(mode_);
}

void TMorvanePreferences::SetMode(TSavePreferences mode) {
    if (mode == mode_) return;
    mode_ = mode;
    ApplyMode();
}

bool TMorvanePreferences::OpenPrefsKey(const std::string& name) {
    if (mode_ == TSavePreferences::spNone) return false;
    return Guard([&] { return backend_->OpenKey(name, true); });
}

bool TMorvanePreferences::ClosePrefsKey() {
    if (mode_ == TSavePreferences::spNone) return false;
    return Guard([&] { return backend_->CloseKey(); });
}

std::string TMorvanePreferences::SaveTimeText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%d/%m/%Y %H:%M:%S", &tm);
    return buf;
}

bool TMorvanePreferences::WriteInfo(const std::string& versionText) {
    bool ok = WriteString("Version", versionText);
    ok = WriteString("Dernière Sauvegarde", SaveTimeText(Clock())) && ok;
    ok = WriteString("ExeName", paths_.exeName) && ok;
    return ok;
}

void TMorvanePreferences::Load() {
    mode_ = DetectMode();
    ApplyMode();
    if (OnLoadPrefs) OnLoadPrefs(*this);
}

TMorvanePreferences::SaveOutcome TMorvanePreferences::Save() {
    SaveOutcome outcome;
    if (mode_ == TSavePreferences::spNone) {
        const auto choice =
            OnChooseMode ? OnChooseMode("Enregistrement des préférences de " + titre) : std::nullopt;
        if (!choice) {
            outcome.mayClose = false;
            return outcome;
        }
        mode_ = *choice;
        ApplyMode();
    }
    if (mode_ != TSavePreferences::spNone) {
        WriteInfo(version);
        if (OnSavePrefs) OnSavePrefs(*this);
        if (!Guard([&] { return backend_->Flush(); })) {
            outcome.error = backend_->LastError().empty()
                                ? "Impossible d'enregistrer les préférences de " + titre
                                : backend_->LastError();
            return outcome;
        }
    }
    outcome.error = DeleteUnusedStores();
    outcome.saved = outcome.error.empty();
    return outcome;
}

std::string TMorvanePreferences::DeleteUnusedStores() {
    std::string error;
    std::error_code ec;
    if (mode_ != TSavePreferences::spPortable && std::filesystem::exists(IniFile(), ec)) {
        if (!std::filesystem::remove(IniFile(), ec) || ec)
            error = "Impossible de supprimer le fichier " + IniFile().string() + " : " + ec.message();
    }
    if (mode_ != TSavePreferences::spRegistre && std::filesystem::exists(RegistryFile(), ec)) {
        if (!std::filesystem::remove(RegistryFile(), ec) || ec) {
            if (error.empty())
                error =
                    "Impossible de supprimer le fichier " + RegistryFile().string() + " : " + ec.message();
        } else {
            // The maker's folder goes too once no program of the maker keeps settings in it.
            const auto makerDir = RegistryFile().parent_path();
            if (std::filesystem::is_empty(makerDir, ec) && !ec) std::filesystem::remove(makerDir, ec);
        }
    }
    return error;
}

bool TMorvanePreferences::ReadBoolean(const std::string& name, bool def) {
    bool v = def;
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->ReadBool(name, v); })) return def;
    return v;
}

int32_t TMorvanePreferences::ReadInteger(const std::string& name, int32_t def) {
    int32_t v = def;
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->ReadInteger(name, v); }))
        return def;
    return v;
}

std::string TMorvanePreferences::ReadString(const std::string& name, const std::string& def) {
    std::string v;
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->ReadString(name, v); }))
        return def;
    return v;
}

double TMorvanePreferences::ReadDouble(const std::string& name, double def) {
    double v = def;
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->ReadFloat(name, v); })) return def;
    return v;
}

TRect TMorvanePreferences::ReadRect(const std::string& name, const TRect& def) {
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->OpenKey(name, false); }))
        return def;
    TRect r;
    const bool ok = Guard([&] {
        return backend_->ReadInteger("Top", r.Top) && backend_->ReadInteger("Left", r.Left) &&
               backend_->ReadInteger("Right", r.Right) && backend_->ReadInteger("Bottom", r.Bottom);
    });
    Guard([&] { return backend_->CloseKey(); });
    return ok ? r : def;
}

std::vector<std::string> TMorvanePreferences::ReadStrings(const std::string& name,
                                                          const std::vector<std::string>& def) {
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->OpenKey(name, false); }))
        return def;
    std::vector<std::string> result;
    const bool ok = Guard([&] {
        std::vector<std::string> names;
        if (!backend_->GetValueNames(names)) return false;
        for (const auto& valueName : names) {
            std::string item;
            if (!backend_->ReadString(valueName, item)) return false;
            result.push_back(std::move(item));
        }
        return true;
    });
    Guard([&] { return backend_->CloseKey(); });
    return ok ? result : def;
}

TFont TMorvanePreferences::ReadFont(const std::string& name, const TFont& def) {
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->OpenKey(name, false); }))
        return def;
    TFont f;
    const bool ok = Guard([&] {
        return backend_->ReadInteger("Charset", f.Charset) && backend_->ReadInteger("Color", f.Color) &&
               backend_->ReadString("Name", f.Name) && backend_->ReadInteger("Pitch", f.Pitch) &&
               backend_->ReadInteger("PixelsperInch", f.PixelsPerInch) &&
               backend_->ReadInteger("Size", f.Size) && backend_->ReadBool("Bold", f.Bold) &&
               backend_->ReadBool("Italic", f.Italic) && backend_->ReadBool("StrikeOut", f.StrikeOut) &&
               backend_->ReadBool("Underline", f.Underline);
    });
    Guard([&] { return backend_->CloseKey(); });
    return ok ? f : def;
}

bool TMorvanePreferences::WriteBoolean(const std::string& name, bool value) {
    return mode_ != TSavePreferences::spNone && Guard([&] { return backend_->WriteBool(name, value); });
}

bool TMorvanePreferences::WriteInteger(const std::string& name, int32_t value) {
    return mode_ != TSavePreferences::spNone && Guard([&] { return backend_->WriteInteger(name, value); });
}

bool TMorvanePreferences::WriteString(const std::string& name, const std::string& value) {
    return mode_ != TSavePreferences::spNone && Guard([&] { return backend_->WriteString(name, value); });
}

bool TMorvanePreferences::WriteDouble(const std::string& name, double value) {
    return mode_ != TSavePreferences::spNone && Guard([&] { return backend_->WriteFloat(name, value); });
}

bool TMorvanePreferences::WriteRect(const std::string& name, const TRect& value) {
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->OpenKey(name, true); }))
        return false;
    const bool ok = Guard([&] {
        return backend_->WriteInteger("Left", value.Left) && backend_->WriteInteger("Top", value.Top) &&
               backend_->WriteInteger("Right", value.Right) && backend_->WriteInteger("Bottom", value.Bottom);
    });
    Guard([&] { return backend_->CloseKey(); });
    return ok;
}

bool TMorvanePreferences::WriteStrings(const std::string& name, const std::vector<std::string>& value) {
    if (mode_ == TSavePreferences::spNone) return false;
    if (Guard([&] { return backend_->OpenKey(name, false); })) {
        Guard([&] {
            std::vector<std::string> names;
            backend_->GetValueNames(names);
            for (const auto& valueName : names) backend_->DeleteValue(valueName);
            return true;
        });
        Guard([&] { return backend_->CloseKey(); });
    }
    if (!Guard([&] { return backend_->OpenKey(name, true); })) return false;
    const bool ok = Guard([&] {
        for (size_t i = 0; i < value.size(); ++i)
            if (!backend_->WriteString("String" + std::to_string(i), value[i])) return false;
        return true;
    });
    Guard([&] { return backend_->CloseKey(); });
    return ok;
}

bool TMorvanePreferences::WriteFont(const std::string& name, const TFont& value) {
    if (mode_ == TSavePreferences::spNone || !Guard([&] { return backend_->OpenKey(name, true); }))
        return false;
    const bool ok = Guard([&] {
        return backend_->WriteInteger("Charset", value.Charset) &&
               backend_->WriteInteger("Color", value.Color) && backend_->WriteString("Name", value.Name) &&
               backend_->WriteInteger("Pitch", value.Pitch) &&
               backend_->WriteInteger("PixelsperInch", value.PixelsPerInch) &&
               backend_->WriteInteger("Size", value.Size) && backend_->WriteBool("Bold", value.Bold) &&
               backend_->WriteBool("Italic", value.Italic) &&
               backend_->WriteBool("StrikeOut", value.StrikeOut) &&
               backend_->WriteBool("Underline", value.Underline);
    });
    Guard([&] { return backend_->CloseKey(); });
    return ok;
}

}  // namespace velinor
