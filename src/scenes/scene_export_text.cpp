#include <ctime>

#include "media/datetime_format.h"
#include "scenes/office_parts.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {
const std::string kRule = "//" + std::string(50, '-');
const char* kCreateError = "Erreur pendant la création d'un fichier scn texte";
}  // namespace

Datecode DatecodeNow() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    DatecodeFields fields;
    fields.Year = local.tm_year + 1900;
    fields.Month = uint8_t(local.tm_mon + 1);
    fields.Day = uint8_t(local.tm_mday);
    fields.Hour = uint8_t(local.tm_hour);
    fields.Minute = uint8_t(local.tm_min);
    fields.Second = uint8_t(local.tm_sec > 59 ? 59 : local.tm_sec);
    return MakeDatecode(fields).value_or(0);
}

std::string PromotionalLine() {
    return std::string("Visitez mon site web \"") + product::kWebAddress + "\"";
}

std::vector<std::string> SceneTextLines(const TSceneClass& scene) {
    return {scene.TimeStamp + " - " + scene.TimeStampFin,
            "Durée = " + scene.Duree,
            scene.DatecodeText,
            scene.TimecodeText,
            scene.Titre,
            scene.SousTitre};
}

std::string DocumentFooterText(const std::string& videoPath, const SceneExportInfo& info) {
    return "Liste des scènes du fichier " + videoPath + "\nRéalisée avec " + info.fullTitle() + " de " +
           info.maker + " le " + FormatDateTime("dddddd \"à\" tt", info.now) + "\n" + PromotionalLine();
}

TWriteScn_text::TWriteScn_text(const std::string& videoPath, const SceneExportInfo& info)
    : TwriteFile(ReplaceExtension(videoPath, "_scn.txt")), info_(info) {
    const bool written =
        WriteLine(kRule) && WriteLine("// Liste des scènes du fichier:") && WriteLine("//") &&
        WriteLine("// ***   " + LowerCaseText(videoPath) + "   ***") && WriteLine("//") &&
        WriteLine("// exportée par " + info.programName + " version " + info.version + " " + info.language) &&
        WriteLine("// sous la forme:") &&
        WriteLine("// numéro de scène, début, fin, durée, datecode,timecode, titre") && WriteLine("//") &&
        WriteLine(kRule) && WriteLine("");
    if (!written) prefixError(std::string(kCreateError) + " : ");
}

bool TWriteScn_text::AddScene(const TSceneClass& scene) {
    ++rows_;
    std::string line = "  " + std::to_string(rows_);
    for (const std::string* field : {&scene.TimeStamp, &scene.TimeStampFin, &scene.Duree, &scene.DatecodeText,
                                     &scene.TimecodeText, &scene.Titre, &scene.SousTitre})
        line += ", " + *field;
    return WriteLine(line);
}

bool TWriteScn_text::Finish() {
    const bool written = WriteLine("") && WriteLine(kRule) &&
                         WriteLine("// Terminé le " + FormatDateTime("dddddd 'à' hh:mm:ss", info_.now)) &&
                         WriteLine("// " + PromotionalLine()) && WriteLine(kRule);
    return written && TwriteFile::Finish();
}

}  // namespace velinor
