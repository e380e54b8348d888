#include "commands/viewdm_fixtures.h"

#include <cmath>

#include "graph/dv_avi_files.h"
#include "support/dv_builder.h"

namespace velinor::test {

DatecodeFields PreviewFrameDate(int index) {
    return AddSeconds(kPreviewStart, index);
}

Timecode PreviewFrameTimecode(int index) {
    return Timecode{1, 2, 3, uint8_t(index % 25)};
}

std::vector<std::vector<uint8_t>> WritePreviewDvAvi(const std::string& path, int count, bool type1) {
    const DifAudioFormat format{48'000, 16, 2};
    std::vector<DvFrame> frames;
    std::vector<std::vector<int16_t>> pcm;
    int64_t t = 0;
    for (int i = 0; i < count; ++i) {
        DvFrameOptions options;
        options.packs.datecode = PreviewFrameDate(i);
        options.packs.timecode = PreviewFrameTimecode(i);
        options.packs.audio = AudioInfo{48'000, 2, 16};
        options.pictureIndex = i;
        DvFrame frame = BuildDvFrame(options);
        const int32_t samples = DifAudioSequencer::SamplesForFrame(false, 48'000, i);
        std::vector<int16_t> tone(size_t(samples) * 2);
        for (int32_t s = 0; s < samples; ++s, ++t)
            tone[size_t(2 * s)] = tone[size_t(2 * s + 1)] = int16_t(8000 * std::sin(double(t) * 0.05));
        EncodeDifAudio(frame, format, tone, samples);
        frames.push_back(std::move(frame));
        pcm.push_back(std::move(tone));
    }
    if (type1)
        WriteType1(path, frames, false);
    else
        WriteType2(path, frames, pcm, false);
    return frames;
}

void RecordedMessages::post(int message, intptr_t wParam, intptr_t) {
    std::lock_guard lock(mutex_);
    if (message == kMsgPlayState) playStates_.push_back(wParam);
}

std::vector<intptr_t> RecordedMessages::playStates() const {
    std::lock_guard lock(mutex_);
    return playStates_;
}

}  // namespace velinor::test
