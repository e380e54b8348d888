#pragma once
// Splits interleaved DV (type 1) into a DV video stream and a PCM audio stream. The audio format
// comes from the AAUX packs of the stream's first frame, not from the DVINFO block, which many
// capture tools write as a fixed value. Negotiation on the controlling thread, samples on the
// streaming thread of the source.
#include <vector>

#include "graph/filter.h"
#include "media/dif_audio.h"

namespace velinor::graph {

class DvSplitter : public Filter {
public:
    DvSplitter();
    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    std::vector<MediaType> outputTypes(const OutputPin& pin) override;
    void onConnected(Pin& pin) override;
    bool startStreaming(std::string& error) override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;
    // The whole frame when the video output's peer looks at it, else only the audio blocks
    // when the sound is used, else nothing.
    SampleUse sampleUse(const InputPin& pin) const override;

    // The audio format found when the input was connected; Frequency 0 when the frames carry none.
    const DifAudioFormat& audioFormat() const { return audio_; }

private:
    MediaType videoType_;
    MediaType audioType_;
    DifAudioFormat audio_;
    bool is525_ = false;
    // Streaming thread.
    std::vector<int16_t> pcm_;
};

}  // namespace velinor::graph
