#pragma once
// The RIFF viewer: the structure report of one AVI file in a read-only window. GUI thread only.
#include <string>

class QWidget;

namespace velinor {

// Analyses the file and shows its report in a window of its own (deleted when closed); throws
// std::runtime_error with a French message when the file cannot be analysed.
void ShowRiffViewer(QWidget* parent, const std::string& path);

}  // namespace velinor
