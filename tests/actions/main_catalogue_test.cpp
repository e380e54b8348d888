// Walks the main window's catalogue and checks every action against the table of the program's
// actions: kind, category, captions, shortcuts, script name, switch, saving and default. The
// table keeps the catalogue's own notation (key names such as "Shift+Ctrl+VK_OEM_1", captions in
// quotes, "Space (Ctrl+Space)" for the key moved while text fields are open) and translates it
// here, so that a slip in either transcription shows up as a difference.
#include "actions/main_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "actions/preferences_morvane.h"
#include "actions/script/mv_script.h"
#include "actions/temp_dir.h"
#include "platform/product.h"

namespace velinor {
namespace {

constexpr bool L = false;
constexpr bool M = true;

struct Expected {
    bool manager;
    const char* name;
    const char* kind;
    const char* category;
    const char* caption;
    const char* shortcut;
    const char* script;
    const char* switchName;
    const char* saved;
};

// clang-format off
const Expected kCatalogue[] = {
    {L, "naInterrompre", "command", "permanent", "\"Interrompre\"", "Shift+Esc", "break", "brk", ""},
    {L, "naOrdreAlpha", "command", "Tri", "\"Ordre alphabétique\"", "Alt+A", "sortalpha", "sa", ""},
    {L, "naSelectionnerTout", "command", "liste", "\"Selectionner tout\"", "Ctrl+A", "SelectAll", "a", ""},
    {L, "naInterrompreTous", "command", "permanent", "\"Interrompre tout\"", "Esc", "BreakAll", "bk", ""},
    {L, "naTriTaille", "command", "Tri", "\"Trier selon la taille\"", "Alt+S", "sortbysize", "ss", ""},
    {L, "naTrierModify", "command", "Tri", "\"Trier selon la date du fichier\"", "Alt+F", "sortbyfiledate", "sf", ""},
    {L, "naTriDatecode", "command", "Tri", "\"Trier selon le datecode\"", "Alt+D", "sortbydate", "sd", ""},
    {L, "caFullscreen", "toggle", "mono", "\"Plein écran\" / \"Quitter plein écran\"", "Alt+Enter, CTRL+F11", "fullscreen", "fs", "default False"},
    {L, "caSelectionnerOuverts", "toggle", "permanent", "\"Sélectionner le fichiers ouverts\" / \"Ne pas sélectionner les fichiers ouverts\"", "", "selectwhenopen", "so", "applied at load; default False"},
    {L, "caPlayPause", "toggle", "mono", "\"Play\" / \"Pause\"", "Space (Ctrl+Space)", "play", "py", "default False"},
    {L, "naIncVolume", "command", "mono", "\"Augmenter le volume\"", "NumPad+ (Ctrl+NumPad+)", "incvol", "iv", ""},
    {L, "naDecVolume", "command", "mono", "\"Diminuer le volume\"", "NumPad− (Ctrl+NumPad−)", "decvol", "dv", ""},
    {L, "naAvanceFrame", "command", "Naviguer", "\"Avancer d'une frame\"", "Ctrl+Right", "avfr", "nf", ""},
    {L, "naAvanceSeconde", "command", "Naviguer", "\"Avancer d'une seconde\"", "Ctrl+Down", "avsec", "ns", ""},
    {L, "naAvanceMinute", "command", "Naviguer", "\"Avancer d'une minute\"", "Ctrl+PgDn", "avmin", "nm", ""},
    {L, "naAvanceFin", "command", "Naviguer", "\"Avancer à la fin\"", "Ctrl+End", "avfin", "ne", ""},
    {L, "naAvanceScene", "command", "Naviguer", "\"Avancer d'une scène\"", "F9", "avscn", "f9", ""},
    {L, "naReculeFrame", "command", "Naviguer", "\"Reculer d'une image\"", "Ctrl+Left", "recfr", "pf", ""},
    {L, "naReculeSeconde", "command", "Naviguer", "\"Reculer d'une seconde\"", "Ctrl+Up", "recsec", "ps", ""},
    {L, "naReculeMinute", "command", "Naviguer", "\"Reculer d'une minute\"", "Ctrl+PgUp", "recmin", "pm", ""},
    {L, "naReculeDebut", "command", "Naviguer", "\"Reculer au début\"", "Ctrl+Home", "recdeb", "ph", ""},
    {L, "naReculeScene", "command", "Naviguer", "\"Reculer d'une scène\"", "F8", "recscn", "f8", ""},
    {L, "naTriTimecode", "command", "Tri", "\"Tri selon le timecode\"", "Alt+T", "sorttimecode", "st", ""},
    {L, "naTriDuree", "command", "Tri", "\"Tri selon la durée\"", "Alt+U", "sortduration", "su", ""},
    {L, "caMute", "toggle", "mono", "\"Couper le son\" / \"Remettre le son\"", "Ctrl+M", "mute", "m", "default False"},
    {L, "caEditerScenes", "toggle", "Scenes", "\"Editer les scènes\" / \"Quitter l'éditeur de scènes\"", "Alt+E", "editscenes", "es", "not saved; default False"},
    {L, "saEnregistrerScn", "command", "Scenes", "\"Enregistrer le fichier scn\"", "", "savescn", "scn", ""},
    {L, "saSupprimerScene", "command", "Scenes", "\"Supprimer une scène\"", "", "deletescene", "ds", ""},
    {L, "saInsererScene", "command", "Scenes", "\"Insérer une scène\"", "", "insertscene", "is", ""},
    {L, "caListeGauche", "toggle", "interface", "\"Mettre Liste à Gauche\" / \"Mettre Liste à Droite\"", "Alt+W", "mirror", "ww", "applied at load; default True"},
    {L, "caVideoSeule", "toggle", "interface", "\"Afficher vidéo seule\" / \"Affichage complet\"", "Ctrl+Enter", "videoonly", "vo", "default False"},
    {L, "ccDefaultPlayer", "command", "mono", "\"Lire dans le player par défaut\"", "F5", "defaultplayer", "f5", ""},
    {L, "caEditerTitres", "toggle", "Scenes", "\"Editer le titre\" / \"Terminer l'édition du titre\"", "", "edTitles", "edt", "default False"},
    {L, "caDeinterlace", "toggle", "mono", "\"Désentrelacer\" / \"Arrêter de désentrelacer\"", "Ctrl+F12", "deinterlace", "di", "applied at load; default False"},
    {L, "naDureeTotale", "command", "liste", "\"Durée totale des vidéos\"", "Ctrl+J", "durtot", "dt", ""},
    {L, "iaVue", "integer", "interface", "\"Vue\"", "", "Vue", "vu", "applied at load; default 5"},
    {L, "iaWindowSize", "integer", "interface", "\"WindowSize\"", "", "WindowSize", "", "applied at load; default 0"},
    {L, "caSendTo", "toggle", "permanent", "\"Désactiver SendTo\" / \"Activer SendTo\"", "", "SendTo", "", "applied at load; default False"},
    {L, "waSortIndexId", "string", "Tri", "\"SortIndexId\"", "", "SortIndexId", "", "applied at load"},
    {L, "iaVolume", "integer", "mono", "\"Volume\"", "", "Volume", "", "applied at load; default 5000"},
    {L, "daDecalageDisplay", "real", "mono", "\"DecalageDisplay\"", "", "DecalageDisplay", "", ""},
    {L, "caAdvancedDecalage", "toggle", "mono", "", "", "AdvancedDecalage", "", "applied at load; default False"},
    {L, "caCTRLShortcuts", "toggle", "interface", "", "", "CTRLShortcuts", "", "not saved; default False"},
    {L, "caVueReduite", "toggle", "interface", "\"Vue réduite\" / \"Vue Normale\"", "", "VueReduite", "", "not saved; default False"},
    {L, "naOterSelection", "command", "liste", "\"Enlever la sélection\"", "Del (Ctrl+Del)", "remove", "del", "not saved"},
    {L, "naRiffHeader", "command", "mono", "\"RiffHeader\"", "Ctrl+H", "RiffHeader", "", "not saved"},
    {L, "naCopierImageDansPP", "command", "mono", "\"CopierImageDansPP\"", "Ctrl+F5", "copyimage", "ci", ""},
    {L, "ccConvertirDV1", "command", "multi", "\"Convertir en type 1\"", "Ctrl+NumPad1, Shift+CTRL+1", "converttype1", "1", ""},
    {L, "ccSupprimerFichier", "command", "multi", "\"Supprimer les fichiers\"", "Shift+Del", "delete", "del", ""},
    {L, "ccOpenFichierF3", "command", "multi", "\"Ouvrir avec...\"", "F3", "openf3", "f3", ""},
    {L, "ccOpenFichierF4", "command", "multi", "\"Ouvrir avec...\"", "F4", "openf4", "f4", ""},
    {L, "ccDecalageHoraire", "real", "multi", "\"Ajouter un décalage horaire\"", "", "timedifference", "td", ""},
    {L, "naCreerScnByDate", "command", "multi", "\"Créer un fichier scn selon date\"", "", "createscnbydate", "cd", "not saved"},
    {L, "ccCutScenes", "command", "multi", "\"Découper en scènes\"", "Ctrl+C", "cutscenes", "c", ""},
    {L, "ccConvertirDV2", "command", "multi", "\"Convertir en type 2\"", "Ctrl+NumPad2, CTRL+SHIFT+2", "converttype2", "2", ""},
    {L, "ccRecompresserDV2", "command", "multi", "\"Recompresser en DV type 2\"", "Ctrl+G", "recompressdv2", "g", ""},
    {L, "ccCorrigerType2", "command", "multi", "\"Corriger le DV type 2\"", "Shift+Ctrl+2", "fixtype2", "ft", ""},
    {L, "ccConvertirNTSC", "command", "multi", "\"Convertir en NTSC\"", "Ctrl+N", "convertntsc", "n", ""},
    {L, "ccConvertirPal", "command", "multi", "\"Convertir en Pal\"", "Ctrl+P", "convertpal", "p", ""},
    {L, "ccIncruster", "command", "multi", "\"Incruster dans le fichier\"", "Ctrl+I", "inlay", "i", ""},
    {L, "ccDecalerHoraire", "real", "multi", "\"Corriger le décalage horaire\"", "Ctrl+E", "settimedifference", "e", ""},
    {L, "ccExtraireAudio", "command", "multi", "\"Extraire l'audio\"", "Ctrl+W", "extractaudio", "w", ""},
    {L, "ccCreerScnByContenu", "command", "multi", "\"Créer un fichier scn par contenu\"", "Ctrl+VK_OEM_1", "createscnbycontent", "$", ""},
    {L, "ccSupprimerScn", "command", "multi", "\"Supprimer le fichier scn\"", "Ctrl+Z", "deletescn", "z", ""},
    {L, "ccCreerSrt", "command", "multi", "\"Créer un fichier de sous-titres srt\"", "Shift+Ctrl+S", "createsrt", "sr", ""},
    {L, "ccSupprimerSrt", "command", "multi", "\"Supprimer le fichier srt\"", "Shift+Ctrl+Z", "deletesrt", "dt", ""},
    {L, "ccExporterScenesTexte", "command", "multi", "\"Exporter les scènes en texte\"", "Ctrl+X", "exportscntext", "x", ""},
    // Renamed from "exportexcel", which is waExportExcel's "ExportExcel" to the script language.
    {L, "ccExporterScenesExcel", "command", "multi", "\"Exporter les scènes vers Excel\"", "Shift+Ctrl+X", "exportscnexcel", "xe", ""},
    {L, "ccStillor", "command", "multi", "\"Ouvrir avec Stillor\"", "F2", "stillor", "f2", ""},
    {L, "ccFrequenceVideo", "real", "multi", "\"Corriger la fréquence vidéo\"", "Ctrl+Y", "frequency", "y", ""},
    {L, "ccModifierCodec", "string", "multi", "\"Modifier le codec\"", "Ctrl+K", "codec", "k", ""},
    {L, "ccAjouterDatecode", "command", "Renommer", "\"Ajouter le datecode\"", "Ctrl+D", "adddatecode", "d", ""},
    {L, "ccAjouterTimecode", "command", "Renommer", "\"Ajouter le timecode\"", "Ctrl+T", "addtimecode", "t", ""},
    {L, "ccRenommer", "command", "Renommer", "\"Renommer\"", "Ctrl+R", "rename", "r", ""},
    {L, "ccDateFichier", "command", "multi", "\"Modifier la date du fichier\"", "Ctrl+B", "changefiledate", "b", ""},
    {L, "ccPurgerNom", "command", "Renommer", "\"Raccourcir le nom\"", "Ctrl+Q", "shorten", "sh", ""},
    {L, "ccExporterScenesCalc", "command", "multi", "\"Exporter les scènes vers Libre Office Calc\"", "", "exportooocalc", "ec", ""},
    {L, "ccExporterScenesWriter", "command", "multi", "\"Exporter les scènes vers Libre Office Writer\"", "", "exportooowriter", "ew", ""},
    {L, "ccExporterScenesWord", "command", "multi", "\"Exporter les scènes vers Word\"", "", "exportword", "xw", ""},
    {L, "ccConvertir16x9", "command", "multi", "\"Convertir en 16x9\"", "", "convert16x9", "16x9", ""},
    {L, "ccConvertir4x3", "command", "multi", "\"Convertir en 4x3\"", "", "convert4x3", "4x3", ""},
    {L, "ccCreerScnByIntervalle", "integer", "multi", "\"Créer un fichier scn par intervalles\"", "Shift+Ctrl+VK_OEM_1", "createscnbyinterval", "ci", "default 0"},
    {L, "ccIntroduireDatecode", "real", "multi", "\"Introduire un datecode\"", "Shift+Ctrl+E", "overwritedatecode", "od", ""},
    {L, "iaNumberDigits", "integer", "Renommer", "\"NumberDigits\"", "", "NumberDigits", "", "applied at load; default 3"},
    {L, "caSameFolder", "toggle", "Dossiers", "", "", "SameFolder", "sf", "applied at load; default True"},
    {L, "waDossierSave", "string", "Dossiers", "\"DossierSave\"", "", "DossierSave", "", "applied at load"},
    {L, "waDossierOuvrir", "string", "Dossiers", "\"DossierOuvrir\"", "", "DossierOuvrir", "", "applied at load"},
    {L, "waDossierFavori", "string", "Dossiers", "\"DossierFavori\"", "", "DossierFavori", "", "applied at load"},
    {L, "waDossierPlayList", "string", "Dossiers", "\"DossierPlayList\"", "", "DossierPlayList", "", "applied at load"},
    {L, "waFichierStillor", "string", "Dossiers", "\"FichierStillor\"", "", "FichierStillor", "", "applied at load"},
    {L, "waFichierF3", "string", "Dossiers", "\"FichierF3\"", "", "FichierF3", "", "applied at load"},
    {L, "waFichierF4", "string", "Dossiers", "\"FichierF4\"", "", "FichierF4", "", "applied at load"},
    {L, "waPerso1", "string", "incrust", "\"IncrustPerso1\"", "", "IncrustPerso1", "", "applied at load; default \"Votre modèle ici\""},
    {L, "waperso2", "string", "incrust", "\"IncrustPerso2\"", "", "IncrustPerso2", "", "applied at load; default \"avec datecode=%D, timecode=%T, etc...\""},
    {L, "waFormatdatecode1", "string", "incrust", "\"FormatDatecode1\"", "", "FormatDatecode1", "", "applied at load; default \"ddddd\""},
    {L, "waFormatDatecode2", "string", "incrust", "\"FormatDatecode2\"", "", "FormatDatecode2", "", "applied at load; default \"tt\""},
    {L, "iaWhatIncrust", "integer", "incrust", "\"WhatIncrust\"", "", "WhatIncrust", "", "applied at load; default 0"},
    {L, "faIncrustFont", "font", "incrust", "\"IncrustFont\"", "", "IncrustFont", "", "applied at load"},
    {L, "iaWhenIncrust", "integer", "incrust", "\"WhenIncrust\"", "", "WhenIncrust", "", "applied at load; default 0"},
    {L, "iaDureeIncrustation", "integer", "incrust", "\"DureeIncrustation\"", "", "DureeIncrustation", "", "applied at load; default 5"},
    {L, "iaBorderSize", "integer", "incrust", "\"BorderSize\"", "", "BorderSize", "", "applied at load; default 2"},
    {L, "caAfficherIncrustation", "toggle", "incrust", "\"Afficher l'incrustation\" / \"Masquer l'incrustation\"", "Alt+I", "displayinlay", "di", "applied at load; default False"},
    {L, "caEditerIncrust", "toggle", "incrust", "\"Editer l'incrustation\" / \"Arrêter l'édition d'incrustation\"", "Alt+J", "editinlay", "ei", "default False"},
    {L, "iaIncrustY", "integer", "incrust", "\"IncrustY\"", "", "IncrustY", "", "applied at load; default 920"},
    {L, "iaIncrustX", "integer", "incrust", "\"IncrustX\"", "", "IncrustX", "", "applied at load; default 920"},
    {L, "waFormatAfficherDatecode", "string", "Formats", "\"FormatAfficherDatecode\"", "", "FormatAfficherDatecode", "", "applied at load; default \" ddddd tt\""},
    {L, "waFormatAjouterDatecode", "string", "Formats", "\"FormatAjouterDatecode\"", "", "FormatAjouterDatecode", "", "applied at load; default \"ddddd\""},
    {L, "waFormatRenommerDatecode", "string", "Formats", "\"FormatRenommerDatecode\"", "", "FormatRenommerDatecode", "", "applied at load; default \"MyVideo_%D\""},
    {L, "waTemplateRenommer", "string", "Formats", "\"TemplateRenommer\"", "", "TemplateRenommer", "", "applied at load; default \"ClipDV%D\""},
    {L, "baDatecodeAvant", "boolean", "Formats", "\"DatecodeAvant\"", "", "DatecodeAvant", "", "applied at load; default False"},
    {L, "baTimecodeAvant", "boolean", "Formats", "\"TimecodeAvant\"", "", "TimecodeAvant", "", "applied at load; default False"},
    {L, "iaFrequenceDV", "integer", "DV", "\"FrequenceDV\"", "", "FrequenceDV", "", "applied at load; default 2"},
    {L, "iaRatioDV", "integer", "DV", "\"iaRatioDV\"", "", "RatioDV", "", "default 0"},
    {L, "iaIntervalle", "integer", "DV", "\"Intervalle\"", "", "Intervalle", "", "applied at load; default 20"},
    {L, "iaStandardDV", "integer", "DV", "\"StandardDV\"", "", "StandardDV", "", "applied at load; default 0"},
    {L, "iaFormatDuree", "integer", "DV", "\"FormatDuree\"", "", "FormatDuree", "", "applied at load; default 0"},
    {L, "saAvailable", "string list", "Export", "\"Disponibles\"", "", "Available", "", "applied at load"},
    {L, "saSelected", "string list", "Export", "\"Sélectionnés\"", "", "Selected", "", "applied at load"},
    {L, "waExportExcel", "string", "Export", "\"Export Excel\"", "", "ExportExcel", "", ""},
    {L, "waExportCSV", "string", "Export", "\"Export CSV\"", "", "ExportCSV", "", ""},
    {L, "naSelectColumns", "command", "Export", "\"Sélectionner Colonnes\"", "", "SelectColumns", "", ""},
    {L, "iaExcelFormat", "integer", "Export", "\"ExcelFormat\"", "", "ExcelFormat", "", "applied at load; default 43"},
    {L, "baKeepOpen", "boolean", "Export", "\"KeepOpen\"", "", "KeepOpen", "", "applied at load; default False"},
    {L, "waDossierExcel", "string", "Export", "\"DossierExcel\"", "", "DossierExcel", "", "applied at load"},

    {M, "caScript", "toggle", "internal", "\"Script\" / \"Script\"", "F12", "Script", "", "not saved; default False"},
    {M, "caHelp", "toggle", "internal", "\"Aide\" / \"Aide\"", "F1", "Help", "", "default False"},
    {M, "caAbout", "toggle", "internal", "\"A propos\" / \"A propos\"", "F11", "About", "", "not saved; default False"},
    {M, "caOptions", "toggle", "internal", "\"Options\" / \"Options\"", "F10", "Options", "", "not saved; default False"},
    {M, "caCustom", "toggle", "internal", "\"Frame Personnalisée\" / \"Frame Personnalisée\"", "Alt+F10", "Custom", "", "default False"},
    {M, "naQuit", "command", "internal", "\"Quitter\"", "Alt+F4", "Quit", "", ""},
    {M, "raFormSave", "rectangle", "internal", "", "", "FormSave", "", "applied at load"},
    {L, "ccVisitBlog", "command", "permanent", "\"Visiter le blog\"", "Alt+B", "blog", "bg", ""},
    {L, "naHomePage", "command", "permanent", "\"Page d'accueil\"", "Alt+F6", "HomePage", "", ""},
    {L, "naEMail", "command", "permanent", "\"Envoyer un e-mail\"", "Alt+F5", "EMail", "", ""},
};
// clang-format on

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// One key combination of the table ("Shift+Ctrl+VK_OEM_1", "NumPad−") as a portable key text
// ("Ctrl+Shift+$", "Num+-"): modifiers in the order Ctrl, Alt, Shift, then the keypad.
std::string PortableKey(std::string text) {
    text = Trimmed(text);
    if (text.empty()) return {};
    bool ctrl = false, alt = false, shift = false;
    for (;;) {
        if (StartsWithNoCase(text, "ctrl+")) {
            ctrl = true;
            text.erase(0, 5);
        } else if (StartsWithNoCase(text, "alt+")) {
            alt = true;
            text.erase(0, 4);
        } else if (StartsWithNoCase(text, "shift+")) {
            shift = true;
            text.erase(0, 6);
        } else {
            break;
        }
    }
    bool keypad = false;
    if (text.rfind("NumPad", 0) == 0) {
        keypad = true;
        text.erase(0, 6);
        if (text == "\u2212") text = "-";
    }
    if (text == "Enter") text = "Return";
    if (text == "PgDn") text = "PgDown";
    if (text == "VK_OEM_1") text = "$";
    std::string out;
    if (ctrl) out += "Ctrl+";
    if (alt) out += "Alt+";
    if (shift) out += "Shift+";
    if (keypad) out += "Num+";
    return out + text;
}

// "A", "A (B)" (B while the Ctrl shortcuts are on) or "A, C" (C an additional combination).
struct Keys {
    std::string primary, withCtrl, secondary;
};
Keys ParseKeys(const std::string& column) {
    Keys keys;
    std::string rest = column;
    if (const size_t open = rest.find(" ("); open != std::string::npos) {
        keys.withCtrl = PortableKey(rest.substr(open + 2, rest.find(')') - open - 2));
        rest.erase(open);
    }
    if (const size_t comma = rest.find(", "); comma != std::string::npos) {
        keys.secondary = PortableKey(rest.substr(comma + 2));
        rest.erase(comma);
    }
    keys.primary = PortableKey(rest);
    return keys;
}

// "\"A\"" or "\"A\" / \"B\"" (unchecked, then checked).
std::pair<std::string, std::string> ParseCaptions(const std::string& column) {
    auto unquote = [](std::string s) {
        s = Trimmed(s);
        if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
        return s;
    };
    const size_t slash = column.find("\" / \"");
    if (slash == std::string::npos) return {unquote(column), unquote(column)};
    return {unquote(column.substr(0, slash + 1)), unquote(column.substr(slash + 4))};
}

struct Saving {
    bool saved = true;
    bool applyAtLoad = false;
    std::optional<std::string> defaultText;
};
Saving ParseSaving(const std::string& column) {
    Saving s;
    s.saved = column.find("not saved") == std::string::npos;
    s.applyAtLoad = column.find("applied at load") != std::string::npos;
    if (const size_t d = column.find("default "); d != std::string::npos) {
        std::string value = column.substr(d + 8);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        s.defaultText = value;
    }
    return s;
}

bool IsKind(const TCustomAbstractAction& a, const std::string& kind) {
    if (kind == "command") return dynamic_cast<const TNopeAction*>(&a) != nullptr;
    if (kind == "toggle") return dynamic_cast<const TCheckAction*>(&a) != nullptr;
    if (kind == "integer") return dynamic_cast<const TIntegerAction*>(&a) != nullptr;
    if (kind == "real") return dynamic_cast<const TDoubleAction*>(&a) != nullptr;
    if (kind == "boolean") return dynamic_cast<const TBooleanAction*>(&a) != nullptr;
    if (kind == "string") return dynamic_cast<const TWidestringAction*>(&a) != nullptr;
    if (kind == "string list") return dynamic_cast<const TWStringsAction*>(&a) != nullptr;
    if (kind == "font") return dynamic_cast<const TFontAction*>(&a) != nullptr;
    if (kind == "rectangle") return dynamic_cast<const TRectAction*>(&a) != nullptr;
    return false;
}

// The design default as the value's own text (the form SetValueText reads back).
std::string DefaultText(const TCustomAbstractAction& a) {
    if (auto* c = dynamic_cast<const TCheckAction*>(&a)) return c->DefaultValue() ? "True" : "False";
    if (auto* i = dynamic_cast<const TIntegerAction*>(&a)) return std::to_string(i->DefaultValue());
    if (auto* b = dynamic_cast<const TBooleanAction*>(&a)) return b->DefaultValue() ? "True" : "False";
    if (auto* s = dynamic_cast<const TWidestringAction*>(&a)) return s->DefaultValue();
    return {};
}

TEST(MainCatalogue, EveryActionMatchesTheTable) {
    TMainCatalogue cat;
    std::set<std::string> names;
    for (const Expected& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(names.insert(e.name).second) << "listed twice";
        TMvActionList& list = e.manager ? cat.am : cat.al;
        TCustomAbstractAction* a = list.FindAction(e.name);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->Name(), e.name);
        EXPECT_TRUE(IsKind(*a, e.kind)) << e.kind;
        EXPECT_EQ(a->Category, e.category);

        const auto [unchecked, checked] = ParseCaptions(e.caption);
        if (auto* c = dynamic_cast<TCheckAction*>(a)) {
            EXPECT_EQ(c->FalseCaption(), unchecked);
            EXPECT_EQ(c->TrueCaption(), checked);
            EXPECT_EQ(c->Caption(), c->Checked() ? checked : unchecked);
        } else {
            EXPECT_EQ(a->Caption(), unchecked);
        }

        const Keys keys = ParseKeys(e.shortcut);
        EXPECT_EQ(a->ShortCut(), keys.primary);
        EXPECT_EQ(a->SecondaryShortcuts, keys.secondary.empty() ? std::vector<std::string>{}
                                                                : std::vector<std::string>{keys.secondary});

        EXPECT_EQ(a->ScriptName, e.script);
        EXPECT_EQ(a->Switch, e.switchName);

        const Saving saving = ParseSaving(e.saved);
        EXPECT_EQ(a->IncludePrefs, saving.saved);
        EXPECT_EQ(a->ApplyWhenLoad, saving.applyAtLoad);
        if (saving.defaultText) {
            EXPECT_EQ(DefaultText(*a), *saving.defaultText);
            EXPECT_EQ(a->ValueText(), *saving.defaultText) << "the value starts at the default";
        }
    }
    EXPECT_EQ(cat.al.Actions().size() + cat.am.Actions().size(), names.size())
        << "actions missing from the table";

    // Scripts call actions by name without regard to case: one name, one action.
    std::map<std::string, std::string> scripts;
    for (const TMvActionList* list : {&cat.al, &cat.am})
        for (const TCustomAbstractAction* a : list->Actions()) {
            std::string key = a->ScriptName;
            std::transform(key.begin(), key.end(), key.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            const auto [it, fresh] = scripts.emplace(key, a->Name());
            EXPECT_TRUE(fresh) << a->Name() << " and " << it->second << " share the script name " << key;
        }
}

TEST(MainCatalogue, OverlayFontDefaultsToWhiteArial16) {
    TMainCatalogue cat;
    const TFont& font = cat.Get<TFontAction>("faIncrustFont").DefaultValue();
    EXPECT_EQ(font.Name, "Arial");
    EXPECT_EQ(font.Size, 16);
    EXPECT_EQ(font.Color, 0x00FFFFFF);
    EXPECT_FALSE(font.Bold || font.Italic || font.Underline || font.StrikeOut);
    EXPECT_EQ(cat.Get<TFontAction>("faIncrustFont").CurrentValue(), font);
}

TEST(MainCatalogue, CtrlShortcutsMoveExactlyTheKeysTheTableMarks) {
    TMainCatalogue cat;
    auto& ctrl = cat.Get<TCheckAction>("caCTRLShortcuts");
    for (bool on : {true, false, true}) {
        ctrl.SetChecked(on);
        for (const Expected& e : kCatalogue) {
            const Keys keys = ParseKeys(e.shortcut);
            const std::string want = on && !keys.withCtrl.empty() ? keys.withCtrl : keys.primary;
            EXPECT_EQ(cat.Get(e.name).ShortCut(), want) << e.name << (on ? " with Ctrl" : " plain");
        }
    }
}

TEST(MainCatalogue, SortActionsSelectTheirOrder) {
    struct Case {
        const char* action;
        const char* order;
    };
    const Case kCases[] = {{"naOrdreAlpha", "alpha"},     {"naTriTaille", "taille"},
                           {"naTrierModify", "modify"},   {"naTriDatecode", "datecode"},
                           {"naTriTimecode", "timecode"}, {"naTriDuree", "duree"}};
    TMainCatalogue cat;
    std::vector<std::string> applied;
    cat.Get<TWidestringAction>("waSortIndexId").OnAfterApply = [&](const std::string& v) {
        applied.push_back(v);
    };
    for (const Case& c : kCases) {
        cat.Get(c.action).Execute();
        EXPECT_EQ(cat.Get<TWidestringAction>("waSortIndexId").CurrentValue(), c.order) << c.action;
        ASSERT_FALSE(applied.empty());
        EXPECT_EQ(applied.back(), c.order);
    }
    EXPECT_EQ(applied.size(), std::size(kCases));
}

TEST(MainCatalogue, VolumeStepsStayWithinRange) {
    struct Case {
        int start;
        const char* action;
        int result;
    };
    const Case kCases[] = {{5000, "naIncVolume", 6000},   {9500, "naIncVolume", 10000},
                           {10000, "naIncVolume", 10000}, {5000, "naDecVolume", 4000},
                           {500, "naDecVolume", 0},       {0, "naDecVolume", 0},
                           {-300, "naIncVolume", 1000},   {20000, "naDecVolume", 9000}};
    TMainCatalogue cat;
    auto& volume = cat.Get<TIntegerAction>("iaVolume");
    for (const Case& c : kCases) {
        volume.SetValue(c.start);
        cat.Get(c.action).Execute();
        EXPECT_EQ(volume.CurrentValue(), c.result) << c.start << " " << c.action;
    }
}

// Every "cc" action except the blog runs the command named by the rest of its name; so does
// naCreerScnByDate. The valued ones pass the value their dialog gave.
TEST(MainCatalogue, CommandActionsRunTheirCommandWithTheirValue) {
    TMainCatalogue cat;
    struct Run {
        std::string action, command;
        ActionValue parameter;
        bool closesScenes;
    };
    std::vector<Run> runs;
    cat.RunCommand = [&](TCustomAbstractAction& a, const CatalogueCommand& c, const ActionValue& p) {
        runs.push_back({a.Name(), c.Name, p, c.ClosesSceneEditor});
    };
    const std::set<std::string> kClosesScenes = {
        "ccCutScenes",          "ccExporterScenesTexte",  "ccExporterScenesExcel",
        "ccExporterScenesCalc", "ccExporterScenesWriter", "ccExporterScenesWord"};
    // What each dialog answers.
    cat.Get<TDoubleAction>("ccDecalageHoraire").OnPrepare = [](double& v) { return v = 0.5, true; };
    cat.Get<TDoubleAction>("ccDecalerHoraire").OnPrepare = [](double& v) { return v = -1.25, true; };
    cat.Get<TDoubleAction>("ccFrequenceVideo").OnPrepare = [](double& v) { return v = 29.97, true; };
    cat.Get<TDoubleAction>("ccIntroduireDatecode").OnPrepare = [](double& v) { return v = 45000.5, true; };
    cat.Get<TWidestringAction>("ccModifierCodec").OnPrepare = [](std::string& v) { return v = "dvsd", true; };
    cat.Get<TIntegerAction>("ccCreerScnByIntervalle").OnPrepare = [](int32_t& v) { return v = 30, true; };
    const std::map<std::string, ActionValue> kParameters = {{"ccDecalageHoraire", 0.5},
                                                            {"ccDecalerHoraire", -1.25},
                                                            {"ccFrequenceVideo", 29.97},
                                                            {"ccIntroduireDatecode", 45000.5},
                                                            {"ccModifierCodec", std::string("dvsd")},
                                                            {"ccCreerScnByIntervalle", int32_t{30}}};

    size_t expectedRuns = 0;
    for (const Expected& e : kCatalogue) {
        const std::string name = e.name;
        const bool runsCommand =
            (name.rfind("cc", 0) == 0 && name != "ccVisitBlog") || name == "naCreerScnByDate";
        const size_t before = runs.size();
        if (runsCommand) cat.Get(name).Execute();
        if (!runsCommand) {
            EXPECT_FALSE(cat.CommandOf(cat.Get(name)).has_value()) << name;
            continue;
        }
        ++expectedRuns;
        ASSERT_EQ(runs.size(), before + 1) << name;
        const Run& run = runs.back();
        EXPECT_EQ(run.command, name.substr(2)) << name;
        EXPECT_EQ(run.closesScenes, kClosesScenes.count(name) == 1) << name;
        const auto p = kParameters.find(name);
        EXPECT_EQ(run.parameter, p == kParameters.end() ? ActionValue{} : p->second) << name;
    }
    EXPECT_EQ(runs.size(), expectedRuns);
    EXPECT_EQ(expectedRuns, 37u);

    // A dialog closed without an answer runs nothing.
    cat.Get<TDoubleAction>("ccFrequenceVideo").OnPrepare = [](double&) { return false; };
    const size_t before = runs.size();
    cat.Get("ccFrequenceVideo").Execute();
    EXPECT_EQ(runs.size(), before);

    cat.DossierParentEntry.Execute();
    ASSERT_EQ(runs.size(), before + 1);
    EXPECT_EQ(runs.back().command, "DossierParent");
    EXPECT_EQ(cat.DossierParentEntry.ShortCut(), "Ctrl+F");
    EXPECT_EQ(cat.DossierParentEntry.Hint(), "Cliquez pour ouvrir le dossier contenant la vidéo actuelle");
}

TEST(MainCatalogue, OpenWithCaptionsNameTheProgram) {
    struct Case {
        const char* program;
        const char* caption;
    };
    const Case kCases[] = {{"", "Ouvrir avec..."},
                           {"/usr/bin/vlc", "Ouvrir avec vlc"},
                           {"/opt/Mon Lecteur/lecteur.sh", "Ouvrir avec lecteur"},
                           {"/home/a.b/prog", "Ouvrir avec prog"},
                           {"/usr/bin/mpv.real.bin", "Ouvrir avec mpv.real"}};
    TMainCatalogue cat;
    for (const Case& c : kCases) {
        cat.Get<TWidestringAction>("waFichierF3").SetValue(c.program);
        EXPECT_EQ(cat.Get("ccOpenFichierF3").Caption(), c.caption) << c.program;
        cat.Get<TWidestringAction>("waFichierF4").SetValue(c.program);
        EXPECT_EQ(cat.Get("ccOpenFichierF4").Caption(), c.caption) << c.program;
    }
    cat.UpdateOpenWithCaptions("/usr/bin/totem", "");
    EXPECT_EQ(cat.Get("ccOpenFichierF3").Caption(), "Ouvrir avec totem");
    EXPECT_EQ(cat.Get("ccOpenFichierF4").Caption(), "Ouvrir avec...");
}

TEST(MainCatalogue, WebActionsOpenTheProductAddresses) {
    TMainCatalogue cat;
    std::vector<std::string> opened;
    cat.OpenAddress = [&](const std::string& address) { opened.push_back(address); };
    for (const char* name : {"ccVisitBlog", "naHomePage", "naEMail"}) cat.Get(name).Execute();
    const std::vector<std::string> want = {product::kBlogAddress, product::kWebAddress, EMailAddress()};
    EXPECT_EQ(opened, want);
    EXPECT_EQ(EMailAddress(), std::string("mailto:") + product::kEmailAddress +
                                  "?subject=A%20propos%20de%20Velinor%20" + product::kVersion + "%20fr");
}

TEST(MainCatalogue, EmptyListHidesAllButPermanentActions) {
    TMainCatalogue cat;
    for (bool empty : {true, false, true}) {
        std::vector<std::string> refined;
        cat.RefreshVisibility(empty, [&](TCustomAbstractAction& a, const CatalogueCommand&) {
            refined.push_back(a.Name());
            if (a.Name() == "ccConvertirPal") a.SetEnabled(false);
        });
        for (const TCustomAbstractAction* a : cat.al.Actions()) {
            const bool shown = a->Category == "permanent" || !empty;
            EXPECT_EQ(a->Visible(), shown) << a->Name() << (empty ? " empty" : " with files");
            EXPECT_EQ(a->Enabled(), shown && a->Name() != "ccConvertirPal") << a->Name();
        }
        EXPECT_EQ(refined.size(), 38u) << "with the menu entry that runs DossierParent";
        EXPECT_EQ(cat.DossierParentEntry.Visible(), !empty);
        EXPECT_EQ(cat.CopyPictureEntry.Visible(), !empty);
    }
    // The application manager's actions are not the window's to hide.
    for (const TCustomAbstractAction* a : cat.am.Actions()) EXPECT_TRUE(a->Visible()) << a->Name();
}

TEST(MainCatalogue, GetRefusesUnknownNamesAndOtherKinds) {
    TMainCatalogue cat;
    EXPECT_THROW(cat.Get("naNothing"), std::out_of_range);
    EXPECT_THROW(cat.Get<TIntegerAction>("caMute"), std::logic_error);
    EXPECT_NO_THROW(cat.Get<TCheckAction>("caMute"));
    EXPECT_EQ(&cat.Get("naQuit"), cat.am.FindAction("naQuit"));
}

// A script reaches the catalogue's actions by their script names, both lists at once.
TEST(MainCatalogue, ScriptsCallTheActionsByScriptName) {
    TMainCatalogue cat;
    TMvScript script;
    cat.am.SetPascalScript(&script);
    cat.al.SetPascalScript(&script);
    std::vector<std::string> commands;
    cat.RunCommand = [&](TCustomAbstractAction&, const CatalogueCommand& c, const ActionValue&) {
        commands.push_back(c.Name);
    };
    ASSERT_TRUE(
        script.CompileScript("begin\n"
                             "  sortbysize;\n"
                             "  setmute(true);\n"
                             "  Volume(7000);\n"
                             "  IncrustPerso1('l''été');\n"
                             "  settimedifference(0.5);\n"
                             "  converttype2;\n"
                             "  exportscnexcel;\n"
                             "  ExportExcel('liste.xlsx');\n"
                             "end."))
        << script.Messages.front();
    EXPECT_EQ(script.Messages, std::vector<std::string>{"*** Compilation succeeded ***"})
        << "every declaration valid";
    ASSERT_TRUE(script.RunScript()) << script.Messages.back();
    EXPECT_EQ(cat.Get<TWidestringAction>("waSortIndexId").CurrentValue(), "taille");
    EXPECT_TRUE(cat.Get("caMute").Checked());
    EXPECT_EQ(cat.Get<TIntegerAction>("iaVolume").CurrentValue(), 7000);
    EXPECT_EQ(cat.Get<TWidestringAction>("waPerso1").CurrentValue(), "l'été");
    EXPECT_EQ(cat.Get<TDoubleAction>("ccDecalerHoraire").CurrentValue(), 0.5);
    EXPECT_EQ(commands, (std::vector<std::string>{"DecalerHoraire", "ConvertirDV2", "ExporterScenesExcel"}));
    EXPECT_EQ(cat.Get<TWidestringAction>("waExportExcel").CurrentValue(), "liste.xlsx");
    cat.al.SetPascalScript(nullptr);
    cat.am.SetPascalScript(nullptr);
}

// Saving the catalogue and loading it into a fresh one gives back the saved values, leaves the
// unsaved ones at their defaults, and applies those marked to apply at load.
TEST(MainCatalogue, CheckingOnePageUnchecksTheTwoOthers) {
    TMainCatalogue catalogue;
    const char* const pages[] = {"caOptions", "caAbout", "caCustom"};
    int hidden = 0;
    for (const char* page : pages) catalogue.Get<TCheckAction>(page).OnAfterFalseApply = [&] { ++hidden; };
    for (const char* page : {"caOptions", "caAbout", "caCustom", "caOptions"}) {
        catalogue.Get<TCheckAction>(page).SetChecked(true);
        for (const char* other : pages)
            EXPECT_EQ(catalogue.Get(other).Checked(), std::string(other) == page) << page << " " << other;
    }
    EXPECT_EQ(hidden, 3);  // each page left was hidden once
}

TEST(MainCatalogue, PreferencesRoundTripKeepsWhatIsSaved) {
    testing::TempDir dir;
    TMorvanePreferences prefs({dir.path() / "config", dir.path() / "bin", "/opt/velinor/velinor"});
    prefs.SetMode(TSavePreferences::spRegistre);
    struct Case {
        const char* action;
        const char* set;
        const char* loaded;
    };
    const Case kCases[] = {
        {"caMute", "True", "True"},
        {"caListeGauche", "False", "False"},
        {"caEditerScenes", "True", "False"},
        {"caVueReduite", "True", "False"},
        {"caScript", "True", "False"},
        {"caHelp", "True", "False"},  // saved, but no window is shown at start: the toggle says so
        {"iaVolume", "3000", "3000"},
        {"iaVue", "2", "2"},
        {"waTemplateRenommer", "Vacances_%D", "Vacances_%D"},
        {"waFichierF3", "/usr/bin/vlc", "/usr/bin/vlc"},
        {"saSelected", "Nom,Durée", "Nom,Durée"},
        {"raFormSave", "(10,20,980,770)", "(10,20,980,770)"},
        {"daDecalageDisplay", "0.25", "0.25"},
    };
    {
        TMainCatalogue saved;
        for (const Case& c : kCases) saved.Get(c.action).SetValueText(c.set);
        ASSERT_TRUE(prefs.OpenPrefsKey("UIForm"));
        EXPECT_TRUE(saved.am.SaveActions(prefs));
        EXPECT_TRUE(saved.al.SaveActions(prefs));
        prefs.ClosePrefsKey();
    }
    TMainCatalogue loaded;
    int listSideApplied = 0;
    loaded.Get<TCheckAction>("caListeGauche").OnAfterFalseApply = [&] { ++listSideApplied; };
    ASSERT_TRUE(prefs.OpenPrefsKey("UIForm"));
    EXPECT_TRUE(loaded.am.LoadActions(prefs));
    EXPECT_TRUE(loaded.al.LoadActions(prefs));
    prefs.ClosePrefsKey();
    for (const Case& c : kCases) EXPECT_EQ(loaded.Get(c.action).ValueText(), c.loaded) << c.action;
    EXPECT_EQ(listSideApplied, 1);
    EXPECT_EQ(loaded.Get("ccOpenFichierF3").Caption(), "Ouvrir avec vlc");

    // Without a stored view the normal one is shown, not the design default that selects none.
    TMainCatalogue fresh;
    EXPECT_EQ(fresh.Get<TIntegerAction>("iaVue").CurrentValue(), 5);
    ASSERT_TRUE(prefs.OpenPrefsKey("Vide"));
    EXPECT_TRUE(fresh.al.LoadActions(prefs));
    prefs.ClosePrefsKey();
    EXPECT_EQ(fresh.Get<TIntegerAction>("iaVue").CurrentValue(), 0);
    EXPECT_EQ(fresh.Get<TIntegerAction>("iaVolume").CurrentValue(), 5000);
    EXPECT_EQ(fresh.Get<TWidestringAction>("waPerso1").CurrentValue(), "Votre modèle ici");
}

}  // namespace
}  // namespace velinor
