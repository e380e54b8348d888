#include "graph/dv_muxer.h"

#include <algorithm>
#include <optional>

namespace velinor::graph {

namespace {

constexpr size_t kFrameBytes525 = 120'000;
constexpr size_t kFrameBytes625 = 144'000;
// Frames held while their audio is late; beyond this they go out with silence rather than
// letting a stream without sound fill the memory.
constexpr size_t kMaxWaitingFrames = 50;

bool CarriedByDv(const WaveFormat& wave) {
    if (wave.formatTag != kSubtypePcm || wave.bitsPerSample != 16) return false;
    if (wave.channels != 1 && wave.channels != 2) return false;
    return wave.samplesPerSec == 48'000 || wave.samplesPerSec == 44'100 || wave.samplesPerSec == 32'000;
}

}  // namespace

DvMuxer::DvMuxer() : Filter("DV Mux") {
    addInput("Video");
    addInput("Audio");
    addOutput("Output");
}

void DvMuxer::onConnected(Pin& pin) {
    if (&pin == input(1) && inputs().size() == 2) addInput("Audio 2");
}

bool DvMuxer::checkInputType(const InputPin& pin, const MediaType& type) {
    if (&pin == input(0)) return type.major == MajorType::Video && type.subtype == kSubtypeDvsd;
    if (type.major != MajorType::Audio) return false;
    const auto wave = WaveFormat::decode(type.format);
    return wave && CarriedByDv(*wave);
}

std::vector<MediaType> DvMuxer::outputTypes(const OutputPin&) {
    if (!input(0)->isConnected()) return {};
    // The writer reads each frame's own packs; this block only tells the type apart.
    return {MediaType(MajorType::Interleaved, kSubtypeDvsd, std::vector<uint8_t>(32, 0xFF))};
}

bool DvMuxer::audioConnected() const {
    return input(1)->isConnected();
}

bool DvMuxer::startStreaming(std::string&) {
    std::lock_guard lock(mutex_);
    audio_ = {};
    keepSecond_ = monoFirst_ = monoSecond_ = false;
    droppedNotice_.clear();
    std::optional<WaveFormat> first, second;
    if (audioConnected()) first = WaveFormat::decode(input(1)->connectionType().format);
    if (first) audio_ = {int32_t(first->samplesPerSec), 16, int32_t(first->channels)};
    if (input(2) && input(2)->isConnected()) second = WaveFormat::decode(input(2)->connectionType().format);
    if (second) {
        if (first && first->samplesPerSec == 32'000 && second->samplesPerSec == 32'000) {
            audio_ = {32'000, 12, 4};
            keepSecond_ = true;
            monoFirst_ = first->channels == 1;
            monoSecond_ = second->channels == 1;
        } else {
            droppedNotice_ =
                "Le second flux audio est ignoré : deux flux n'entrent dans une trame DV qu'en "
                "quatre voies 12 bits à 32 kHz";
        }
    }
    frames_.clear();
    pcm_.clear();
    pcm2_.clear();
    audioAtEnd_ = audio2AtEnd_ = false;
    frameIndex_ = 0;
    return true;
}

Flow DvMuxer::receive(InputPin& pin, const SamplePtr& sample) {
    std::lock_guard lock(mutex_);
    if (&pin == input(1) || &pin == input(2)) {
        if (&pin == input(2) && !keepSecond_) return Flow::Ok;
        auto& fifo = &pin == input(1) ? pcm_ : pcm2_;
        const bool doubled = &pin == input(1) ? monoFirst_ : monoSecond_;
        const size_t count = sample->data.size() / 2;
        for (size_t i = 0; i < count; ++i) {
            const auto value = int16_t(uint16_t(sample->data[2 * i] | sample->data[2 * i + 1] << 8));
            fifo.push_back(value);
            if (doubled) fifo.push_back(value);
        }
        return flushLocked(false);
    }
    if (sample->data.size() != kFrameBytes525 && sample->data.size() != kFrameBytes625)
        return reportError("Trame DV de taille incorrecte");
    frames_.push_back(sample);
    return flushLocked(frames_.size() > kMaxWaitingFrames);
}

void DvMuxer::endOfStream(InputPin& pin) {
    {
        std::lock_guard lock(mutex_);
        if (&pin == input(1)) audioAtEnd_ = true;
        if (&pin == input(2)) audio2AtEnd_ = true;
        if (!allInputsAtEnd()) {
            flushLocked(false);
            return;
        }
        flushLocked(true);
    }
    output(0)->deliverEndOfStream();
}

Flow DvMuxer::flushLocked(bool draining) {
    const bool withAudio = audioConnected() && audio_.Frequency != 0;
    while (!frames_.empty()) {
        SamplePtr frame = frames_.front();
        const bool is525 = frame->data.size() == kFrameBytes525;
        if (withAudio) {
            const int32_t count = DifAudioSequencer::SamplesForFrame(is525, audio_.Frequency, frameIndex_);
            if (keepSecond_) {
                // Two pairs: each sample is pair 1 then pair 2.
                const size_t needed = size_t(count) * 2;
                if (!draining &&
                    ((pcm_.size() < needed && !audioAtEnd_) || (pcm2_.size() < needed && !audio2AtEnd_)))
                    break;
                chunk_.assign(size_t(count) * 4, 0);
                const size_t take1 = std::min(needed, pcm_.size()), take2 = std::min(needed, pcm2_.size());
                for (size_t i = 0; i < take1; ++i) chunk_[(i / 2) * 4 + i % 2] = pcm_[i];
                for (size_t i = 0; i < take2; ++i) chunk_[(i / 2) * 4 + 2 + i % 2] = pcm2_[i];
                pcm_.erase(pcm_.begin(), pcm_.begin() + ptrdiff_t(take1));
                pcm2_.erase(pcm2_.begin(), pcm2_.begin() + ptrdiff_t(take2));
            } else {
                const size_t needed = size_t(count) * size_t(audio_.Channels);
                if (pcm_.size() < needed && !draining && !audioAtEnd_) break;
                const size_t take = std::min(needed, pcm_.size());
                chunk_.assign(pcm_.begin(), pcm_.begin() + ptrdiff_t(take));
                chunk_.resize(needed, 0);
                pcm_.erase(pcm_.begin(), pcm_.begin() + ptrdiff_t(take));
            }
            if (!frame->writable) {
                frame = std::make_shared<Sample>(*frame);
                frame->writable = true;
            }
            if (!EncodeDifAudio(frame->data, audio_, chunk_, count)) {
                frames_.clear();
                return reportError("Impossible d'écrire le son dans la trame DV");
            }
        }
        frames_.pop_front();
        ++frameIndex_;
        const Flow flow = output(0)->deliver(frame);
        if (flow != Flow::Ok) return flow;
    }
    return Flow::Ok;
}

}  // namespace velinor::graph
