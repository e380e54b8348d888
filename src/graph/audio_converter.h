#pragma once
// Converts PCM audio (8, 16, 24 or 32-bit integer, or 32-bit float) to 16-bit PCM at a chosen
// rate and channel count through libswresample. setOutputFormat on the controlling thread while
// stopped; samples on the streaming thread of the source.
#include <cstdint>
#include <memory>

#include "graph/filter.h"

namespace velinor::graph {

class AudioConverter : public TransformFilter {
public:
    AudioConverter();
    ~AudioConverter() override;

    // 0 keeps the input's value. False, with nothing changed, for a rate or a count it cannot give.
    bool setOutputFormat(uint32_t samplesPerSec, uint16_t channels);

    bool startStreaming(std::string& error) override;
    void stopStreaming() override;
    void endOfStream(InputPin& pin) override;
    void newSegment(InputPin& pin, int64_t start, std::optional<int64_t> stop) override;

protected:
    bool acceptsInput(const MediaType& type) override;
    std::vector<MediaType> outputTypesFor(const MediaType& input) override;
    Flow transform(const Sample& in, Sample& out) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    uint32_t rate_ = 0;
    uint16_t channels_ = 0;
};

}  // namespace velinor::graph
