#include "graph/filter_registry.h"

#include <algorithm>

namespace velinor::graph {

FilterRegistry& FilterRegistry::global() {
    static FilterRegistry registry;
    return registry;
}

void FilterRegistry::add(FilterFactory factory) {
    std::lock_guard lock(mutex_);
    std::erase_if(factories_, [&](const FilterFactory& f) { return f.name == factory.name; });
    factories_.push_back(std::move(factory));
}

void FilterRegistry::remove(const std::string& name) {
    std::lock_guard lock(mutex_);
    std::erase_if(factories_, [&](const FilterFactory& f) { return f.name == name; });
}

std::vector<FilterFactory> FilterRegistry::factories() const {
    std::lock_guard lock(mutex_);
    auto sorted = factories_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const FilterFactory& a, const FilterFactory& b) { return a.merit > b.merit; });
    return sorted;
}

}  // namespace velinor::graph
