#include "graph/dv_splitter.h"

#include <cstring>

#include "graph/sample_peek.h"

namespace velinor::graph {

namespace {

constexpr size_t kFrameBytes525 = 120'000;
constexpr size_t kFrameBytes625 = 144'000;
constexpr int64_t kFrameDuration525 = 333'667;  // 100 ns, 30000/1001 frames per second
constexpr int64_t kFrameDuration625 = 400'000;

}  // namespace

DvSplitter::DvSplitter() : Filter("DV Splitter") {
    addInput("Input");
    addOutput("DVVidOut0");
    addOutput("AudOut00");
}

bool DvSplitter::checkInputType(const InputPin&, const MediaType& type) {
    return type.major == MajorType::Interleaved &&
           (type.subtype == kSubtypeDvsd || type.subtype == kSubtypeAny);
}

std::vector<MediaType> DvSplitter::outputTypes(const OutputPin& pin) {
    if (!input()->isConnected()) return {};
    if (&pin == output(0)) return {videoType_};
    if (audio_.Frequency == 0) return {};
    return {audioType_};
}

void DvSplitter::onConnected(Pin& pin) {
    if (&pin != input()) return;
    const auto frame = PeekUpstream(*input());
    is525_ = frame && frame->size() == kFrameBytes525;
    audio_ = {};
    if (frame) {
        if (auto found = ReadDifAudioFormat(*frame)) audio_ = found->Format;
    }
    VideoInfo video;
    video.avgTimePerFrame = is525_ ? kFrameDuration525 : kFrameDuration625;
    video.width = 720;
    video.height = is525_ ? 480 : 576;
    video.bitCount = 24;
    video.compression = kSubtypeDvsd;
    video.imageSize = uint32_t(is525_ ? kFrameBytes525 : kFrameBytes625);
    videoType_ = VideoType(kSubtypeDvsd, video);
    WaveFormat wave;
    wave.channels = uint16_t(audio_.Channels);
    wave.samplesPerSec = uint32_t(audio_.Frequency);
    wave.bitsPerSample = 16;
    audioType_ = AudioType(wave);
}

SampleUse DvSplitter::sampleUse(const InputPin&) const {
    const SampleUse video = output(0)->peerUse();
    if (video == SampleUse::Whole) return video;
    const bool sound = audio_.Frequency != 0 && output(1)->peerUse() != SampleUse::TimesOnly;
    return sound || video == SampleUse::DifAudioBlocks ? SampleUse::DifAudioBlocks : SampleUse::TimesOnly;
}

bool DvSplitter::startStreaming(std::string&) {
    pcm_.clear();
    return true;
}

Flow DvSplitter::receive(InputPin&, const SamplePtr& sample) {
    SamplePtr audio;
    if (audio_.Frequency != 0 && output(1)->isConnected()) {
        audio = std::make_shared<Sample>();
        CopySampleProperties(*sample, *audio);
        audio->hasMediaTime = false;
        const auto decoded = DecodeDifAudio(sample->data, pcm_);
        if (decoded && decoded->Format == audio_) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(pcm_.data());
            audio->data.assign(bytes, bytes + pcm_.size() * sizeof(int16_t));
        } else {
            // A frame without audio, or in another format, plays as silence of its length so
            // that the sound keeps step with the pictures.
            const int64_t frame = sample->hasMediaTime ? sample->mediaStart : 0;
            const int32_t count = DifAudioSequencer::SamplesForFrame(is525_, audio_.Frequency, frame);
            audio->data.assign(size_t(count) * size_t(audio_.Channels) * sizeof(int16_t), 0);
        }
    }
    Flow flow = output(0)->deliver(sample);
    if (flow != Flow::Ok || !audio) return flow;
    return output(1)->deliver(audio);
}

}  // namespace velinor::graph
