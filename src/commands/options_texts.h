#pragma once
// What the options page shows and decides without a widget: the live examples of the date and
// rename formats, the recommended formats of "Défaut", the Excel file-format codes behind the
// combo box, the interval edit's reading, and the desktop entry that lists the program under the
// file manager's "Ouvrir avec" for AVI files.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "media/datecode.h"

namespace velinor {

// The captions of the eight tabs, in order; naSelectColumns opens the "Export" tab.
inline constexpr std::array<const char*, 8> kOptionsTabs = {"Préférences", "Formats", "Dossiers", "Fichiers",
                                                            "DV",          "Export",  "Excel",    "Renommer"};
inline constexpr int kExportTab = 5;

// A rename template expanded for display: %F, %N, %D, %T, %C, %I, %A and %U (any case) replaced
// in that order by sample values, the date pattern formatted at `now`, then the characters a
// file name cannot hold replaced (":" by ".", the others by "_").
std::string ExampleName(const std::string& templ, const std::string& datePattern, int digits, Datecode now);

// The four examples of the page.
std::string AfficherDatecodeExample(const std::string& pattern, Datecode now);
std::string AjouterDatecodeExample(bool datecodeAvant, const std::string& pattern, int digits, Datecode now);
std::string AjouterTimecodeExample(bool timecodeAvant, int digits, Datecode now);
std::string RenommerExample(const std::string& templ, const std::string& pattern, int digits, Datecode now);

// The recommended formats "Défaut" puts in the controls (the two Renommer ones included); the two
// "avant" boxes are unchecked.
struct TFormatDefaults {
    const char* AjouterDatecode = "dd.mm.yyyy_hh.nn.ss";
    const char* AfficherDatecode = "ddddd tt";
    const char* RenommerDatecode = "yyyymmdd hh.nn.ss";
    const char* TemplateRenommer = "mavideo %D";
};
inline constexpr TFormatDefaults kFormatDefaults{};
// The hint of the "Défaut" button.
inline constexpr const char* kDefautHint =
    "Met les valeurs recommandées pour l'onglet \"Formats\".\r\nNe change rien aux autres onglets.";

// Excel's save-as file-format codes of the five versions of the combo box, in its order.
inline constexpr std::array<int32_t, 5> kExcelFormats = {16, 29, 33, 39, 43};
// The code of combo item `index`; 0 for any other position.
int32_t ExcelFormatOfItem(int index);
// The combo item of a code; nothing for an unknown code (the box stays as it was).
std::optional<int> ExcelItemOfFormat(int32_t format);

// The interval edit's text as seconds: a decimal integer, or 20 when it is not one.
inline constexpr int32_t kDefaultIntervalle = 20;
int32_t IntervalleOfText(const std::string& text);

}  // namespace velinor
