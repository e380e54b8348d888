#pragma once
// The titles editor `TEditerTitresForm`: a tool window on top of the main window with the two
// templates of the shown scene's title and subtitle, their expansion for that scene as a live
// two-line example, and the buttons that apply them to the shown scene or to every scene.
// Closing it only hides it. UI thread only.
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

namespace velinor {

class TSceneEditor;

class TEditerTitresForm final : public QWidget {
public:
    static constexpr const char* kHelp =
        "\r\nDéfinissez ici le titre et le sous-titre d'une ou plusieurs scènes. \r\nUtilisez pour cela les "
        "codes suivants: \r\n \r\n%F = nom du fichier (sans extension) \r\n%E = extension du fichier (en "
        "principe .avi)\r\n%P = chemin du fichier\r\n%D = datecode - %T = timecode\r\n%C = codec - %U = "
        "durée\r\n%I = dimension de l'image \r\n%A = format audio\r\n%N = numéro de scène \r\nVous pouvez "
        "aussi les vider, ou les traiter comme Studio par défaut.";
    static constexpr const char* kCtrlHint =
        "Quand ce panneau est visible ajoutez CTRL aux touches comme Espace, +, -, suppr pour actionner les "
        "commandes correspondantes. ";

    explicit TEditerTitresForm(TSceneEditor& editor, QWidget* parent = nullptr);

    // Takes the shown scene's texts as templates (turned into codes) and shows the window.
    void ShowEditor();
    // Shows the templates the editor core holds and their example again.
    void Sync();

    // The close box and "Annuler": the window asks to be hidden (the window unchecks its action).
    std::function<void()> OnCloseRequest;
    // After a button applied titles (the scene panel shows them).
    std::function<void()> OnApplied;

    QLineEdit& edTitre() const { return *edTitre_; }
    QLineEdit& edSoustitre() const { return *edSoustitre_; }
    QLabel& LabTitres() const { return *labTitres_; }
    QToolButton& Button(const char* name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void templatesEdited();
    void showExample();

    TSceneEditor& editor_;
    QLineEdit* edTitre_;
    QLineEdit* edSoustitre_;
    QLabel* labTitres_;
    bool syncing_ = false;
};

}  // namespace velinor
