#pragma once
// Decodes the video of other AVI codecs through libavcodec, chosen by the stream's FourCC in
// libavformat's RIFF tag table, into 24-bit BGR pictures with rows bottom-up. Pictures that do
// not decode, or come out at another size than the connection's, are dropped and counted.
// Negotiation on the controlling thread, samples on the streaming thread of the source.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>

#include "graph/filter.h"

namespace velinor::graph {

class AvVideoDecoder : public TransformFilter {
public:
    AvVideoDecoder();
    ~AvVideoDecoder() override;

    // Whether libavcodec has a decoder for this FourCC (any letter case).
    static bool CanDecode(uint32_t fourcc);

    bool startStreaming(std::string& error) override;
    void stopStreaming() override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;
    void endOfStream(InputPin& pin) override;
    void newSegment(InputPin& pin, int64_t start, std::optional<int64_t> stop) override;
    int64_t droppedFrames() const { return dropped_.load(); }

protected:
    bool acceptsInput(const MediaType& type) override;
    std::vector<MediaType> outputTypesFor(const MediaType& input) override;
    Flow transform(const Sample& in, Sample& out) override;

private:
    struct Impl;
    Flow receiveFrames();

    std::unique_ptr<Impl> impl_;
    std::map<int64_t, Sample> pending_;  // times and flags of the samples sent, by media time
    int64_t nextPts_ = 0;
    std::atomic<int64_t> dropped_{0};
};

}  // namespace velinor::graph
