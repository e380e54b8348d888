#pragma once
// Lets a filter read the first sample an upstream output will deliver, before streaming starts,
// for formats that only the data states (a DV stream's audio is known from its frames' packs).
// Controlling thread, while the graph is stopped.
#include <cstdint>
#include <optional>
#include <vector>

#include "graph/filter.h"

namespace velinor::graph {

class SamplePeeker {
public:
    virtual ~SamplePeeker() = default;
    // The first non-empty sample `pin` would deliver from the start of its stream, or nothing.
    virtual std::optional<std::vector<uint8_t>> peekFirstSample(const OutputPin& pin) = 0;
};

// Walks upstream from `input` through filters that pass samples unchanged (one input, the
// sample's first output) to a peeker; nothing when there is none.
std::optional<std::vector<uint8_t>> PeekUpstream(const InputPin& input);

}  // namespace velinor::graph
