#include "actions/main_catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "actions/value_text.h"
#include "platform/product.h"

namespace velinor {

namespace {

enum class Kind : uint8_t { Nope, Check, Integer, Double, Boolean, String, Strings, Font, Rect };

enum : unsigned { kNotSaved = 1, kLoad = 2, kClosesScenes = 4 };

using Img = CatalogueImage;

// One action of the catalogue. Shortcuts are portable key texts; `secondary` is the additional
// combination. `defaultText` is the design default in the form SetValueText reads.
struct CatalogueRow {
    bool manager;
    Kind kind;
    const char* name;
    const char* category;
    const char* caption;
    const char* trueCaption;
    const char* shortcut;
    const char* secondary;
    const char* script;
    const char* switchName;
    unsigned flags;
    const char* defaultText;
    const char* command;
    Img image;
    Img trueImage;
};

constexpr bool L = false;  // the window's list
constexpr bool M = true;   // the application manager's list
constexpr Img N = Img::None;

// clang-format off
const CatalogueRow kRows[] = {
    // Interruption, sorting, list, video, navigation, scenes and interface.
    {L, Kind::Nope, "naInterrompre", "permanent", "Interrompre", "", "Shift+Esc", "", "break", "brk", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naOrdreAlpha", "Tri", "Ordre alphabétique", "", "Alt+A", "", "sortalpha", "sa", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naSelectionnerTout", "liste", "Selectionner tout", "", "Ctrl+A", "", "SelectAll", "a", 0, nullptr, "", Img::SelectAll, N},
    {L, Kind::Nope, "naInterrompreTous", "permanent", "Interrompre tout", "", "Esc", "", "BreakAll", "bk", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naTriTaille", "Tri", "Trier selon la taille", "", "Alt+S", "", "sortbysize", "ss", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naTrierModify", "Tri", "Trier selon la date du fichier", "", "Alt+F", "", "sortbyfiledate", "sf", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naTriDatecode", "Tri", "Trier selon le datecode", "", "Alt+D", "", "sortbydate", "sd", 0, nullptr, "", N, N},
    {L, Kind::Check, "caFullscreen", "mono", "Plein écran", "Quitter plein écran", "Alt+Return", "Ctrl+F11", "fullscreen", "fs", 0, "False", "", Img::Fullscreen, Img::LeaveFullscreen},
    {L, Kind::Check, "caSelectionnerOuverts", "permanent", "Sélectionner le fichiers ouverts", "Ne pas sélectionner les fichiers ouverts", "", "", "selectwhenopen", "so", kLoad, "False", "", N, N},
    {L, Kind::Check, "caPlayPause", "mono", "Play", "Pause", "Space", "", "play", "py", 0, "False", "", Img::Play, Img::Pause},
    {L, Kind::Nope, "naIncVolume", "mono", "Augmenter le volume", "", "Num++", "", "incvol", "iv", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naDecVolume", "mono", "Diminuer le volume", "", "Num+-", "", "decvol", "dv", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naAvanceFrame", "Naviguer", "Avancer d'une frame", "", "Ctrl+Right", "", "avfr", "nf", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naAvanceSeconde", "Naviguer", "Avancer d'une seconde", "", "Ctrl+Down", "", "avsec", "ns", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naAvanceMinute", "Naviguer", "Avancer d'une minute", "", "Ctrl+PgDown", "", "avmin", "nm", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naAvanceFin", "Naviguer", "Avancer à la fin", "", "Ctrl+End", "", "avfin", "ne", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naAvanceScene", "Naviguer", "Avancer d'une scène", "", "F9", "", "avscn", "f9", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naReculeFrame", "Naviguer", "Reculer d'une image", "", "Ctrl+Left", "", "recfr", "pf", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naReculeSeconde", "Naviguer", "Reculer d'une seconde", "", "Ctrl+Up", "", "recsec", "ps", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naReculeMinute", "Naviguer", "Reculer d'une minute", "", "Ctrl+PgUp", "", "recmin", "pm", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naReculeDebut", "Naviguer", "Reculer au début", "", "Ctrl+Home", "", "recdeb", "ph", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naReculeScene", "Naviguer", "Reculer d'une scène", "", "F8", "", "recscn", "f8", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naTriTimecode", "Tri", "Tri selon le timecode", "", "Alt+T", "", "sorttimecode", "st", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naTriDuree", "Tri", "Tri selon la durée", "", "Alt+U", "", "sortduration", "su", 0, nullptr, "", N, N},
    {L, Kind::Check, "caMute", "mono", "Couper le son", "Remettre le son", "Ctrl+M", "", "mute", "m", 0, "False", "", Img::SoundOn, Img::SoundOff},
    {L, Kind::Check, "caEditerScenes", "Scenes", "Editer les scènes", "Quitter l'éditeur de scènes", "Alt+E", "", "editscenes", "es", kNotSaved, "False", "", Img::EditScenes, Img::EditScenes},
    {L, Kind::Nope, "saEnregistrerScn", "Scenes", "Enregistrer le fichier scn", "", "", "", "savescn", "scn", 0, nullptr, "", Img::SaveScenes, N},
    {L, Kind::Nope, "saSupprimerScene", "Scenes", "Supprimer une scène", "", "", "", "deletescene", "ds", 0, nullptr, "", Img::DeleteScene, N},
    {L, Kind::Nope, "saInsererScene", "Scenes", "Insérer une scène", "", "", "", "insertscene", "is", 0, nullptr, "", Img::InsertScene, N},
    {L, Kind::Check, "caListeGauche", "interface", "Mettre Liste à Gauche", "Mettre Liste à Droite", "Alt+W", "", "mirror", "ww", kLoad, "True", "", N, N},
    {L, Kind::Check, "caVideoSeule", "interface", "Afficher vidéo seule", "Affichage complet", "Ctrl+Return", "", "videoonly", "vo", 0, "False", "", N, N},
    {L, Kind::Nope, "ccDefaultPlayer", "mono", "Lire dans le player par défaut", "", "F5", "", "defaultplayer", "f5", 0, nullptr, "DefaultPlayer", N, N},
    {L, Kind::Check, "caEditerTitres", "Scenes", "Editer le titre", "Terminer l'édition du titre", "", "", "edTitles", "edt", 0, "False", "", Img::Title, Img::Title},
    {L, Kind::Check, "caDeinterlace", "mono", "Désentrelacer", "Arrêter de désentrelacer", "Ctrl+F12", "", "deinterlace", "di", kLoad, "False", "", Img::Deinterlace, Img::Deinterlace},
    {L, Kind::Nope, "naDureeTotale", "liste", "Durée totale des vidéos", "", "Ctrl+J", "", "durtot", "dt", 0, nullptr, "", N, N},
    {L, Kind::Integer, "iaVue", "interface", "Vue", "", "", "", "Vue", "vu", kLoad, "5", "", N, N},
    {L, Kind::Integer, "iaWindowSize", "interface", "WindowSize", "", "", "", "WindowSize", "", kLoad, "0", "", N, N},
    {L, Kind::Check, "caSendTo", "permanent", "Désactiver SendTo", "Activer SendTo", "", "", "SendTo", "", kLoad, "False", "", N, N},
    {L, Kind::String, "waSortIndexId", "Tri", "SortIndexId", "", "", "", "SortIndexId", "", kLoad, nullptr, "", N, N},
    {L, Kind::Integer, "iaVolume", "mono", "Volume", "", "", "", "Volume", "", kLoad, "5000", "", N, N},
    {L, Kind::Double, "daDecalageDisplay", "mono", "DecalageDisplay", "", "", "", "DecalageDisplay", "", 0, nullptr, "", Img::TimeShift, N},
    {L, Kind::Check, "caAdvancedDecalage", "mono", "", "", "", "", "AdvancedDecalage", "", kLoad, "False", "", N, N},
    {L, Kind::Check, "caCTRLShortcuts", "interface", "", "", "", "", "CTRLShortcuts", "", kNotSaved, "False", "", N, N},
    {L, Kind::Check, "caVueReduite", "interface", "Vue réduite", "Vue Normale", "", "", "VueReduite", "", kNotSaved, "False", "", N, N},
    {L, Kind::Nope, "naOterSelection", "liste", "Enlever la sélection", "", "Del", "", "remove", "del", kNotSaved, nullptr, "", N, N},
    {L, Kind::Nope, "naRiffHeader", "mono", "RiffHeader", "", "Ctrl+H", "", "RiffHeader", "", kNotSaved, nullptr, "", N, N},
    {L, Kind::Nope, "naCopierImageDansPP", "mono", "CopierImageDansPP", "", "Ctrl+F5", "", "copyimage", "ci", 0, nullptr, "", N, N},
    // Commands over the files and renaming.
    {L, Kind::Nope, "ccConvertirDV1", "multi", "Convertir en type 1", "", "Ctrl+Num+1", "Ctrl+Shift+1", "converttype1", "1", 0, nullptr, "ConvertirDV1", N, N},
    {L, Kind::Nope, "ccSupprimerFichier", "multi", "Supprimer les fichiers", "", "Shift+Del", "", "delete", "del", 0, nullptr, "SupprimerFichier", N, N},
    {L, Kind::Nope, "ccOpenFichierF3", "multi", "Ouvrir avec...", "", "F3", "", "openf3", "f3", 0, nullptr, "OpenFichierF3", N, N},
    {L, Kind::Nope, "ccOpenFichierF4", "multi", "Ouvrir avec...", "", "F4", "", "openf4", "f4", 0, nullptr, "OpenFichierF4", N, N},
    {L, Kind::Double, "ccDecalageHoraire", "multi", "Ajouter un décalage horaire", "", "", "", "timedifference", "td", 0, nullptr, "DecalageHoraire", N, N},
    {L, Kind::Nope, "naCreerScnByDate", "multi", "Créer un fichier scn selon date", "", "", "", "createscnbydate", "cd", kNotSaved, nullptr, "CreerScnByDate", N, N},
    {L, Kind::Nope, "ccCutScenes", "multi", "Découper en scènes", "", "Ctrl+C", "", "cutscenes", "c", kClosesScenes, nullptr, "CutScenes", N, N},
    {L, Kind::Nope, "ccConvertirDV2", "multi", "Convertir en type 2", "", "Ctrl+Num+2", "Ctrl+Shift+2", "converttype2", "2", 0, nullptr, "ConvertirDV2", N, N},
    {L, Kind::Nope, "ccRecompresserDV2", "multi", "Recompresser en DV type 2", "", "Ctrl+G", "", "recompressdv2", "g", 0, nullptr, "RecompresserDV2", N, N},
    {L, Kind::Nope, "ccCorrigerType2", "multi", "Corriger le DV type 2", "", "Ctrl+Shift+2", "", "fixtype2", "ft", 0, nullptr, "CorrigerType2", N, N},
    {L, Kind::Nope, "ccConvertirNTSC", "multi", "Convertir en NTSC", "", "Ctrl+N", "", "convertntsc", "n", 0, nullptr, "ConvertirNTSC", N, N},
    {L, Kind::Nope, "ccConvertirPal", "multi", "Convertir en Pal", "", "Ctrl+P", "", "convertpal", "p", 0, nullptr, "ConvertirPal", N, N},
    {L, Kind::Nope, "ccIncruster", "multi", "Incruster dans le fichier", "", "Ctrl+I", "", "inlay", "i", 0, nullptr, "Incruster", N, N},
    {L, Kind::Double, "ccDecalerHoraire", "multi", "Corriger le décalage horaire", "", "Ctrl+E", "", "settimedifference", "e", 0, nullptr, "DecalerHoraire", N, N},
    {L, Kind::Nope, "ccExtraireAudio", "multi", "Extraire l'audio", "", "Ctrl+W", "", "extractaudio", "w", 0, nullptr, "ExtraireAudio", N, N},
    {L, Kind::Nope, "ccCreerScnByContenu", "multi", "Créer un fichier scn par contenu", "", "Ctrl+$", "", "createscnbycontent", "$", 0, nullptr, "CreerScnByContenu", N, N},
    {L, Kind::Nope, "ccSupprimerScn", "multi", "Supprimer le fichier scn", "", "Ctrl+Z", "", "deletescn", "z", 0, nullptr, "SupprimerScn", N, N},
    {L, Kind::Nope, "ccCreerSrt", "multi", "Créer un fichier de sous-titres srt", "", "Ctrl+Shift+S", "", "createsrt", "sr", 0, nullptr, "CreerSrt", N, N},
    {L, Kind::Nope, "ccSupprimerSrt", "multi", "Supprimer le fichier srt", "", "Ctrl+Shift+Z", "", "deletesrt", "dt", 0, nullptr, "SupprimerSrt", N, N},
    {L, Kind::Nope, "ccExporterScenesTexte", "multi", "Exporter les scènes en texte", "", "Ctrl+X", "", "exportscntext", "x", kClosesScenes, nullptr, "ExporterScenesTexte", N, N},
    // Script names ignore case, so "exportexcel" would hide waExportExcel's "ExportExcel".
    {L, Kind::Nope, "ccExporterScenesExcel", "multi", "Exporter les scènes vers Excel", "", "Ctrl+Shift+X", "", "exportscnexcel", "xe", kClosesScenes, nullptr, "ExporterScenesExcel", N, N},
    {L, Kind::Nope, "ccStillor", "multi", "Ouvrir avec Stillor", "", "F2", "", "stillor", "f2", 0, nullptr, "Stillor", N, N},
    {L, Kind::Double, "ccFrequenceVideo", "multi", "Corriger la fréquence vidéo", "", "Ctrl+Y", "", "frequency", "y", 0, nullptr, "FrequenceVideo", N, N},
    {L, Kind::String, "ccModifierCodec", "multi", "Modifier le codec", "", "Ctrl+K", "", "codec", "k", 0, nullptr, "ModifierCodec", N, N},
    {L, Kind::Nope, "ccAjouterDatecode", "Renommer", "Ajouter le datecode", "", "Ctrl+D", "", "adddatecode", "d", 0, nullptr, "AjouterDatecode", N, N},
    {L, Kind::Nope, "ccAjouterTimecode", "Renommer", "Ajouter le timecode", "", "Ctrl+T", "", "addtimecode", "t", 0, nullptr, "AjouterTimecode", N, N},
    {L, Kind::Nope, "ccRenommer", "Renommer", "Renommer", "", "Ctrl+R", "", "rename", "r", 0, nullptr, "Renommer", N, N},
    {L, Kind::Nope, "ccDateFichier", "multi", "Modifier la date du fichier", "", "Ctrl+B", "", "changefiledate", "b", 0, nullptr, "DateFichier", N, N},
    {L, Kind::Nope, "ccPurgerNom", "Renommer", "Raccourcir le nom", "", "Ctrl+Q", "", "shorten", "sh", 0, nullptr, "PurgerNom", N, N},
    {L, Kind::Nope, "ccExporterScenesCalc", "multi", "Exporter les scènes vers Libre Office Calc", "", "", "", "exportooocalc", "ec", kClosesScenes, nullptr, "ExporterScenesCalc", N, N},
    {L, Kind::Nope, "ccExporterScenesWriter", "multi", "Exporter les scènes vers Libre Office Writer", "", "", "", "exportooowriter", "ew", kClosesScenes, nullptr, "ExporterScenesWriter", N, N},
    {L, Kind::Nope, "ccExporterScenesWord", "multi", "Exporter les scènes vers Word", "", "", "", "exportword", "xw", kClosesScenes, nullptr, "ExporterScenesWord", N, N},
    {L, Kind::Nope, "ccConvertir16x9", "multi", "Convertir en 16x9", "", "", "", "convert16x9", "16x9", 0, nullptr, "Convertir16x9", N, N},
    {L, Kind::Nope, "ccConvertir4x3", "multi", "Convertir en 4x3", "", "", "", "convert4x3", "4x3", 0, nullptr, "Convertir4x3", N, N},
    {L, Kind::Integer, "ccCreerScnByIntervalle", "multi", "Créer un fichier scn par intervalles", "", "Ctrl+Shift+$", "", "createscnbyinterval", "ci", 0, "0", "CreerScnByIntervalle", N, N},
    {L, Kind::Double, "ccIntroduireDatecode", "multi", "Introduire un datecode", "", "Ctrl+Shift+E", "", "overwritedatecode", "od", 0, nullptr, "IntroduireDatecode", N, N},
    {L, Kind::Integer, "iaNumberDigits", "Renommer", "NumberDigits", "", "", "", "NumberDigits", "", kLoad, "3", "", N, N},
    // Folders, overlay, formats, DV, export.
    {L, Kind::Check, "caSameFolder", "Dossiers", "", "", "", "", "SameFolder", "sf", kLoad, "True", "", N, N},
    {L, Kind::String, "waDossierSave", "Dossiers", "DossierSave", "", "", "", "DossierSave", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waDossierOuvrir", "Dossiers", "DossierOuvrir", "", "", "", "DossierOuvrir", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waDossierFavori", "Dossiers", "DossierFavori", "", "", "", "DossierFavori", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waDossierPlayList", "Dossiers", "DossierPlayList", "", "", "", "DossierPlayList", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waFichierStillor", "Dossiers", "FichierStillor", "", "", "", "FichierStillor", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waFichierF3", "Dossiers", "FichierF3", "", "", "", "FichierF3", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waFichierF4", "Dossiers", "FichierF4", "", "", "", "FichierF4", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waPerso1", "incrust", "IncrustPerso1", "", "", "", "IncrustPerso1", "", kLoad, "Votre modèle ici", "", N, N},
    {L, Kind::String, "waperso2", "incrust", "IncrustPerso2", "", "", "", "IncrustPerso2", "", kLoad, "avec datecode=%D, timecode=%T, etc...", "", N, N},
    {L, Kind::String, "waFormatdatecode1", "incrust", "FormatDatecode1", "", "", "", "FormatDatecode1", "", kLoad, "ddddd", "", N, N},
    {L, Kind::String, "waFormatDatecode2", "incrust", "FormatDatecode2", "", "", "", "FormatDatecode2", "", kLoad, "tt", "", N, N},
    {L, Kind::Integer, "iaWhatIncrust", "incrust", "WhatIncrust", "", "", "", "WhatIncrust", "", kLoad, "0", "", N, N},
    {L, Kind::Font, "faIncrustFont", "incrust", "IncrustFont", "", "", "", "IncrustFont", "", kLoad, nullptr, "", N, N},
    {L, Kind::Integer, "iaWhenIncrust", "incrust", "WhenIncrust", "", "", "", "WhenIncrust", "", kLoad, "0", "", N, N},
    {L, Kind::Integer, "iaDureeIncrustation", "incrust", "DureeIncrustation", "", "", "", "DureeIncrustation", "", kLoad, "5", "", N, N},
    {L, Kind::Integer, "iaBorderSize", "incrust", "BorderSize", "", "", "", "BorderSize", "", kLoad, "2", "", N, N},
    {L, Kind::Check, "caAfficherIncrustation", "incrust", "Afficher l'incrustation", "Masquer l'incrustation", "Alt+I", "", "displayinlay", "di", kLoad, "False", "", Img::OverlayShow, Img::OverlayHide},
    {L, Kind::Check, "caEditerIncrust", "incrust", "Editer l'incrustation", "Arrêter l'édition d'incrustation", "Alt+J", "", "editinlay", "ei", 0, "False", "", Img::EditOverlay, Img::EditOverlay},
    {L, Kind::Integer, "iaIncrustY", "incrust", "IncrustY", "", "", "", "IncrustY", "", kLoad, "920", "", N, N},
    {L, Kind::Integer, "iaIncrustX", "incrust", "IncrustX", "", "", "", "IncrustX", "", kLoad, "920", "", N, N},
    {L, Kind::String, "waFormatAfficherDatecode", "Formats", "FormatAfficherDatecode", "", "", "", "FormatAfficherDatecode", "", kLoad, " ddddd tt", "", N, N},
    {L, Kind::String, "waFormatAjouterDatecode", "Formats", "FormatAjouterDatecode", "", "", "", "FormatAjouterDatecode", "", kLoad, "ddddd", "", N, N},
    {L, Kind::String, "waFormatRenommerDatecode", "Formats", "FormatRenommerDatecode", "", "", "", "FormatRenommerDatecode", "", kLoad, "MyVideo_%D", "", N, N},
    {L, Kind::String, "waTemplateRenommer", "Formats", "TemplateRenommer", "", "", "", "TemplateRenommer", "", kLoad, "ClipDV%D", "", N, N},
    {L, Kind::Boolean, "baDatecodeAvant", "Formats", "DatecodeAvant", "", "", "", "DatecodeAvant", "", kLoad, "False", "", N, N},
    {L, Kind::Boolean, "baTimecodeAvant", "Formats", "TimecodeAvant", "", "", "", "TimecodeAvant", "", kLoad, "False", "", N, N},
    {L, Kind::Integer, "iaFrequenceDV", "DV", "FrequenceDV", "", "", "", "FrequenceDV", "", kLoad, "2", "", N, N},
    {L, Kind::Integer, "iaRatioDV", "DV", "iaRatioDV", "", "", "", "RatioDV", "", 0, "0", "", N, N},
    {L, Kind::Integer, "iaIntervalle", "DV", "Intervalle", "", "", "", "Intervalle", "", kLoad, "20", "", N, N},
    {L, Kind::Integer, "iaStandardDV", "DV", "StandardDV", "", "", "", "StandardDV", "", kLoad, "0", "", N, N},
    {L, Kind::Integer, "iaFormatDuree", "DV", "FormatDuree", "", "", "", "FormatDuree", "", kLoad, "0", "", N, N},
    {L, Kind::Strings, "saAvailable", "Export", "Disponibles", "", "", "", "Available", "", kLoad, nullptr, "", N, N},
    {L, Kind::Strings, "saSelected", "Export", "Sélectionnés", "", "", "", "Selected", "", kLoad, nullptr, "", N, N},
    {L, Kind::String, "waExportExcel", "Export", "Export Excel", "", "", "", "ExportExcel", "", 0, nullptr, "", Img::ExportExcel, N},
    {L, Kind::String, "waExportCSV", "Export", "Export CSV", "", "", "", "ExportCSV", "", 0, nullptr, "", N, N},
    {L, Kind::Nope, "naSelectColumns", "Export", "Sélectionner Colonnes", "", "", "", "SelectColumns", "", 0, nullptr, "", N, N},
    {L, Kind::Integer, "iaExcelFormat", "Export", "ExcelFormat", "", "", "", "ExcelFormat", "", kLoad, "43", "", N, N},
    {L, Kind::Boolean, "baKeepOpen", "Export", "KeepOpen", "", "", "", "KeepOpen", "", kLoad, "False", "", N, N},
    {L, Kind::String, "waDossierExcel", "Export", "DossierExcel", "", "", "", "DossierExcel", "", kLoad, nullptr, "", N, N},
    // The product's web pages and its maker's address.
    {L, Kind::Nope, "ccVisitBlog", "permanent", "Visiter le blog", "", "Alt+B", "", "blog", "bg", 0, nullptr, "", Img::WebPage, N},
    {L, Kind::Nope, "naHomePage", "permanent", "Page d'accueil", "", "Alt+F6", "", "HomePage", "", 0, nullptr, "", Img::WebPage, N},
    {L, Kind::Nope, "naEMail", "permanent", "Envoyer un e-mail", "", "Alt+F5", "", "EMail", "", 0, nullptr, "", Img::EMail, N},
    // The application manager.
    {M, Kind::Check, "caScript", "internal", "Script", "Script", "F12", "", "Script", "", kNotSaved, "False", "", Img::Script, Img::Script},
    {M, Kind::Check, "caHelp", "internal", "Aide", "Aide", "F1", "", "Help", "", 0, "False", "", Img::Help, Img::Help},
    {M, Kind::Check, "caAbout", "internal", "A propos", "A propos", "F11", "", "About", "", kNotSaved, "False", "", Img::About, Img::About},
    {M, Kind::Check, "caOptions", "internal", "Options", "Options", "F10", "", "Options", "", kNotSaved, "False", "", Img::Options, Img::Options},
    {M, Kind::Check, "caCustom", "internal", "Frame Personnalisée", "Frame Personnalisée", "Alt+F10", "", "Custom", "", 0, "False", "", N, N},
    {M, Kind::Nope, "naQuit", "internal", "Quitter", "", "Alt+F4", "", "Quit", "", 0, nullptr, "", Img::Quit, N},
    {M, Kind::Rect, "raFormSave", "internal", "", "", "", "", "FormSave", "", kLoad, nullptr, "", N, N},
};
// clang-format on

// The keys text fields need, and the Ctrl combinations they move to (the second column).
struct CtrlShortcut {
    const char* action;
    const char* plain;
    const char* withCtrl;
};
const CtrlShortcut kCtrlShortcuts[] = {
    {"caPlayPause", "Space", "Ctrl+Space"},
    {"naIncVolume", "Num++", "Ctrl+Num++"},
    {"naDecVolume", "Num+-", "Ctrl+Num+-"},
    {"naOterSelection", "Del", "Ctrl+Del"},
};

// The sort actions and the sort order identifier each selects.
struct SortRow {
    const char* action;
    const char* order;
};
const SortRow kSorts[] = {
    {"naOrdreAlpha", "alpha"},     {"naTriTaille", "taille"},     {"naTrierModify", "modify"},
    {"naTriDatecode", "datecode"}, {"naTriTimecode", "timecode"}, {"naTriDuree", "duree"},
};

constexpr int32_t kVolumeStep = 1000;
constexpr int32_t kVolumeMax = 10'000;

TCustomAbstractAction& CreateOfKind(TMvActionList& list, const CatalogueRow& row) {
    switch (row.kind) {
        case Kind::Nope:
            return list.Create<TNopeAction>(row.name);
        case Kind::Check:
            return list.Create<TCheckAction>(row.name);
        case Kind::Integer:
            return list.Create<TIntegerAction>(row.name);
        case Kind::Double:
            return list.Create<TDoubleAction>(row.name);
        case Kind::Boolean:
            return list.Create<TBooleanAction>(row.name);
        case Kind::String:
            return list.Create<TWidestringAction>(row.name);
        case Kind::Strings:
            return list.Create<TWStringsAction>(row.name);
        case Kind::Font:
            return list.Create<TFontAction>(row.name);
        case Kind::Rect:
            return list.Create<TRectAction>(row.name);
    }
    throw std::logic_error("unknown action kind");
}

// Sets the design default, which is also the value until the preferences are loaded.
void SetDesignDefault(TCustomAbstractAction& action, const CatalogueRow& row) {
    if (row.kind == Kind::Font) {
        auto& font = static_cast<TFontAction&>(action);
        TFont white;
        white.Name = "Arial";
        white.Size = 16;
        white.Color = 0x00FFFFFF;  // 0x00BBGGRR
        font.SetDefaultValue(white);
        font.SetValue(white);
        return;
    }
    if (!row.defaultText) return;
    const std::string text = row.defaultText;
    switch (row.kind) {
        case Kind::Check:
            static_cast<TCheckAction&>(action).SetDefaultValue(BooleanFromText(text));
            break;
        case Kind::Integer: {
            auto& a = static_cast<TIntegerAction&>(action);
            a.SetDefaultValue(text::ParseInt32(text).value_or(0));
            a.SetValue(a.DefaultValue());
            break;
        }
        case Kind::Boolean: {
            auto& a = static_cast<TBooleanAction&>(action);
            a.SetDefaultValue(BooleanFromText(text));
            a.SetValue(a.DefaultValue());
            break;
        }
        case Kind::String: {
            auto& a = static_cast<TWidestringAction&>(action);
            a.SetDefaultValue(text);
            a.SetValue(text);
            break;
        }
        default:
            break;
    }
}

}  // namespace

std::string EMailAddress() {
    // The subject is percent-encoded byte by byte, as a mailto URL wants it.
    const std::string subject = std::string("A propos de ") + product::kWindowTitle;
    std::string out = std::string("mailto:") + product::kEmailAddress + "?subject=";
    for (const unsigned char c : subject) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string CatalogueProgramName(const std::string& path) {
    std::string name = path;
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

TMainCatalogue::TMainCatalogue() {
    addRows();
    addRules();
}

void TMainCatalogue::addRows() {
    for (const CatalogueRow& row : kRows) {
        TMvActionList& list = row.manager ? am : al;
        TCustomAbstractAction& action = CreateOfKind(list, row);
        action.Category = row.category;
        action.ScriptName = row.script;
        action.Switch = row.switchName;
        action.SetShortCut(row.shortcut);
        if (*row.secondary) action.SecondaryShortcuts = {row.secondary};
        action.IncludePrefs = (row.flags & kNotSaved) == 0;
        action.ApplyWhenLoad = (row.flags & kLoad) != 0;
        if (auto* check = dynamic_cast<TCheckAction*>(&action)) {
            check->SetFalseCaption(row.caption);
            check->SetTrueCaption(row.trueCaption);
            check->SetFalseImageIndex(ImageIndexOf(row.image));
            check->SetTrueImageIndex(ImageIndexOf(row.trueImage));
        } else {
            action.SetCaption(row.caption);
            action.SetImageIndex(ImageIndexOf(row.image));
        }
        SetDesignDefault(action, row);
        if (*row.command)
            commands_.push_back({&action, CatalogueCommand{row.command, (row.flags & kClosesScenes) != 0}});
    }
}

void TMainCatalogue::addRules() {
    // Every action that runs a command hands it, with the value it holds, to the window.
    for (const auto& entry : commands_) {
        TCustomAbstractAction* const action = entry.first;
        const CatalogueCommand cmd = entry.second;
        auto run = [this, action, cmd] {
            if (RunCommand) RunCommand(*action, cmd, action->Value());
        };
        if (auto* nope = dynamic_cast<TNopeAction*>(action)) {
            nope->InternalApply = run;
        } else if (auto* i = dynamic_cast<TIntegerAction*>(action)) {
            i->InternalApply = [run](const int32_t&) { run(); };
        } else if (auto* d = dynamic_cast<TDoubleAction*>(action)) {
            d->InternalApply = [run](const double&) { run(); };
        } else if (auto* s = dynamic_cast<TWidestringAction*>(action)) {
            s->InternalApply = [run](const std::string&) { run(); };
        }
    }

    auto& sortIndex = Get<TWidestringAction>("waSortIndexId");
    for (const SortRow& sort : kSorts) {
        const std::string order = sort.order;
        Get<TNopeAction>(sort.action).InternalApply = [&sortIndex, order] { sortIndex.SetValue(order); };
    }

    // The options, about and custom pages cover the same client area: checking one unchecks
    // the two others, whether or not the pages have content yet.
    const char* const pages[] = {"caOptions", "caAbout", "caCustom"};
    for (const char* page : pages)
        Get<TCheckAction>(page).InternalTrueApply = [this, page, pages] {
            for (const char* other : pages)
                if (other != std::string_view(page) && Get(other).Checked())
                    Get<TCheckAction>(other).SetChecked(false);
        };
    // No page or window is shown at start, whatever state was saved: the toggles say so.
    am.OnLoadFromPrefs = [this](TMorvanePreferences&) {
        for (const char* toggle : {"caScript", "caHelp", "caAbout", "caOptions", "caCustom"})
            Get(toggle).SetCheckedState(false);
        return true;
    };

    auto& volume = Get<TIntegerAction>("iaVolume");
    auto stepVolume = [&volume](int32_t step) {
        const int32_t v = std::clamp(volume.CurrentValue(), 0, kVolumeMax);
        volume.SetValue(std::clamp(v + step, 0, kVolumeMax));
    };
    Get<TNopeAction>("naIncVolume").InternalApply = [stepVolume] { stepVolume(kVolumeStep); };
    Get<TNopeAction>("naDecVolume").InternalApply = [stepVolume] { stepVolume(-kVolumeStep); };

    // The design default of the view selects no view; loading without a stored view shows the
    // normal one.
    Get<TIntegerAction>("iaVue").InternalDefault = [](int32_t& value) {
        value = 0;
        return true;
    };

    auto& ctrl = Get<TCheckAction>("caCTRLShortcuts");
    ctrl.InternalTrueApply = [this] { SwitchCtrlShortcuts(true); };
    ctrl.InternalFalseApply = [this] { SwitchCtrlShortcuts(false); };

    auto& f3 = Get<TWidestringAction>("waFichierF3");
    auto& f4 = Get<TWidestringAction>("waFichierF4");
    f3.InternalApply = [this, &f4](const std::string& program) {
        UpdateOpenWithCaptions(program, f4.CurrentValue());
    };
    f4.InternalApply = [this, &f3](const std::string& program) {
        UpdateOpenWithCaptions(f3.CurrentValue(), program);
    };

    auto open = [this](std::string address) {
        return [this, address] {
            if (OpenAddress) OpenAddress(address);
        };
    };
    Get<TNopeAction>("ccVisitBlog").InternalApply = open(product::kBlogAddress);
    Get<TNopeAction>("naHomePage").InternalApply = open(product::kWebAddress);
    Get<TNopeAction>("naEMail").InternalApply = open(EMailAddress());

    DossierParentEntry.SetName("naDossierParent");
    DossierParentEntry.SetCaption("Dossier parent");
    DossierParentEntry.SetShortCut("Ctrl+F");
    DossierParentEntry.SetHint("Cliquez pour ouvrir le dossier contenant la vidéo actuelle");
    DossierParentEntry.Category = "multi";
    DossierParentEntry.ScriptName.clear();
    DossierParentEntry.IncludePrefs = false;
    DossierParentEntry.SetImageIndex(ImageIndexOf(Img::ParentFolder));
    commands_.push_back({&DossierParentEntry, CatalogueCommand{"DossierParent", false}});
    DossierParentEntry.InternalApply = [this] {
        if (RunCommand)
            RunCommand(DossierParentEntry, CatalogueCommand{"DossierParent", false}, std::monostate{});
    };

    CopyPictureEntry.SetName("naCopierImageCourante");
    CopyPictureEntry.SetCaption("Copier l'image courante dans le presse-papiers");
    CopyPictureEntry.SetShortCut("F12");
    CopyPictureEntry.Category = "mono";
    CopyPictureEntry.ScriptName.clear();
    CopyPictureEntry.IncludePrefs = false;

    // At creation the type conversions take the keypad digits and the text-field keys are plain.
    Get("ccConvertirDV1").SetShortCut("Ctrl+Num+1");
    Get("ccConvertirDV2").SetShortCut("Ctrl+Num+2");
    ctrl.SetCheckedState(false);
    SwitchCtrlShortcuts(false);
}

TCustomAbstractAction* TMainCatalogue::Find(std::string_view name) const {
    const std::string id(name);
    if (auto* a = al.FindAction(id)) return a;
    return am.FindAction(id);
}

std::optional<CatalogueCommand> TMainCatalogue::CommandOf(const TCustomAbstractAction& action) const {
    for (const auto& [a, command] : commands_)
        if (a == &action) return command;
    return std::nullopt;
}

void TMainCatalogue::SwitchCtrlShortcuts(bool on) {
    for (const CtrlShortcut& c : kCtrlShortcuts) Get(c.action).SetShortCut(on ? c.withCtrl : c.plain);
}

void TMainCatalogue::UpdateOpenWithCaptions(const std::string& programF3, const std::string& programF4) {
    auto caption = [](const std::string& program) {
        const std::string name = CatalogueProgramName(program);
        return name.empty() ? std::string("Ouvrir avec...") : "Ouvrir avec " + name;
    };
    Get("ccOpenFichierF3").SetCaption(caption(programF3));
    Get("ccOpenFichierF4").SetCaption(caption(programF4));
}

void TMainCatalogue::RefreshVisibility(
    bool listEmpty,
    const std::function<void(TCustomAbstractAction&, const CatalogueCommand&)>& refineCommand) {
    std::vector<TCustomAbstractAction*> actions = al.Actions();
    // The two menu entries outside the lists follow the same rule as the window's actions.
    actions.push_back(&DossierParentEntry);
    actions.push_back(&CopyPictureEntry);
    for (TCustomAbstractAction* action : actions) {
        action->SetEnabled(true);
        bool visible = action->Visible();
        if (action->Category == "permanent")
            visible = true;
        else if (action->Category != "open")
            visible = !listEmpty;
        action->SetVisible(visible);
        action->SetEnabled(visible);
        if (refineCommand) {
            if (auto command = CommandOf(*action)) refineCommand(*action, *command);
        }
    }
}

}  // namespace velinor
