#include "cli/command_set_options.h"

#include <cstdio>
#include <set>

#include "actions/value_text.h"
#include "platform/atomic_file.h"

namespace velinor::cli {

void CliCommandSet::RemoveLeftovers() {
    std::set<std::string> folders;
    for (int i = 0; i < set->List.Count(); ++i) {
        const std::string& path = set->List.Item(i)->FileName;
        const auto slash = path.rfind('/');
        folders.insert(slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1));
    }
    if (!set->Dm.Settings.SameFolder) {
        std::string save = set->Dm.SaveFolder();
        if (!save.empty() && save.back() != '/') save += '/';
        folders.insert(save);
    }
    for (const std::string& folder : folders) {
        const int removed = velinor::RemoveLeftovers(folder);
        if (removed == 1)
            std::fprintf(stderr,
                         "1 fichier temporaire laissé par une exécution interrompue a été supprimé dans %s\n",
                         folder.c_str());
        else if (removed > 1)
            std::fprintf(
                stderr,
                "%d fichiers temporaires laissés par des exécutions interrompues ont été supprimés dans %s\n",
                removed, folder.c_str());
    }
}

namespace {

const char* KindText(ActionValueType type) {
    switch (type) {
        case ActionValueType::WideString:
            return "texte";
        case ActionValueType::WStrings:
            return "liste";
        case ActionValueType::Font:
            return "police";
        case ActionValueType::Integer:
            return "entier";
        case ActionValueType::Double:
            return "réel";
        case ActionValueType::Boolean:
        case ActionValueType::Check:
            return "booléen";
        case ActionValueType::Rect:
            return "rectangle";
        case ActionValueType::None:
            break;
    }
    return "commande";
}

// Whether the text reads as a value of the action's kind; texts, lists and booleans always do.
bool Readable(ActionValueType type, const std::string& value) {
    if (type == ActionValueType::Integer) return text::ParseInt32(value).has_value();
    if (type == ActionValueType::Double) return text::ParseDouble(value).has_value();
    return true;
}

}  // namespace

bool TakeCommonOptions(Args& args, CommonOptions& options, const char* usage) {
    Args rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--preferences") {
            options.preferences = true;
            continue;
        }
        if (arg != "--set") {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "Réglage attendu après --set\n%s", usage);
            return false;
        }
        const std::string& value = args[++i];
        const size_t eq = value.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::fprintf(stderr, "Réglage attendu sous la forme NOM=VALEUR : %s\n%s", value.c_str(), usage);
            return false;
        }
        options.sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    }
    args = std::move(rest);
    return true;
}

CliCommandSet::CliCommandSet()
    : set(std::make_unique<TCommandSet>(ui, [this](const std::function<bool()>& done) {
          ui.RunUntil(done);
          ui.RunPending();
      })) {
    // Headless, the preview opens a file only for the commands that read its pictures.
    set->PreviewFollowsActive = false;
    set->ListExports.OnError = [](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
    };
    set->ListManager.OnError = [](const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
    };
    set->OnRefused = [](const std::string& reason) { std::fprintf(stderr, "%s\n", reason.c_str()); };
    set->List.OnOpenError = [](const std::string& reason) { std::fprintf(stderr, "%s\n", reason.c_str()); };
}

CliCommandSet::~CliCommandSet() {
    set.reset();
    ui.RunPending();
}

bool CliCommandSet::Configure(const CommonOptions& options) {
    set->ApplyDefaults();
    // Every column is exported unless "Selected" says otherwise.
    if (set->ListExports.saSelected.CurrentValue().empty())
        set->ListExports.saSelected.SetValue(set->ListExports.saAvailable.DefaultValue());
    if (options.preferences) {
        // Read only: nothing here ever saves, and the kept list of files is not reopened.
        TMorvanePreferences prefs(PreferencesPaths::ForThisProcess());
        prefs.OnLoadPrefs = [this](TMorvanePreferences& p) { set->LoadPreferences(p, false); };
        prefs.Load();
    }
    for (const auto& [name, value] : options.sets) {
        TCustomAbstractAction* action = set->ScriptAction(name);
        if (!action) {
            std::fprintf(stderr, "Réglage inconnu ou valeur invalide : %s=%s\n", name.c_str(), value.c_str());
            return false;
        }
        if (action == &set->ListExports.waExportCSV || action == &set->ListExports.waExportExcel) {
            if (value.empty()) {
                std::fprintf(stderr, "Chemin d'export attendu : %s=\n", name.c_str());
                return false;
            }
            exports_.emplace_back(static_cast<TWidestringAction*>(action), value);
            continue;
        }
        if (!set->IsSetting(*action)) {
            std::fprintf(stderr, "%s est une commande, pas un réglage : lancez-la avec « velinor-cli run »\n",
                         name.c_str());
            return false;
        }
        if (!Readable(action->ValueType(), value) || !set->AcceptsValue(*action, value)) {
            std::fprintf(stderr, "Réglage inconnu ou valeur invalide : %s=%s (%s attendu)\n", name.c_str(),
                         value.c_str(), KindText(action->ValueType()));
            return false;
        }
        action->SetValueText(value);
    }
    return true;
}

bool CliCommandSet::RunExports() {
    bool ok = true;
    for (const auto& [action, path] : exports_) {
        const auto kind = action == &set->ListExports.waExportExcel ? TListExportActions::Kind::Excel
                                                                    : TListExportActions::Kind::Csv;
        ok = set->ListExports.ExportList(kind, path).empty() && ok;
    }
    return ok;
}

int PrintSettings(const CommonOptions& options) {
    CliCommandSet cli;
    if (!cli.Configure(options)) return 2;
    std::printf("Actions (nom de script, genre, défaut, valeur actuelle, aide) :\n");
    for (TMvActionList* list : cli.set->ActionLists())
        for (TCustomAbstractAction* action : list->Actions()) {
            if (action->ScriptName.empty()) continue;
            std::string hint = action->Hint();
            if (hint.empty() && action->Caption() != action->ScriptName) hint = action->Caption();
            const bool setting = cli.set->IsSetting(*action);
            std::printf("%s\t%s\t%s\t%s\t%s\n", action->ScriptName.c_str(),
                        setting ? KindText(action->ValueType()) : "commande",
                        setting ? cli.set->DefaultText(*action).c_str() : "",
                        setting ? action->ValueText().c_str() : "", hint.c_str());
        }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace velinor::cli
