#include "graph/audio_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace velinor::graph {

namespace {

constexpr uint16_t kFormatIeeeFloat = 0x0003;
constexpr uint32_t kMinRate = 1'000;
constexpr uint32_t kMaxRate = 384'000;
constexpr uint16_t kMaxChannels = 8;

std::optional<AVSampleFormat> SampleFormatOf(const WaveFormat& wave) {
    if (wave.formatTag == kFormatIeeeFloat) {
        if (wave.bitsPerSample == 32) return AV_SAMPLE_FMT_FLT;
        return std::nullopt;
    }
    if (wave.formatTag != kSubtypePcm) return std::nullopt;
    switch (wave.bitsPerSample) {
        case 8:
            return AV_SAMPLE_FMT_U8;
        case 16:
            return AV_SAMPLE_FMT_S16;
        case 32:
            return AV_SAMPLE_FMT_S32;
        default:
            return std::nullopt;  // packed 24-bit has no libswresample format
    }
}

// WAVEFORMATEXTENSIBLE: WAVEFORMATEX with cbSize 22, then wValidBitsPerSample 18,
// dwChannelMask 20 and the sub-format GUID at 24, whose first two bytes are the format tag.
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kExtensibleBytes = 40;

std::optional<WaveFormat> ConvertibleInput(const MediaType& type) {
    if (type.major != MajorType::Audio) return std::nullopt;
    auto wave = WaveFormat::decode(type.format);
    if (wave && wave->formatTag == kFormatExtensible) {
        if (type.format.size() < kExtensibleBytes) return std::nullopt;
        wave->formatTag = uint16_t(type.format[24] | type.format[25] << 8);
    }
    if (!wave || !SampleFormatOf(*wave)) return std::nullopt;
    if (wave->channels == 0 || wave->channels > kMaxChannels) return std::nullopt;
    if (wave->samplesPerSec < kMinRate || wave->samplesPerSec > kMaxRate) return std::nullopt;
    return wave;
}

}  // namespace

struct AudioConverter::Impl {
    SwrContext* swr = nullptr;
    WaveFormat in;
    WaveFormat out;
    int64_t outSamples = 0;  // delivered since the segment began, per channel
    ~Impl() { swr_free(&swr); }
};

AudioConverter::AudioConverter() : TransformFilter("ACM Wrapper") {}

AudioConverter::~AudioConverter() = default;

bool AudioConverter::setOutputFormat(uint32_t samplesPerSec, uint16_t channels) {
    if (samplesPerSec != 0 && (samplesPerSec < kMinRate || samplesPerSec > kMaxRate)) return false;
    if (channels > kMaxChannels) return false;
    rate_ = samplesPerSec;
    channels_ = channels;
    return true;
}

bool AudioConverter::acceptsInput(const MediaType& type) {
    return ConvertibleInput(type).has_value();
}

std::vector<MediaType> AudioConverter::outputTypesFor(const MediaType& input) {
    const auto in = ConvertibleInput(input);
    if (!in) return {};
    WaveFormat out;
    out.channels = channels_ ? channels_ : in->channels;
    out.samplesPerSec = rate_ ? rate_ : in->samplesPerSec;
    out.bitsPerSample = 16;
    return {AudioType(out)};
}

bool AudioConverter::startStreaming(std::string& error) {
    const auto in = ConvertibleInput(inputPin().connectionType());
    const auto out = WaveFormat::decode(outputPin().connectionType().format);
    if (!in || !out) {
        error = "Format audio non pris en charge";
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->in = *in;
    impl->out = *out;
    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, in->channels);
    av_channel_layout_default(&outLayout, out->channels);
    const int made = swr_alloc_set_opts2(&impl->swr, &outLayout, AV_SAMPLE_FMT_S16, int(out->samplesPerSec),
                                         &inLayout, *SampleFormatOf(*in), int(in->samplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || swr_init(impl->swr) < 0) {
        error = "Conversion audio impossible";
        return false;
    }
    impl_ = std::move(impl);
    return true;
}

void AudioConverter::stopStreaming() {
    impl_.reset();
}

Flow AudioConverter::transform(const Sample& in, Sample& out) {
    if (!impl_) return reportError("Conversion audio non démarrée");
    const size_t inBlock = impl_->in.blockAlign();
    const int inCount = int(in.data.size() / inBlock);
    const int room = swr_get_out_samples(impl_->swr, inCount);
    if (room < 0) return reportError("Conversion audio impossible");
    const size_t outBlock = impl_->out.blockAlign();
    out.data.resize(size_t(room) * outBlock);
    const uint8_t* src[1] = {in.data.data()};
    uint8_t* dst[1] = {out.data.data()};
    const int made = swr_convert(impl_->swr, dst, room, inCount ? src : nullptr, inCount);
    if (made < 0) return reportError("Conversion audio impossible");
    out.data.resize(size_t(made) * outBlock);
    out.hasMediaTime = true;
    out.mediaStart = impl_->outSamples;
    out.mediaStop = impl_->outSamples + made;
    impl_->outSamples += made;
    return Flow::Ok;
}

void AudioConverter::endOfStream(InputPin&) {
    if (impl_) {
        // What the resampler still holds goes out before the end.
        auto tail = std::make_shared<Sample>();
        const int room = swr_get_out_samples(impl_->swr, 0);
        if (room > 0) {
            tail->data.resize(size_t(room) * impl_->out.blockAlign());
            uint8_t* dst[1] = {tail->data.data()};
            const int made = swr_convert(impl_->swr, dst, room, nullptr, 0);
            if (made > 0) {
                tail->data.resize(size_t(made) * impl_->out.blockAlign());
                if (outputPin().deliver(tail) != Flow::Ok) return;
            }
        }
    }
    outputPin().deliverEndOfStream();
}

void AudioConverter::newSegment(InputPin&, int64_t start, std::optional<int64_t> stop) {
    if (impl_) {
        swr_close(impl_->swr);
        swr_init(impl_->swr);
        impl_->outSamples = 0;
    }
    outputPin().deliverNewSegment(start, stop);
}

}  // namespace velinor::graph
