#pragma once
// The scene editor without its widgets: cutting a scene in two, merging a scene into the one
// before it, and the titles editor's templates and apply modes. Every operation turns the
// titles into codes before the list changes shape and expands them again afterwards, so that
// numbers, durations and dates follow the new cut. UI thread only (a cut reads the preview).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "scenes/scene_list.h"
#include "scenes/title_codes.h"

namespace velinor {

// What an editing operation did. A request that changes nothing (a cut on a scene boundary,
// a merge of the first scene, the apply mode 0) is Unchanged, and a refused one says why.
struct SceneEdit {
    enum class Outcome { Changed, Unchanged, Refused };
    Outcome outcome = Outcome::Unchanged;
    size_t selected = 0;  // with Changed: the scene to select
    std::string error;    // with Refused: the French reason

    bool changed() const { return outcome == Outcome::Changed; }
};

// What the editing operations read besides the list: the active file (none: the codes stay
// unexpanded), the duration style and datecode pattern, and the preview that gives a new
// scene its datecode, timecode and thumbnail (none: the new scene is left without details).
struct SceneEditContext {
    const TitleFile* file = nullptr;
    SceneTextSettings settings;
    SceneDetailsSource* preview = nullptr;
};

// Splits the scene under `position` (in frames) into [Debut, position) and [position, Fin).
// The new scene takes the title of the one it came from followed by " <<" and its subtitle,
// expanded with its own values. A position on a scene's start or outside every scene changes
// nothing. Refused, changing nothing, when the list already holds the most scenes a .scn file
// can store, or when the preview cannot show the frame. Selects the new scene.
SceneEdit CutScene(TSFrame& list, uint32_t position, const SceneEditContext& context);

// Joins scene `selected` to the scene before it, which keeps its own title, subtitle, thumbnail
// and datecode and now ends where the removed one ended. The first scene or no selection
// changes nothing. Selects the merged scene.
SceneEdit MergeScene(TSFrame& list, std::optional<size_t> selected, const SceneEditContext& context);

// Numbers every scene by its place in the list and expands its title and subtitle again with
// its own values (they are expected in code form); recomputes the captions.
void RenumberScenes(TSFrame& list, const SceneEditContext& context);

// The titles editor's state and buttons: the two templates and the apply mode, which persist
// between showings within a run. The window binds its edits and buttons to this.
class TitlesEditor {
public:
    enum Mode { kNone = 0, kShownScene = 1, kEveryScene = 2 };

    static constexpr const char* kStudioTitre = "Scène %N: %D";
    static constexpr const char* kStudioSousTitre = "Durée = %U";

    std::string Titre;      // edTitre
    std::string SousTitre;  // edSoustitre
    int ApplyMode = kNone;

    // When the editor opens: the templates are the shown scene's texts turned into codes.
    void Open(const TSceneClass* shown, const SceneEditContext& context);
    // "Vider" empties both templates; "Studio" puts the studio templates.
    void Vider();
    void Studio();
    // "Annuler": no apply mode (the window then hides the editor).
    void Annuler() { ApplyMode = kNone; }
    // The preview of the two lines for the shown scene (LabTitres).
    std::string PreviewText(TSceneClass& shown, const SceneEditContext& context) const;

    // "Appliquer" (the shown scene) and "Tous" (every scene): sets the mode and applies.
    SceneEdit Appliquer(TSFrame& list, std::optional<size_t> shown, const SceneEditContext& context);
    SceneEdit Tous(TSFrame& list, std::optional<size_t> shown, const SceneEditContext& context);
    // Applies the templates in the current mode: expanded for the shown scene only, or for
    // every scene in turn (each loaded from the preview first when it was not). Refused,
    // changing no title, when a scene cannot be loaded or a title and subtitle would not fit
    // a .scn file together. `selected` of the result is the shown scene.
    SceneEdit Apply(TSFrame& list, std::optional<size_t> shown, const SceneEditContext& context) const;
};

}  // namespace velinor
