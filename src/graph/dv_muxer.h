#pragma once
// Joins a DV video stream and a PCM audio stream into interleaved DV (type 1): each frame gets
// the next run of audio samples shuffled into its audio blocks, as many as the DV sample-count
// cycle gives it. A second audio input appears once the first is connected; two streams fit in
// a frame only as four 12-bit channels at 32 kHz, so a second stream that cannot be carried that
// way is dropped, and droppedNotice() says so. Negotiation on the controlling thread; samples on the
// streaming threads, under the filter's lock, so the two inputs may come from different sources.
#include <deque>
#include <mutex>
#include <string>
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
    void onConnected(Pin& pin) override;

    // After startStreaming: why the second audio stream is left out, or empty.
    const std::string& droppedNotice() const { return droppedNotice_; }

private:
    bool audioConnected() const;
    // Sends the frames whose audio is complete; with `draining`, every frame, padding with silence.
    Flow flushLocked(bool draining);

    std::mutex mutex_;
    DifAudioFormat audio_;
    std::deque<SamplePtr> frames_;
    std::deque<int16_t> pcm_;   // interleaved samples waiting for their frame
    std::deque<int16_t> pcm2_;  // the second stream, as a stereo pair, when it is kept
    bool keepSecond_ = false;
    bool monoFirst_ = false;  // with two streams each is carried as a pair: mono is doubled
    bool monoSecond_ = false;
    bool audioAtEnd_ = false;
    bool audio2AtEnd_ = false;
    std::string droppedNotice_;
    std::vector<int16_t> chunk_;
    int64_t frameIndex_ = 0;
};

}  // namespace velinor::graph
