#pragma once
// The file source and AVI splitter in one: loads an AVI file through the demuxer and delivers
// each stream on its own output pin, in time order, from one streaming thread. Control calls
// come from the graph's controlling thread.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graph/filter.h"
#include "graph/parallel_stage.h"
#include "graph/sample_peek.h"

namespace velinor {
class AviDemuxer;
}

namespace velinor::graph {

class AviSource : public SourceFilter, public SamplePeeker {
public:
    AviSource();
    ~AviSource() override;

    // Opens the file (read-only) and creates one output per usable stream ("Stream 00", ...).
    // Stopped graph only, before connecting. Throws MediaError when the file is not a readable
    // AVI file. With `videoAsDvsd` the video stream's codec is taken as "dvsd" in memory.
    void load(const std::string& path, bool videoAsDvsd = false);
    bool loaded() const { return demuxer_ != nullptr; }
    const AviDemuxer* demuxer() const { return demuxer_.get(); }

    int64_t duration() const override;
    int64_t frameDuration() const override;
    std::vector<MediaType> outputTypes(const OutputPin& pin) override;
    std::optional<std::vector<uint8_t>> peekFirstSample(const OutputPin& pin) override;

    // Looks at what each output's peer does with the bytes: a stream whose samples are only
    // counted for their times is not read, and of DV frames only the audio blocks may be read.
    bool startStreaming(std::string& error) override;

protected:
    void seek(int64_t start, std::optional<int64_t> stop) override;
    Flow produce() override;

private:
    struct Output {
        OutputPin* pin = nullptr;
        int stream = -1;
        MediaType type;
        int64_t next = 0;  // next sample number
        int64_t end = 0;   // one past the last sample of the segment
        bool ended = false;
        SampleUse use = SampleUse::Whole;  // what the peer does with the bytes, for this run
        SamplePool partial;  // buffers of partly read frames, taken again once nobody holds them
    };
    int64_t sampleStart(const Output& out, int64_t n) const;
    Flow deliverSample(Output& out);

    std::unique_ptr<AviDemuxer> demuxer_;
    std::vector<Output> outputs_;
    int leader_ = -1;  // the output whose samples pace the others (video), or -1
};

}  // namespace velinor::graph
