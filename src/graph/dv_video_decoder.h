#pragma once
// Decodes DV video samples, one frame per core at a time, into 24-bit BGR pictures with rows
// bottom-up, or into the codec's own YUV planes (I420 at 625/50, Y41B at 525/60) for a
// downstream filter that takes them.
// Samples that are not decodable DV frames (tape dropouts, cut frames) are dropped and counted.
// Negotiation on the controlling thread, samples on the streaming thread of the source.
#include <atomic>
#include <memory>
#include <vector>

#include "graph/dv_codec.h"
#include "graph/filter.h"
#include "graph/parallel_stage.h"

namespace velinor::graph {

class DvVideoDecoder : public TransformFilter {
public:
    // 0 lanes: one per core. With `oneAtATime`, each picture leaves before the next sample is
    // taken in, so the filters upstream have seen no later frame while a picture is shown (the
    // preview reads the datecode of the picture it holds in pause).
    explicit DvVideoDecoder(size_t lanes = 0, bool oneAtATime = false);
    ~DvVideoDecoder() override;
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
    Flow emit(const SamplePtr& out, bool ok);

    ParallelStage stage_;
    bool oneAtATime_;
    std::vector<std::unique_ptr<DvDecoder>> decoders_;  // one per lane
    std::vector<BgrPicture> pictures_;
    SamplePool pool_;
    RepeatedJobs repeats_;
    bool yuv_ = false;  // the connection carries planes, not BGR
    int width_ = 0;
    int height_ = 0;
    std::atomic<int64_t> dropped_{0};
};

}  // namespace velinor::graph
