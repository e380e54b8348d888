#pragma once
// The code language of scene titles and subtitles (%N %F %P %E %D %T %C %I %A %U) and the two
// conversions between titles and codes, so that a title follows its scene when the list is cut
// or merged. Pure functions of their arguments; any thread, one scene per call.
#include <string>
#include <string_view>

#include "scenes/scene.h"

namespace velinor {

// What the codes read of the active file, besides the scene itself.
struct TitleFile {
    CurrentVideo video;  // full path (for %F %P %E) and frame rate (for %U)
    std::string Codec;
    std::string ImageText;
    std::string AspectText;
    std::string AudioText;
};

// The values of the file codes: "clip" (%F), "/v/" (%P) and ".avi" (%E) for "/v/clip.avi".
std::string TitleFileName(const std::string& path);
std::string TitleFolder(const std::string& path);
std::string TitleExtension(const std::string& path);

// Replaces the codes of `text` by the values of `scene` and `file`, ignoring the case of the
// code letter; without an active file (`file` null) the text comes back unchanged. The scene's
// DatecodeText is first formatted again with the display pattern of `settings`, so that %D
// follows the setting; a scene without datecode keeps "N/A". The text is read once from left
// to right: a value that happens to hold "%D" is not expanded again.
std::string ExpandTitleCodes(std::string_view text, TSceneClass& scene, const TitleFile* file,
                             const SceneTextSettings& settings);

// Turns the values of `scene` and `file` found in `text` back into their codes, ignoring case;
// without a scene or an active file the text comes back unchanged. Only whole occurrences
// become codes: a value is not taken out of a longer word ("3" stays in "3km", "a" in
// "Plage"), and an empty value replaces nothing. The scene's number is taken last, so that it
// is not taken out of a date, a duration or a timecode that holds the same digits; "Scène"
// glued to the number ("Scène3") gives "Scène%N". Codes already in the text stay as they are.
std::string TitleToCodes(std::string_view text, const TSceneClass* scene, const TitleFile* file);
// TitleToCodes of the scene's own title and subtitle, in place.
void SceneTitlesToCodes(TSceneClass& scene, const TitleFile* file);

}  // namespace velinor
