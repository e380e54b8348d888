#include "commands/scene_editor.h"

#include <algorithm>

#include "commands/viewdm.h"
#include "filelist/avi_fichier.h"

namespace velinor {

std::string TSceneEditor::SaveQuestion(const std::string& videoPath) {
    return "Voulez-vous enregistrer les scènes dans le fichier scn associé à " + videoPath +
           "?\r\nSi vous répondez non, alors toutes les modifications seront perdues.";
}

TSceneEditor::TSceneEditor(Tviewdm& preview, SceneDetailsSource& details)
    : preview_(preview), details_(details) {}

SceneEditContext TSceneEditor::Context() {
    SceneEditContext context;
    context.settings = Settings ? Settings() : SceneTextSettings{};
    context.preview = &details_;
    List.SetSettings(context.settings);
    const TaviFichier* record = ActiveRecord ? ActiveRecord() : nullptr;
    if (!record) return context;
    file_.video = CurrentVideo{record->FileName, record->Fps, record->Width, record->Height,
                               uint32_t(std::max(0, record->FrameCount))};
    file_.Codec = record->Codec;
    file_.ImageText = record->ImageText;
    file_.AspectText = record->AspectText;
    file_.AudioText = record->AudioText;
    context.file = &file_;
    return context;
}

void TSceneEditor::LoadScenes() {
    const SceneEditContext context = Context();
    current_.reset();
    if (context.file)
        List.LoadScenes(context.file->video);
    else
        List.ClearScenes();
    if (!open_ || !Select(0)) changed();
}

void TSceneEditor::Enter() {
    open_ = true;
    const TaviFichier* record = ActiveRecord ? ActiveRecord() : nullptr;
    if (record && List.VideoPath != record->FileName) {
        LoadScenes();
        return;
    }
    if (!Select(0)) changed();
}

bool TSceneEditor::Leave() {
    if (!open_) return true;
    if (List.Modified && !discard_ && Ask) {
        if (Ask(SaveQuestion(List.VideoPath), false) == TAnswer::Oui) {
            if (!Save()) return false;
        } else {
            // The changes are dropped: the list is read again from disk.
            const SceneEditContext context = Context();
            if (context.file) List.LoadScenes(context.file->video);
        }
    }
    open_ = false;
    current_.reset();
    wholeRange();
    changed();
    return true;
}

bool TSceneEditor::CloseBeforeCommand() {
    if (!open_) return true;
    const TAnswer answer = Ask ? Ask(kCloseFirstQuestion, true) : TAnswer::Annuler;
    if (answer == TAnswer::Annuler) return false;
    if (answer == TAnswer::Oui && !Save()) return false;
    discard_ = true;
    return Leave();
}

bool TSceneEditor::SaveAtClose() {
    if (!open_ || !List.Modified || discard_ || !Ask) return true;
    if (Ask(SaveQuestion(List.VideoPath), false) != TAnswer::Oui) return true;
    return Save();
}

void TSceneEditor::wholeRange() {
    if (!preview_.Opened || !preview_.FrameFormat()) return;
    preview_.RangeFirst = 0;
    preview_.RangeLast = std::max<int64_t>(0, preview_.Duration() - 1);
}

void TSceneEditor::sceneRange(const TSceneClass& scene) {
    if (!preview_.Opened || !preview_.FrameFormat()) return;
    // The range holds the scene's frames, never past the file's last one.
    const int64_t last = std::max<int64_t>(0, preview_.Duration() - 1);
    preview_.RangeFirst = std::min<int64_t>(scene.Debut, last);
    preview_.RangeLast = std::clamp<int64_t>(int64_t(scene.Fin) - 1, preview_.RangeFirst, last);
}

bool TSceneEditor::Select(size_t i) {
    TSceneClass* scene = List.SceneAt(i);
    if (!scene) return false;
    const SceneEditContext context = Context();
    current_ = i;
    scene->Numero = int32_t(i + 1);
    sceneRange(*scene);
    if (!scene->Loaded && context.file)
        scene->LoadDetails(details_, context.file->video.fps, context.settings);
    if (preview_.Opened) preview_.SeekTo(scene->Debut);
    changed();
    return true;
}

void TSceneEditor::edited(const SceneEdit& edit) {
    if (edit.outcome == SceneEdit::Outcome::Refused) {
        if (ShowError) ShowError(edit.error);
        changed();
    } else if (edit.changed()) {
        Select(edit.selected);
    }
}

void TSceneEditor::Cut() {
    if (!open_ || !preview_.Opened || !preview_.FrameFormat()) return;
    const int64_t position = preview_.CurrentPosition();
    if (position < 0) return;
    const SceneEditContext context = Context();
    edited(CutScene(List, uint32_t(position), context));
}

void TSceneEditor::Merge() {
    if (!open_) return;
    const SceneEditContext context = Context();
    edited(MergeScene(List, current_, context));
}

bool TSceneEditor::Save() {
    // The scenes go to the .scn of the video they belong to.
    if (List.VideoPath.empty() || List.Count() == 0) return false;
    std::string error;
    if (!List.SaveScn(List.VideoPath, error)) {
        if (ShowError) ShowError(error);
        return false;
    }
    if (TaviFichier* record = ActiveRecord ? ActiveRecord() : nullptr;
        record && record->FileName == List.VideoPath)
        record->HasScn = true;
    changed();
    return true;
}

void TSceneEditor::PictureClicked() {
    const TSceneClass* scene = Shown();
    if (!open_ || !scene || !preview_.Opened) return;
    preview_.SeekTo(int64_t(scene->Debut) + scene->ImageOffset);
}

void TSceneEditor::VideoClicked() {
    TSceneClass* scene = Shown();
    if (!open_ || !scene || !preview_.Opened || !preview_.FrameFormat()) return;
    const ScenePicture picture = details_.snapshot();
    if (picture.empty()) return;
    scene->ImageOffset = uint32_t(std::max<int64_t>(0, preview_.CurrentPosition() - preview_.RangeFirst));
    if (scene->Image.empty()) {
        int width = 0, height = 0;
        ThumbnailSize(picture.width, picture.height, width, height);
        scene->Image = ScenePicture(width, height);
    }
    StretchPicture(picture, scene->Image);
    List.Modified = true;
    changed();
}

void TSceneEditor::goToScene(uint32_t frame) {
    if (open_) {
        for (size_t i = 0; i < List.Count(); ++i)
            if (List.SceneAt(i)->Debut == frame) {
                Select(i);
                return;
            }
        return;
    }
    if (preview_.Opened) preview_.SeekTo(frame);
}

void TSceneEditor::NextScene() {
    const TaviFichier* record = ActiveRecord ? ActiveRecord() : nullptr;
    if (!record || !record->HasScn || !preview_.Opened || !preview_.FrameFormat()) return;
    const int64_t position = std::max<int64_t>(0, preview_.CurrentPosition());
    const uint32_t count = uint32_t(std::max(0, record->FrameCount));
    const uint32_t next = List.NextSceneStart(uint32_t(position), count);
    if (next < count) goToScene(next);
}

void TSceneEditor::PrevScene() {
    const TaviFichier* record = ActiveRecord ? ActiveRecord() : nullptr;
    if (!record || !record->HasScn || !preview_.Opened || !preview_.FrameFormat()) return;
    const int64_t position = std::max<int64_t>(0, preview_.CurrentPosition());
    goToScene(List.PrevSceneStart(uint32_t(position)));
}

void TSceneEditor::OpenTitles() {
    Titles.Open(Shown(), Context());
}

std::string TSceneEditor::TitlesPreview() {
    TSceneClass* scene = Shown();
    if (!scene) return {};
    const SceneEditContext context = Context();
    return Titles.PreviewText(*scene, context);
}

void TSceneEditor::ApplyTitles(int mode) {
    if (!open_) return;
    const SceneEditContext context = Context();
    SceneEdit edit;
    if (mode == TitlesEditor::kShownScene) {
        edit = Titles.Appliquer(List, current_, context);
    } else if (mode == TitlesEditor::kEveryScene) {
        // Every scene's first frame must be reachable while its details load.
        wholeRange();
        edit = Titles.Tous(List, current_, context);
        // Back on the shown scene, whose panel the window shows.
        if (const TSceneClass* scene = Shown()) {
            sceneRange(*scene);
            if (preview_.Opened) preview_.SeekTo(scene->Debut);
        }
    } else {
        return;
    }
    if (edit.outcome == SceneEdit::Outcome::Refused && ShowError) ShowError(edit.error);
    changed();
}

}  // namespace velinor
