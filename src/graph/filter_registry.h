#pragma once
// The decoders and converters the render helper may insert. System filters register here
// at start-up; reads and writes may come from any thread.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velinor::graph {

class Filter;

struct FilterFactory {
    std::string name;
    int merit = 0;  // higher is tried first
    std::function<std::shared_ptr<Filter>()> create;
};

class FilterRegistry {
public:
    static FilterRegistry& global();
    // A factory of the same name replaces the earlier one.
    void add(FilterFactory factory);
    void remove(const std::string& name);
    // By decreasing merit, then in order of registration.
    std::vector<FilterFactory> factories() const;

private:
    mutable std::mutex mutex_;
    std::vector<FilterFactory> factories_;
};

}  // namespace velinor::graph
