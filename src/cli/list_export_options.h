#pragma once
// The file-list exports that any velinor-cli verb over opened files takes as settings
// ("--set ExportCSV=PATH", "--set ExportExcel=PATH", "--set Selected=COLUMNS"). Main thread.
#include <string>
#include <utility>
#include <vector>

#include "commands/list_export_actions.h"

namespace velinor::cli {

class ListExportOptions {
public:
    // Every column is exported unless "Selected" says otherwise.
    ListExportOptions();

    // Takes the setting when it is one of the exports' (any case); false otherwise.
    bool Take(const std::string& name, const std::string& value);
    // Runs the exports asked for over the list, in the order given. False when one failed (the
    // reason is on stderr).
    bool Run(TFichierListModel& list);

private:
    TListExportActions actions_;
    std::vector<std::pair<TWidestringAction*, std::string>> pending_;
};

}  // namespace velinor::cli
