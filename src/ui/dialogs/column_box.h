#pragma once
// The box of export columns: every available column with a tick, the chosen ones first in their
// order; rows can be dragged into another order. GUI thread only.
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace velinor {

// The ticked columns in their order; nothing when cancelled.
std::optional<std::vector<std::string>> ColumnBox(QWidget* parent, const std::vector<std::string>& available,
                                                  const std::vector<std::string>& selected);

}  // namespace velinor
