#pragma once
// Encodes 24-bit BGR pictures (720 wide, 576 or 480 rows, bottom-up), or the DV decoder's YUV
// planes as they are, into DV video frames, one frame per core at a time. Every frame carries the header
// system byte, the VAUX source and source control packs and empty subcode packs, ready for the pack writers.
// Negotiation on the controlling thread, samples on the streaming thread of the source.
#include <memory>
#include <vector>

#include "graph/dv_codec.h"
#include "graph/dv_segments.h"
#include "graph/filter.h"
#include "graph/parallel_stage.h"

namespace velinor::graph {

class DvVideoEncoder : public TransformFilter {
public:
    // 0 lanes: one per core.
    explicit DvVideoEncoder(bool wide = false, size_t lanes = 0);
    ~DvVideoEncoder() override;
    void setWide(bool wide) { wide_ = wide; }
    // With a board, a picture in planes whose changed segments the board holds has only those
    // coded; the filter after this one must put every other segment back.
    void codeOnlyTouched(std::shared_ptr<TouchedSegments> board) { board_ = std::move(board); }
    bool startStreaming(std::string& error) override;
    void stopStreaming() override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;
    void endOfStream(InputPin& pin) override;
    void newSegment(InputPin& pin, int64_t start, std::optional<int64_t> stop) override;

protected:
    bool acceptsInput(const MediaType& type) override;
    std::vector<MediaType> outputTypesFor(const MediaType& input) override;
    Flow transform(const Sample& in, Sample& out) override;

private:
    Flow emit(const SamplePtr& out, bool ok);

    bool wide_;
    ParallelStage stage_;
    std::vector<std::unique_ptr<DvEncoder>> encoders_;  // one per lane
    SamplePool pool_;
    RepeatedJobs repeats_;
    bool yuv_ = false;       // the input carries DV planes, not BGR
    size_t inputBytes_ = 0;  // of one input picture
    std::shared_ptr<TouchedSegments> board_;
};

}  // namespace velinor::graph
