// The .scn file of the scenes verb's tests, written by our own writer.
#include <string>

#include "scenes/scn_file.h"

namespace velinor::test {

bool WriteSampleScn(const std::string& videoPath, std::string& error) {
    TwriteScene writer(videoPath);
    TSceneClass first(0, 10);
    first.Titre = "Réveillon";
    first.SousTitre = "chez \"Mamie\"";
    TSceneClass second(10, 25);
    second.ImageOffset = 3;
    const TSceneClass third(25, 30);
    const bool ok =
        writer.AddScene(first) && writer.AddScene(second) && writer.AddScene(third) && writer.Finish();
    error = writer.error();
    return ok;
}

}  // namespace velinor::test
