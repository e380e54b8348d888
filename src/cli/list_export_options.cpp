#include "cli/list_export_options.h"

#include <cstdio>

namespace velinor::cli {

ListExportOptions::ListExportOptions() {
    actions_.saSelected.SetValue(actions_.saAvailable.DefaultValue());
    actions_.OnError = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
}

bool ListExportOptions::Take(const std::string& name, const std::string& value) {
    TCustomAbstractAction* action = actions_.Actions.FindScriptName(name);
    if (!action) return false;
    if (action == &actions_.waExportCSV || action == &actions_.waExportExcel) {
        if (value.empty()) return false;
        pending_.emplace_back(static_cast<TWidestringAction*>(action), value);
        return true;
    }
    action->SetValueText(value);
    return true;
}

bool ListExportOptions::Run(TFichierListModel& list) {
    actions_.SetFichierListBox(&list);
    bool ok = true;
    for (const auto& [action, path] : pending_) {
        const auto kind = action == &actions_.waExportExcel ? TListExportActions::Kind::Excel
                                                            : TListExportActions::Kind::Csv;
        ok = actions_.ExportList(kind, path).empty() && ok;
    }
    actions_.SetFichierListBox(nullptr);
    return ok;
}

}  // namespace velinor::cli
