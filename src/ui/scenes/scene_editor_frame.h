#pragma once
// The scene editor's frames in the window's side column: the scene panel `SceneBase` (the shown
// scene's number, times, datecode, timecode, thumbnail and titles) over the scene list `SFrame`
// with its label. Shows what the editor core holds and hands it the clicks and selections; a
// click on the video while the editor is open takes the thumbnail. UI thread only.
#include <QFrame>
#include <functional>

class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace velinor {

class TSceneEditor;
class TSceneClass;

class TSceneEditorFrame final : public QFrame {
public:
    static constexpr const char* kPanelHint =
        "Vous êtes dans l'éditeur de scènes.\r\n"
        "Utilisez les boutons de la barre \"Scènes \" pour\r\n"
        "     insérer une scène\r\n"
        "    enlever une scène (en collant deux scènes successives en une seule)\r\n"
        "    éditer le titre et le sous-titre\r\n"
        "    enregistrer les scènes ainsi modifiées dans le fichier scn.\r\n"
        "Vous pouvez aussi changer l'imagette de la scène, en cliquant sur une image de la vidéo.";
    // The area the thumbnail is fitted into.
    static constexpr int kImageWidth = 280;
    static constexpr int kImageHeight = 210;

    explicit TSceneEditorFrame(TSceneEditor& editor, QWidget* parent = nullptr);

    // Shows the editor's list and shown scene again.
    void Sync();
    // labSelect: the name of the file whose scenes are listed.
    void SetFileLabel(const std::string& name);
    // Clicks on this widget (the preview's video) take its picture as the thumbnail.
    void WatchVideo(QWidget& video);
    void FocusList();

    // A click on the title box; the window toggles the titles editor.
    std::function<void()> OnTitleClicked;
    // After a selection or a picture click moved the preview (the window runs its tick).
    std::function<void()> OnMoved;

    QLabel& Label1() const { return *label1_; }
    QLabel& labScene() const { return *labScene_; }
    QLabel& labTimeStamp() const { return *labTimeStamp_; }
    QLabel& labDuree() const { return *labDuree_; }
    QLabel& labTimecode() const { return *labTimecode_; }
    QLabel& labDatecode() const { return *labDatecode_; }
    QLabel& image() const { return *image_; }
    QPlainTextEdit& memoTitre() const { return *memoTitre_; }
    QListWidget& lbScenes() const { return *list_; }
    QLabel& labSelect() const { return *labSelect_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showScene(const TSceneClass* scene);
    void selectCurrentRow();

    TSceneEditor& editor_;
    QLabel* label1_;
    QLabel* labScene_;
    QLabel* labTimeStamp_;
    QLabel* labDuree_;
    QLabel* labTimecode_;
    QLabel* labDatecode_;
    QWidget* imageArea_;
    QLabel* image_;
    QPlainTextEdit* memoTitre_;
    QListWidget* list_;
    QLabel* labSelect_;
    QWidget* video_ = nullptr;
};

}  // namespace velinor
