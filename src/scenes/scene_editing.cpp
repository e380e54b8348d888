#include "scenes/scene_editing.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/utf16.h"

namespace velinor {

namespace {

SceneEdit changed(size_t selected) {
    SceneEdit edit;
    edit.outcome = SceneEdit::Outcome::Changed;
    edit.selected = selected;
    return edit;
}

SceneEdit refused(std::string error) {
    SceneEdit edit;
    edit.outcome = SceneEdit::Outcome::Refused;
    edit.error = std::move(error);
    return edit;
}

const CurrentVideo* videoOf(const SceneEditContext& context) {
    return context.file != nullptr ? &context.file->video : nullptr;
}

// A title or subtitle is one line of the scene file's text (the line break between them is
// what separates them there), so a break brought in by a value or a pasted template becomes
// a space.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

bool fitsScnFile(const std::string& titre, const std::string& sousTitre) {
    if (titre.empty() && sousTitre.empty()) return true;
    return Utf8ToUtf16(titre + "\r\n" + sousTitre).size() <= kScnMaxStringUnits;
}

std::string tooLong(size_t index) {
    return "Scène " + std::to_string(index + 1) +
           " : titre et sous-titre trop longs pour un fichier scn (254 caractères au plus)";
}

void titlesToCodes(TSFrame& list, const SceneEditContext& context) {
    for (SceneItem& item : list.Items()) SceneTitlesToCodes(*item.scene, context.file);
}

// The texts that depend on the scene's end, after it moved.
void endMoved(TSceneClass& scene, const SceneEditContext& context) {
    const CurrentVideo* video = videoOf(context);
    scene.Duree = DureeText(int64_t(scene.Fin) - int64_t(scene.Debut), video, context.settings.formatDuree);
    if (video != nullptr)
        scene.TimeStampFin = SceneStampText(
            scene.Fin > scene.Debut ? int64_t(scene.Fin) - 1 : int64_t(scene.Debut), video->fps);
}

}  // namespace

void RenumberScenes(TSFrame& list, const SceneEditContext& context) {
    SceneList& items = list.Items();
    for (size_t j = 0; j < items.size(); ++j) {
        TSceneClass& s = *items[j].scene;
        s.Numero = int32_t(j + 1);
        s.Titre = oneLine(ExpandTitleCodes(s.Titre, s, context.file, context.settings));
        s.SousTitre = oneLine(ExpandTitleCodes(s.SousTitre, s, context.file, context.settings));
        items[j].caption = s.SceneCaption();
    }
}

SceneEdit CutScene(TSFrame& list, uint32_t position, const SceneEditContext& context) {
    SceneList& items = list.Items();
    std::optional<size_t> found;
    for (size_t i = 0; i < items.size() && !found; ++i) {
        const TSceneClass& s = *items[i].scene;
        if (s.Debut == position) return {};
        if (s.Debut < position && position < s.Fin) found = i;
    }
    if (!found) return {};
    if (items.size() >= kScnMaxScenes) return refused("Trop de scènes pour un fichier scn (65 535 au plus)");
    const size_t i = *found;
    TSceneClass& cut = *items[i].scene;

    // The new scene is read from the preview before anything changes, so that a frame the
    // preview cannot show leaves the list as it was.
    auto added = std::make_unique<TSceneClass>(position, cut.Fin, videoOf(context), context.settings);
    if (context.preview != nullptr) {
        const double fps = context.file != nullptr ? context.file->video.fps : 0;
        if (!added->LoadDetails(*context.preview, fps, context.settings))
            return refused("Impossible de positionner la vidéo sur l'image " + std::to_string(position) +
                           " pour y insérer une scène");
    }

    titlesToCodes(list, context);
    cut.Fin = position;
    endMoved(cut, context);
    added->Titre = cut.Titre + " <<";
    added->SousTitre = cut.SousTitre;
    std::string caption = added->SceneCaption();
    items.insert(items.begin() + std::ptrdiff_t(i + 1), SceneItem{std::move(caption), std::move(added)});
    list.Modified = true;
    RenumberScenes(list, context);
    return changed(i + 1);
}

SceneEdit MergeScene(TSFrame& list, std::optional<size_t> selected, const SceneEditContext& context) {
    SceneList& items = list.Items();
    if (!selected || *selected == 0 || *selected >= items.size()) return {};
    const size_t k = *selected;
    titlesToCodes(list, context);
    TSceneClass& kept = *items[k - 1].scene;
    // In a damaged list (the error entry of an unreadable file is an empty scene at 0) the
    // removed scene may end before the kept one; the kept scene never shrinks.
    kept.Fin = std::max(kept.Fin, items[k].scene->Fin);
    endMoved(kept, context);
    items.erase(items.begin() + std::ptrdiff_t(k));
    list.Modified = true;
    RenumberScenes(list, context);
    return changed(k - 1);
}

void TitlesEditor::Open(const TSceneClass* shown, const SceneEditContext& context) {
    if (shown == nullptr) return;
    Titre = TitleToCodes(shown->Titre, shown, context.file);
    SousTitre = TitleToCodes(shown->SousTitre, shown, context.file);
}

void TitlesEditor::Vider() {
    Titre.clear();
    SousTitre.clear();
}

void TitlesEditor::Studio() {
    Titre = kStudioTitre;
    SousTitre = kStudioSousTitre;
}

std::string TitlesEditor::PreviewText(TSceneClass& shown, const SceneEditContext& context) const {
    return ExpandTitleCodes(Titre, shown, context.file, context.settings) + "\r\n" +
           ExpandTitleCodes(SousTitre, shown, context.file, context.settings);
}

SceneEdit TitlesEditor::Appliquer(TSFrame& list, std::optional<size_t> shown,
                                  const SceneEditContext& context) {
    ApplyMode = kShownScene;
    return Apply(list, shown, context);
}

SceneEdit TitlesEditor::Tous(TSFrame& list, std::optional<size_t> shown, const SceneEditContext& context) {
    ApplyMode = kEveryScene;
    return Apply(list, shown, context);
}

SceneEdit TitlesEditor::Apply(TSFrame& list, std::optional<size_t> shown,
                              const SceneEditContext& context) const {
    SceneList& items = list.Items();
    const bool hasShown = shown && *shown < items.size();
    size_t first = 0, last = 0;
    if (ApplyMode == kShownScene && hasShown) {
        first = *shown;
        last = *shown + 1;
    } else if (ApplyMode == kEveryScene && !items.empty()) {
        last = items.size();
    } else {
        return {};
    }

    if (ApplyMode == kEveryScene && context.preview != nullptr) {
        const double fps = context.file != nullptr ? context.file->video.fps : 0;
        for (size_t j = first; j < last; ++j) {
            TSceneClass& s = *items[j].scene;
            if (!s.Loaded && !s.LoadDetails(*context.preview, fps, context.settings))
                return refused("Scène " + std::to_string(j + 1) +
                               " : impossible de positionner la vidéo sur son début, aucun titre n'a "
                               "été changé");
        }
    }
    // Every text is made and checked before any is changed.
    std::vector<std::pair<std::string, std::string>> texts;
    texts.reserve(last - first);
    for (size_t j = first; j < last; ++j) {
        TSceneClass& s = *items[j].scene;
        std::string titre = oneLine(ExpandTitleCodes(Titre, s, context.file, context.settings));
        std::string sousTitre = oneLine(ExpandTitleCodes(SousTitre, s, context.file, context.settings));
        if (!fitsScnFile(titre, sousTitre)) return refused(tooLong(j));
        texts.emplace_back(std::move(titre), std::move(sousTitre));
    }
    for (size_t j = first; j < last; ++j) {
        TSceneClass& s = *items[j].scene;
        s.Titre = std::move(texts[j - first].first);
        s.SousTitre = std::move(texts[j - first].second);
        items[j].caption = s.SceneCaption();
    }
    list.Modified = true;
    return changed(hasShown ? *shown : 0);
}

}  // namespace velinor
