#pragma once
// The scene editor mode of the main window without its widgets: the scene list of the file the
// preview shows, the shown scene, selecting a scene (the preview's range narrows to it), the cut,
// merge and save commands, the thumbnail clicks, the scene navigation, the titles editor's apply
// buttons, and the questions asked when the editor closes or a scene command needs it closed.
// The window shows what this holds and asks the questions it is given. UI thread only.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "commands/command.h"
#include "scenes/scene_editing.h"
#include "scenes/scene_list.h"

namespace velinor {

class TaviFichier;
class Tviewdm;

class TSceneEditor {
public:
    static constexpr const char* kCloseFirstQuestion =
        "Pour continuer, il faut fermer l'Editeur de Scènes.\r\n"
        "Voulez-vous enregistrer auparavant les scènes de l'Editeur dans le fichier scn ?\r\n"
        "Sinon les modifications éventuellement faites seront perdues.\r\n"
        "Si vous tapez \"Annuler\", alors l'opération en cours sera abandonnée et l'éditeur de scènes ne "
        "sera pas fermé";
    // The question of leaving the editor or closing the window with modified scenes.
    static std::string SaveQuestion(const std::string& videoPath);

    TSceneEditor(Tviewdm& preview, SceneDetailsSource& details);
    TSceneEditor(const TSceneEditor&) = delete;
    TSceneEditor& operator=(const TSceneEditor&) = delete;

    // The active record (may be null) and the texts' settings, read at every operation.
    std::function<TaviFichier*()> ActiveRecord;
    std::function<SceneTextSettings()> Settings;
    // Asks a question: with `cancel` the answers are Oui, Non and Annuler, else Oui and Non.
    std::function<TAnswer(const std::string& question, bool cancel)> Ask;
    std::function<void(const std::string& message)> ShowError;
    // The list, the shown scene or its picture changed: the widgets show them again.
    std::function<void()> OnChanged;

    TSFrame List;
    TitlesEditor Titles;
    bool IsOpen() const { return open_; }
    // Set by the first answer to the close-first question; never cleared during the run. While
    // set, leaving the editor and closing the window ask nothing and save nothing.
    bool DiscardScenes() const { return discard_; }
    std::optional<size_t> Current() const { return current_; }
    TSceneClass* Shown() { return current_ ? List.SceneAt(*current_) : nullptr; }

    // The preview opened the active file: its scenes are read again from disk (the shown scene
    // is the first one while the editor is open).
    void LoadScenes();

    // Enters the mode and selects the first scene.
    void Enter();
    // Leaves the mode, first offering to save modified scenes (unless DiscardScenes). False, with
    // the editor still open, when the save failed.
    bool Leave();
    // Before a command that reads the scene files: nothing while the editor is closed; else asks
    // whether to save, then leaves without a second question. False when the command must not
    // run (Annuler, or a failed save, which keeps the editor open).
    bool CloseBeforeCommand();
    // At the window's close: offers to save modified scenes. False when the save failed.
    bool SaveAtClose();

    // Selects scene `i`: the preview's range becomes the scene, its details are loaded and the
    // preview goes to its start. False when `i` is outside the list.
    bool Select(size_t i);
    // Cuts the scene under the preview's position; merges the current scene into the one
    // before; saves the list to the active file's .scn.
    void Cut();
    void Merge();
    bool Save();
    // The scene panel's picture: the preview goes to the thumbnail's frame.
    void PictureClicked();
    // A click on the video: the current picture becomes the shown scene's thumbnail.
    void VideoClicked();
    // Goes to the next or the previous scene start, only when the active file has a .scn; in the
    // editor, the scene there is selected.
    void NextScene();
    void PrevScene();
    // The titles editor's buttons: its templates to the shown scene (Appliquer) or every scene
    // (Tous).
    void OpenTitles();
    std::string TitlesPreview();
    void ApplyTitles(int mode);

    SceneEditContext Context();

private:
    void wholeRange();
    void sceneRange(const TSceneClass& scene);
    void edited(const SceneEdit& edit);
    void changed() {
        if (OnChanged) OnChanged();
    }
    void goToScene(uint32_t frame);

    Tviewdm& preview_;
    SceneDetailsSource& details_;
    TitleFile file_;
    bool open_ = false;
    bool discard_ = false;
    std::optional<size_t> current_;
};

}  // namespace velinor
