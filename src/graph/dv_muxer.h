#pragma once
// Joins a DV video stream and a PCM audio stream into interleaved DV (type 1): each frame gets
// the next run of audio samples shuffled into its audio blocks, as many as the DV sample-count
// cycle gives it. Negotiation on the controlling thread; samples on the streaming threads, under
// the filter's lock, so the two inputs may come from different sources.
#include <deque>
#include <mutex>
#include <vector>

#include "graph/filter.h"
#include "media/dif_audio.h"

namespace velinor::graph {

class DvMuxer : public Filter {
  public:
    DvMuxer();
    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    std::vector<MediaType> outputTypes(const OutputPin& pin) override;
    bool startStreaming(std::string& error) override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;
    void endOfStream(InputPin& pin) override;

  private:
    bool audioConnected() const;
    // Sends the frames whose audio is complete; with `draining`, every frame, padding with silence.
    Flow flushLocked(bool draining);

    std::mutex mutex_;
    DifAudioFormat audio_;
    std::deque<SamplePtr> frames_;
    std::deque<int16_t> pcm_;  // interleaved samples waiting for their frame
    bool audioAtEnd_ = false;
    std::vector<int16_t> chunk_;
    int64_t frameIndex_ = 0;
};

}  // namespace velinor::graph
