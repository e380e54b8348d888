#include "commands/catalogue.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "actions/actions.h"
#include "commands/file_ops.h"
#include "filelist/avi_fichier.h"
#include "media/avi_patch.h"
#include "media/datetime_format.h"
#include "platform/error_text.h"
#include "platform/file_times.h"
#include "platform/process.h"
#include "platform/trash.h"
#include "platform/user_folders.h"

namespace velinor {

namespace {

constexpr const char* kNoDatecode = "le fichier n'a pas de datecode";

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

// Characters as a UTF-16 box counts them closely enough: one per code point.
size_t TextLength(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

[[noreturn]] void Fail(TCommandEngine& ce, const std::string& message) {
    ce.CommandError(message, etError);
    throw CommandReported();
}

const TaviFichier* Avi(const TAbstractListFichier* record) {
    return dynamic_cast<const TaviFichier*>(record);
}

bool HasDatecode(const TAbstractListFichier* record) {
    const TaviFichier* avi = Avi(record);
    if (!avi) return false;
    const std::string& t = avi->DatecodeText;
    return t != "N/A" && t != "Erreur" && t != "-" && avi->DatecodeValue != 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string GeneralFormat(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

const char* const kPurgeWords[] = {"type2", "type1", "in", "ntsc", "pal",
                                   "16x9",  "4x3",   "am", "pm",   "dvtype2"};

bool PurgeWord(const std::string& x) {
    return std::find(std::begin(kPurgeWords), std::end(kPurgeWords), x) != std::end(kPurgeWords) ||
           (x.size() >= 2 && x.front() == '(' && x.back() == ')');
}

// Index of the first "a"-"z" character; npos when there is none.
size_t FirstLetter(const std::string& x) {
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i] >= 'a' && x[i] <= 'z') return i;
    return std::string::npos;
}

// The path without its extension, and where its file name begins.
std::pair<std::string, size_t> Stem(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return {path, nameStart};
    return {path.substr(0, dot), nameStart};
}

std::string FreeWithNumber(const std::string& d) {
    std::string candidate = d;
    for (int n = 1; PathExists(candidate); ++n)
        candidate = ReplaceExtension(d, "_" + std::to_string(n) + ".avi");
    return candidate;
}

// Patches a file that may be read-only: write permission is lent for the patch and the
// permissions it had are put back.
void PatchKeepingMode(TCommandEngine& ce, const std::string& path,
                      const std::function<PatchResult()>& patch) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        Fail(ce, "Le fichier " + path + " est introuvable : " + ErrorText(errno));
    const mode_t mode = st.st_mode & 07777;
    const bool lend = (mode & S_IWUSR) == 0;
    if (lend && ::chmod(path.c_str(), mode | S_IWUSR) != 0)
        Fail(ce, "Impossible de rendre " + path + " modifiable : " + ErrorText(errno));
    const PatchResult result = patch();
    const bool restored = !lend || ::chmod(path.c_str(), mode) == 0;
    if (!result) Fail(ce, result.Error.empty() ? "Impossible de modifier " + path : result.Error);
    if (!restored) Fail(ce, "Impossible de remettre " + path + " en lecture seule : " + ErrorText(errno));
}

std::string DeleteQuestion(const std::string& name) {
    const std::string tail = "\nSi oui, il sera envoyé à la corbeille.";
    std::string q = "Voulez-vous vraiment supprimer le fichier " + name + " ?" + tail;
    if (TextLength(q) > 254) q = "Voulez-vous vraiment supprimer ce fichier?" + tail;
    return q;
}

}  // namespace

std::optional<double> ParseDecimal(const std::string& text) {
    std::string t = Trim(text);
    std::replace(t.begin(), t.end(), ',', '.');
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string ShiftText(double days) {
    const long long n = std::llrint(days * kSecondsPerDay);  // ties to even
    const long long d = n / 86400, h = (n / 3600) % 24, m = (n / 60) % 60, s = n % 60;
    char text[80];
    if (d != 0 || m != 0 || s != 0)
        std::snprintf(text, sizeof text, "%lld jours %.2lldh %.2lldm %.2llds", d, h, m, s);
    else
        std::snprintf(text, sizeof text, "%lld heures", h);
    return text;
}

bool TCommandSettings::Set(const std::string& name, const std::string& value) {
    const std::string key = Lower(name);
    std::string* text = key == "templaterenommer"         ? &TemplateRenommer
                        : key == "formatrenommerdatecode" ? &FormatRenommerDatecode
                        : key == "formatajouterdatecode"  ? &FormatAjouterDatecode
                        : key == "fichierf3"              ? &FichierF3
                        : key == "fichierf4"              ? &FichierF4
                        : key == "fichierstillor"         ? &FichierStillor
                        : key == "dossiersave"            ? &DossierSave
                                                          : nullptr;
    if (text) {
        *text = value;
        return true;
    }
    bool* flag = key == "datecodeavant"   ? &DatecodeAvant
                 : key == "timecodeavant" ? &TimecodeAvant
                 : key == "samefolder"    ? &SameFolder
                                          : nullptr;
    if (flag) {
        *flag = BooleanFromText(value);
        return true;
    }
    if (key == "numberdigits") {
        int digits = 0;
        const std::string t = Trim(value);
        const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), digits);
        if (t.empty() || error != std::errc() || end != t.data() + t.size() || digits < 0 || digits > 20)
            return false;
        NumberDigits = digits;
        return true;
    }
    return false;
}

std::string ExpandTemplate(const std::string& templ, const std::string& datePattern,
                           const TAbstractListFichier& record, int counter, int digits) {
    const TaviFichier* avi = Avi(&record);
    const std::string source = templ + ".avi";
    std::string name;
    // One pass over the template, so a code inside an inserted value is never expanded.
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] != '%' || i + 1 >= source.size()) {
            name += source[i];
            continue;
        }
        switch (std::toupper(static_cast<unsigned char>(source[i + 1]))) {
            case 'F':
                name += record.BaseName;
                break;
            case 'N': {
                char text[40];
                std::snprintf(text, sizeof text, "%0*d", std::clamp(digits, 0, 20), counter);
                name += text;
                break;
            }
            case 'D':
                if (avi) name += FormatDateTime(datePattern, avi->DatecodeValue + avi->Decalage);
                break;
            case 'T':
                if (avi) name += avi->TimecodeText;
                break;
            case 'C':
                if (avi) name += avi->Codec;
                break;
            case 'I':
                if (avi) name += avi->ImageText + avi->AspectText;
                break;
            case 'A':
                if (avi) name += avi->AudioText;
                break;
            case 'U':
                if (avi) name += avi->DurationText;
                break;
            default:
                name += source[i];
                continue;
        }
        ++i;
    }
    for (char& c : name) {
        if (c == '<' || c == '>' || c == '"' || c == '/' || c == '\\' || c == '|') c = '_';
        if (c == ':') c = '.';
    }
    return record.Folder + name;
}

std::string PurgedName(const std::string& path) {
    auto [s, nameStart] = Stem(path);
    for (;;) {
        const size_t underscore = s.rfind('_');
        if (underscore == std::string::npos || underscore < nameStart) break;
        const std::string x = Lower(Trim(s.substr(underscore + 1)));
        const size_t first = FirstLetter(x);
        const bool removable = PurgeWord(x) || first == std::string::npos || first + 1 >= x.size();
        if (!removable) break;
        s.erase(underscore);
    }
    std::string n = s;
    for (int i = 1; PathExists(n + ".avi"); ++i) n = s + "_" + std::to_string(i);
    return n + ".avi";
}

bool PurgeEnabled(const std::string& path) {
    const auto [s, nameStart] = Stem(path);
    const size_t underscore = s.rfind('_');
    if (underscore == std::string::npos || underscore < nameStart) return false;
    const std::string x = Lower(Trim(s.substr(underscore + 1)));
    const size_t first = FirstLetter(x);
    return PurgeWord(x) || (first != std::string::npos && first + 1 == x.size());
}

TdmAction::TdmAction() {
    setupRenames();
    setupFiles();
    setupLaunchers();
}

std::string TdmAction::SaveFolder() const {
    return Settings.DossierSave.empty() ? DefaultSaveFolder() : Settings.DossierSave;
}

std::string TdmAction::DestinationPath(const std::string& source, const std::string& suffix) const {
    return velinor::DestinationPath(source, suffix, Settings.SameFolder,
                                    Settings.SameFolder ? std::string() : SaveFolder());
}

void TdmAction::setupRenames() {
    // The rename commands always ask: the answer is never taken from another window's question.
    const auto alwaysAsk = [](const std::string&, TAbstractListFichier*, const CmdParams&, TCommandEngine&,
                              int) { return false; };
    const auto execution = [this](TAbstractListFichier* record, const std::string& d, const CmdParams&,
                                  TCommandEngine& ce, int) {
        const std::string path = record->FileName;
        // The counter advances whether or not this file could be renamed.
        ++RenameCounter;
        if (d.empty() || d == path) return;
        if (PathExists(d)) {
            const std::string aside = UniqueName(d);
            if (std::string error = RenameWithSidecars(d, aside); !error.empty())
                Fail(ce, "Impossible de renommer " + d + " en " + aside + " : " + error);
            ce.RekeyListed(d, aside);
        }
        if (std::string error = RenameWithSidecars(path, d); !error.empty()) {
            if (PathExists(path) || !PathExists(d))
                Fail(ce, "Impossible de renommer " + path + " en " + d + " : " + error);
            // The video moved; only a sidecar stayed behind.
            ce.CommandError("Renommé en " + d + ", mais : " + error, etError);
        }
    };
    const auto datecodeCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        enabled = visible = HasDatecode(record);
    };
    for (TRenameCmd* c : {&Renommer, &AjouterDatecode, &AjouterTimecode, &PurgerNom}) {
        c->Category = "Rename";
        c->Nombre = fnSelect;
        c->OnFileVerification = alwaysAsk;
        c->Tcmd::OnExecution = execution;
    }
    Renommer.Name = "Renommer";
    Renommer.OnFileCondition = datecodeCondition;
    Renommer.RefusalReason = kNoDatecode;
    Renommer.OnDestination = [this](TAbstractListFichier* record, const CmdParams&, int) {
        return ExpandTemplate(Settings.TemplateRenommer, Settings.FormatRenommerDatecode, *record,
                              RenameCounter, Settings.NumberDigits);
    };
    AjouterDatecode.Name = "AjouterDatecode";
    AjouterDatecode.OnFileCondition = datecodeCondition;
    AjouterDatecode.RefusalReason = kNoDatecode;
    AjouterDatecode.OnDestination = [this](TAbstractListFichier* record, const CmdParams&, int) {
        return FreeWithNumber(ExpandTemplate(Settings.DatecodeAvant ? "%D_%F" : "%F_%D",
                                             Settings.FormatAjouterDatecode, *record, RenameCounter,
                                             Settings.NumberDigits));
    };
    AjouterTimecode.Name = "AjouterTimecode";
    AjouterTimecode.RefusalReason = "le fichier n'a pas de timecode";
    AjouterTimecode.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        const TaviFichier* avi = Avi(record);
        enabled =
            avi && avi->TimecodeText != "N/A" && avi->TimecodeText != "Erreur" && avi->TimecodeText != "-";
        visible = enabled;
    };
    AjouterTimecode.OnDestination = [this](TAbstractListFichier* record, const CmdParams&, int) {
        return FreeWithNumber(ExpandTemplate(Settings.TimecodeAvant ? "%F_%T" : "%T_%F", std::string(),
                                             *record, RenameCounter, Settings.NumberDigits));
    };
    PurgerNom.Name = "PurgerNom";
    PurgerNom.RefusalReason = "le nom du fichier ne finit par aucun suffixe à retirer";
    PurgerNom.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = true;
        enabled = PurgeEnabled(record->FileName);
    };
    PurgerNom.OnDestination = [](TAbstractListFichier* record, const CmdParams&, int) {
        return PurgedName(record->FileName);
    };
}

void TdmAction::setupFiles() {
    const auto alwaysAsk = [](TAbstractListFichier*, const CmdParams&, TCommandEngine&, int) {
        return false;
    };
    const auto releasePreview = [this](TCommandEngine& ce, const std::string& path) {
        if (ReleasePreview) ce.InvokeUi([&] { ReleasePreview(path); });
    };

    DateFichier.Name = "DateFichier";
    DateFichier.Nombre = fnSelect;
    DateFichier.UpdateDisplay = udFinal;
    DateFichier.UpdateFile = ufReload;
    DateFichier.RefusalReason = kNoDatecode;
    DateFichier.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        enabled = visible = HasDatecode(record);
    };
    DateFichier.OnFileVerification = alwaysAsk;
    DateFichier.OnFileConFirmation = [](TAbstractListFichier* record, const CmdParams&, TCommandEngine&,
                                        int) {
        FileTimes times;
        ReadFileTimes(record->FileName, times);
        const TaviFichier* avi = Avi(record);
        const Datecode target = avi ? avi->DatecodeValue + avi->Decalage : 0;
        const std::string body =
            "\n\nDate de création actuelle: " + FormatDateTime("ddddd tt", times.Created) +
            "\nDate de modification actuelle:  " + FormatDateTime("ddddd tt", times.Modified) +
            "\nNouvelle date : " + FormatDateTime("ddddd tt", target);
        std::string q = "Voulez-vous vraiment modifier les dates du fichier '" + record->Name + "'" + body;
        if (TextLength(q) > 254) q = "Voulez-vous vraiment modifier les dates de ce fichier?" + body;
        return q;
    };
    DateFichier.tCustomCmd::OnExecution = [releasePreview](TAbstractListFichier* record, const CmdParams&,
                                                           TCommandEngine& ce, int) {
        const TaviFichier* avi = Avi(record);
        if (!avi || avi->DatecodeValue == 0) Fail(ce, record->FileName + " n'a pas de datecode.");
        releasePreview(ce, record->FileName);
        if (std::string error = SetFileModified(record->FileName, avi->DatecodeValue + avi->Decalage);
            !error.empty())
            Fail(ce, "Impossible de modifier les dates de " + record->FileName + " : " + error);
    };

    SupprimerFichier.Name = "SupprimerFichier";
    SupprimerFichier.Nombre = fnSelect;
    SupprimerFichier.UpdateDisplay = udFinal;
    SupprimerFichier.RefusalReason = "le fichier est en lecture seule";
    SupprimerFichier.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = true;
        const auto* sr = dynamic_cast<const TSRFichier*>(record);
        enabled = sr ? !sr->ReadOnly : ::access(record->FileName.c_str(), W_OK) == 0;
    };
    SupprimerFichier.OnFileVerification = alwaysAsk;
    SupprimerFichier.OnFileConFirmation = [](TAbstractListFichier* record, const CmdParams&, TCommandEngine&,
                                             int) { return DeleteQuestion(record->Name); };
    SupprimerFichier.OnExecution = [](TAbstractListFichier* record, const CmdParams&, TCommandEngine& ce,
                                      int) {
        const TrashResult r = MoveToTrash(record->FileName);
        if (!r) Fail(ce, r.Error);
        ce.RemoveCurrent();
    };

    struct Sidecar {
        TFastcmd* cmd;
        const char* name;
        const char* ext;
        const char* start;
        const char* error;
    };
    for (const Sidecar& s :
         {Sidecar{&SupprimerScn, "SupprimerScn", ".scn", "En train de supprimer le fichier scn de %s",
                  "Erreur en supprimant le fichier scn de %s"},
          Sidecar{&SupprimerSrt, "SupprimerSrt", ".srt", "En train de supprimer le fichier srt de %s",
                  "Erreur pendant la suppression du fichier srt de %s"}}) {
        TFastcmd& c = *s.cmd;
        const std::string ext = s.ext;
        c.Name = s.name;
        c.Category = "Conversion";
        c.Nombre = fnSelect;
        c.UpdateDisplay = udEach;
        c.UpdateFile = ufReload;
        c.StartMessage = s.start;
        c.ErrorMessage = s.error;
        c.RefusalReason = "le fichier n'a pas de fichier " + ext.substr(1);
        c.OnFileCondition = [ext](TAbstractListFichier* record, bool& visible, bool& enabled) {
            visible = true;
            const TaviFichier* avi = Avi(record);
            enabled = avi && (ext == ".scn" ? avi->HasScn : avi->HasSrt);
        };
        c.OnFileVerification = alwaysAsk;
        c.OnFileConFirmation = [ext](TAbstractListFichier* record, const CmdParams&, TCommandEngine&, int) {
            return DeleteQuestion(FileNameOf(ReplaceExtension(record->Name, ext)));
        };
        const std::string errorFormat = s.error;
        c.tCustomCmd::OnExecution = [ext, errorFormat](TAbstractListFichier* record, const CmdParams&,
                                                       TCommandEngine& ce, int passe) {
            const TrashResult r = MoveToTrash(ReplaceExtension(record->FileName, ext));
            if (!r) Fail(ce, FormatCmdMessage(errorFormat, record->FileName, passe) + "\n" + r.Error);
        };
    }

    ModifierCodec.Name = "ModifierCodec";
    ModifierCodec.Nombre = fnSelect;
    ModifierCodec.UpdateDisplay = udFinal;
    ModifierCodec.UpdateFile = ufReload;
    ModifierCodec.OnFileVerification = alwaysAsk;
    ModifierCodec.OnFileConFirmation = [](TAbstractListFichier* record, const CmdParams& params,
                                          TCommandEngine&, int) {
        const TaviFichier* avi = Avi(record);
        return "Voulez-vous changer le codec \"" + (avi ? avi->Codec : std::string()) + "\" de " +
               record->Name + " en \"" + (params.empty() ? std::string() : params[0]) + "\" ?";
    };
    ModifierCodec.tCustomCmd::OnExecution =
        [releasePreview](TAbstractListFichier* record, const CmdParams& params, TCommandEngine& ce, int) {
            if (params.empty() || params[0].empty() || params[0].size() > 4)
                Fail(ce, "Le codec doit avoir de un à quatre caractères.");
            releasePreview(ce, record->FileName);
            const FourCC code = FourCCFromText(params[0]);
            PatchKeepingMode(ce, record->FileName, [&] { return WriteVideoFourCC(record->FileName, code); });
        };

    FrequenceVideo.Name = "FrequenceVideo";
    FrequenceVideo.Nombre = fnSelect;
    FrequenceVideo.UpdateDisplay = udFinal;
    FrequenceVideo.UpdateFile = ufReload;
    FrequenceVideo.RefusalReason = "la fréquence d'un fichier DV type 1 ne se modifie pas";
    FrequenceVideo.OnFileCondition = [](TAbstractListFichier* record, bool& visible, bool& enabled) {
        visible = true;
        const TaviFichier* avi = Avi(record);
        enabled = !(avi && avi->IsDV && avi->DVType == 1);
    };
    FrequenceVideo.OnFileVerification = alwaysAsk;
    FrequenceVideo.OnFileConFirmation = [](TAbstractListFichier* record, const CmdParams& params,
                                           TCommandEngine&, int) {
        const TaviFichier* avi = Avi(record);
        return "Voulez-vous changer la fréquence " + GeneralFormat(avi ? avi->Fps : 0) + " de " +
               record->Name + " en " + (params.empty() ? std::string() : params[0]) + " ?";
    };
    FrequenceVideo.tCustomCmd::OnExecution =
        [releasePreview](TAbstractListFichier* record, const CmdParams& params, TCommandEngine& ce, int) {
            const std::optional<double> fps = params.empty() ? std::nullopt : ParseDecimal(params[0]);
            if (!fps || *fps <= 0)
                Fail(ce, "Fréquence invalide : " + (params.empty() ? std::string() : params[0]) + ".");
            releasePreview(ce, record->FileName);
            PatchKeepingMode(ce, record->FileName, [&] { return WriteFrameRate(record->FileName, *fps); });
        };

    DecalageHoraire.Name = "DecalageHoraire";
    DecalageHoraire.Nombre = fnSelect;
    DecalageHoraire.UpdateDisplay = udFinal;
    DecalageHoraire.OnExecution = [](TAbstractListFichier* record, const std::string&,
                                     const CmdParams& params, TCommandEngine& ce, int) {
        const double days = params.empty() ? 0 : ParseDecimal(params[0]).value_or(0);
        // Whole seconds, as its text shows it.
        const double rounded = std::nearbyint(days * kSecondsPerDay) / kSecondsPerDay;
        ce.InvokeUi([&] {
            if (auto* avi = dynamic_cast<TaviFichier*>(ce.Current())) {
                avi->Decalage = rounded;
                avi->DecalageText = rounded == 0 ? std::string() : ShiftText(rounded);
            }
        });
        (void)record;
    };
}

void TdmAction::setupLaunchers() {
    DossierParent.Name = "DossierParent";
    DossierParent.Nombre = fnSingle;
    DossierParent.OnExecution = [](TAbstractListFichier* record, const CmdParams&, TCommandEngine& ce, int) {
        if (std::string error = ShowInFolder(record->FileName); !error.empty()) Fail(ce, error);
    };
    DefaultPlayer.Name = "DefaultPlayer";
    DefaultPlayer.Nombre = fnSingle;
    DefaultPlayer.OnExecution = [](TAbstractListFichier* record, const CmdParams&, TCommandEngine& ce, int) {
        if (std::string error = OpenWithDefault(record->FileName); !error.empty()) Fail(ce, error);
    };
    RiffHeader.Name = "RiffHeader";
    RiffHeader.Nombre = fnSingle;
    RiffHeader.OnExecution = [this](TAbstractListFichier* record, const CmdParams&, TCommandEngine& ce, int) {
        if (!ShowRiffHeader) return;
        std::string error;
        ce.InvokeUi([&] {
            try {
                ShowRiffHeader(record->FileName);
            } catch (const std::exception& e) {
                error = e.what();
            }
        });
        if (!error.empty()) Fail(ce, error);
    };

    const auto launcher = [](const std::string* program) {
        return [program](TAbstractListFichier* record, const CmdParams&, TCommandEngine& ce, int) {
            if (std::string error = StartProgram(*program, {record->FileName}); !error.empty())
                Fail(ce, error);
        };
    };
    OpenFichierF3.Name = "OpenFichierF3";
    OpenFichierF4.Name = "OpenFichierF4";
    Stillor.Name = "Stillor";
    for (auto [cmd, program] :
         {std::pair{&OpenFichierF3, &Settings.FichierF3}, std::pair{&OpenFichierF4, &Settings.FichierF4},
          std::pair{&Stillor, &Settings.FichierStillor}}) {
        cmd->Nombre = fnSelect;
        cmd->OnExecution = launcher(program);
    }
    OpenFichierF3.OnCommandCondition = [this](TCommandEngine&) { return IsRegularFile(Settings.FichierF3); };
    OpenFichierF4.OnCommandCondition = [this](TCommandEngine&) { return IsRegularFile(Settings.FichierF4); };
    Stillor.OnFileCondition = [this](TAbstractListFichier*, bool& visible, bool& enabled) {
        visible = true;
        enabled = IsRegularFile(Settings.FichierStillor);
    };

    ViderListe.Name = "ViderListe";
    ViderListe.Nombre = fnNone;
    ViderListe.UpdateDisplay = udFinal;
    ViderListe.OnExecution = [](TAbstractListFichier*, const CmdParams&, TCommandEngine& ce, int) {
        ce.InvokeUi([&] {
            if (ce.SourceFichierListbox) ce.SourceFichierListbox->ClearFichiers();
        });
    };
}

tAbstractCmd* TdmAction::Find(const std::string& name) {
    const std::string key = Lower(name);
    for (tAbstractCmd* c : Commands())
        if (Lower(c->Name) == key) return c;
    return nullptr;
}

std::vector<tAbstractCmd*> TdmAction::Commands() {
    return {&Renommer,         &AjouterDatecode, &AjouterTimecode, &PurgerNom,     &DateFichier,
            &SupprimerFichier, &SupprimerScn,    &SupprimerSrt,    &ModifierCodec, &FrequenceVideo,
            &DecalageHoraire,  &DossierParent,   &DefaultPlayer,   &RiffHeader,    &OpenFichierF3,
            &OpenFichierF4,    &Stillor,         &ViderListe};
}

}  // namespace velinor
