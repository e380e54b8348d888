#pragma once
// Puts the decoders and splitters the render helper may insert into a registry. Any thread.
#include "graph/filter_registry.h"

namespace velinor::graph {

void RegisterSystemFilters(FilterRegistry& registry = FilterRegistry::global());

}  // namespace velinor::graph
