#include "graph/sample_peek.h"

namespace velinor::graph {

std::optional<std::vector<uint8_t>> PeekUpstream(const InputPin& input) {
    const Pin* peer = input.connectedTo();
    for (int depth = 0; peer && depth < 16; ++depth) {
        Filter& upstream = peer->filter();
        if (auto* peeker = dynamic_cast<SamplePeeker*>(&upstream))
            return peeker->peekFirstSample(static_cast<const OutputPin&>(*peer));
        const auto ins = upstream.inputs();
        if (ins.size() != 1) break;
        peer = ins[0]->connectedTo();
    }
    return std::nullopt;
}

}  // namespace velinor::graph
