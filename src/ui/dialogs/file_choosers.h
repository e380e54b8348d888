#pragma once
// Qt's file and folder choosers as the core's dialogs ask for them: the list manager's open,
// save and folder choices and the list export's save choice. GUI thread only.
#include <optional>
#include <string>

#include "filelist/list_fichier_man.h"

class QWidget;

namespace velinor {

TListFichierDialogs ListFileChoosers(QWidget* parent);

// The export's save chooser: title, proposed name, filter, initial folder. An existing name is
// asked about by the export itself, which can keep both files, so Qt does not ask.
std::optional<std::string> ChooseExportFile(QWidget* parent, const std::string& title,
                                            const std::string& name, const std::string& filter,
                                            const std::string& initialDir);

}  // namespace velinor
