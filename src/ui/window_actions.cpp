#include "ui/window_actions.h"

#include "commands/catalogue.h"

namespace velinor {

namespace {

enum class Kind { Nope, Check, Integer, Text, Texts, Rect, Real };

struct ActionRow {
    Kind kind;
    const char* name;
    const char* category;
    const char* caption;  // a toggle: unchecked caption
    const char* checkedCaption;
    const char* shortCut;
    const char* script;
    bool applyWhenLoad;
    bool saved;
};

constexpr ActionRow kWindowActions[] = {
    {Kind::Nope, "naInterrompre", "permanent", "Interrompre", nullptr, "Shift+Esc", "break", false, true},
    {Kind::Nope, "naInterrompreTous", "permanent", "Interrompre tout", nullptr, "Esc", "BreakAll", false, true},
    {Kind::Nope, "naOrdreAlpha", "Tri", "Ordre alphabétique", nullptr, "Alt+A", "sortalpha", false, true},
    {Kind::Nope, "naTriTaille", "Tri", "Trier selon la taille", nullptr, "Alt+S", "sortbysize", false, true},
    {Kind::Nope, "naTrierModify", "Tri", "Trier selon la date du fichier", nullptr, "Alt+F", "sortbyfiledate", false,
     true},
    {Kind::Nope, "naTriDatecode", "Tri", "Trier selon le datecode", nullptr, "Alt+D", "sortbydate", false, true},
    {Kind::Nope, "naTriTimecode", "Tri", "Tri selon le timecode", nullptr, "Alt+T", "sorttimecode", false, true},
    {Kind::Nope, "naTriDuree", "Tri", "Tri selon la durée", nullptr, "Alt+U", "sortduration", false, true},
    {Kind::Text, "waSortIndexId", "Tri", "SortIndexId", nullptr, "", "SortIndexId", true, true},
    {Kind::Nope, "naSelectionnerTout", "liste", "Selectionner tout", nullptr, "Ctrl+A", "SelectAll", false, true},
    {Kind::Nope, "naOterSelection", "liste", "Enlever la sélection", nullptr, "Del", "remove", false, false},
    {Kind::Check, "caListeGauche", "interface", "Mettre Liste à Gauche", "Mettre Liste à Droite", "Alt+W", "mirror",
     true, true},
    {Kind::Check, "caVideoSeule", "interface", "Afficher vidéo seule", "Affichage complet", "Ctrl+Return",
     "videoonly", false, true},
    {Kind::Check, "caVueReduite", "interface", "Vue réduite", "Vue Normale", "", "VueReduite", false, false},
    {Kind::Integer, "iaVue", "interface", "Vue", nullptr, "", "Vue", true, true},
    {Kind::Rect, "raFormSave", "internal", "", nullptr, "", "FormSave", true, true},
    {Kind::Texts, "saOpenFiles", "internal", "Ouvrir...", nullptr, "Ctrl+O", "OpenFiles", false, true},
    {Kind::Text, "waActiveFile", "internal", "Fichier actif", nullptr, "", "ActiveFile", true, true},
    {Kind::Nope, "naPasteFiles", "internal", "Coller", nullptr, "Ctrl+V", "PasteFiles", false, true},
    {Kind::Nope, "naVider", "internal", "Vider", nullptr, "Shift+Ctrl+X", "Vider", false, true},
    {Kind::Nope, "naAbort", "internal", "Interrompre", nullptr, "Esc", "Abort", false, true},
    {Kind::Text, "waOpenFolder", "internal", "Ouvrir un dossier...", nullptr, "Ctrl+F", "OpenFolder", false, true},
    {Kind::Nope, "naQuit", "permanent", "Quitter", nullptr, "", "Quit", false, true},
    {Kind::Text, "ccModifierCodec", "multi", "Modifier le codec", nullptr, "Ctrl+K", "codec", false, true},
    {Kind::Real, "ccFrequenceVideo", "multi", "Corriger la fréquence vidéo", nullptr, "Ctrl+Y", "frequency", false,
     true},
};

TCustomAbstractAction& Make(TMvActionList& al, Kind kind, const std::string& name) {
    switch (kind) {
        case Kind::Nope: return al.Create<TNopeAction>(name);
        case Kind::Check: return al.Create<TCheckAction>(name);
        case Kind::Integer: return al.Create<TIntegerAction>(name);
        case Kind::Text: return al.Create<TWidestringAction>(name);
        case Kind::Texts: return al.Create<TWStringsAction>(name);
        case Kind::Rect: return al.Create<TRectAction>(name);
        case Kind::Real: return al.Create<TDoubleAction>(name);
    }
    return al.Create<TNopeAction>(name);
}

}  // namespace

void CreateWindowActions(TMvActionList& al, TdmAction& commands,
                         const std::function<TCustomAbstractAction*(const std::string&)>& existing) {
    const auto known = [&](const std::string& name) { return existing(name) || al.FindAction(name); };
    for (const ActionRow& row : kWindowActions) {
        if (known(row.name)) continue;
        TCustomAbstractAction& action = Make(al, row.kind, row.name);
        action.Category = row.category;
        action.SetShortCut(row.shortCut);
        action.ScriptName = row.script;
        action.ApplyWhenLoad = row.applyWhenLoad;
        action.IncludePrefs = row.saved;
        if (auto* check = dynamic_cast<TCheckAction*>(&action)) {
            check->SetFalseCaption(row.caption);
            check->SetTrueCaption(row.checkedCaption);
        } else {
            action.SetCaption(row.caption);
        }
    }
    if (!existing("caListeGauche"))
        if (auto* left = dynamic_cast<TCheckAction*>(al.FindAction("caListeGauche"))) left->SetDefaultValue(true);
    if (!existing("waSortIndexId"))
        if (auto* sort = dynamic_cast<TWidestringAction*>(al.FindAction("waSortIndexId")))
            sort->SetDefaultValue("alpha");
    for (tAbstractCmd* command : commands.Commands()) {
        const std::string name = "cc" + command->Name;
        if (known(name)) continue;
        TNopeAction& action = al.Create<TNopeAction>(name);
        action.Category = command->Category.empty() ? "multi" : command->Category;
        action.SetCaption(command->Name);
    }
}

}  // namespace velinor
