#include "graph/dv_video_encoder.h"

#include <cstring>

namespace velinor::graph {

namespace {

constexpr int64_t kFrameDuration525 = 333'667;  // 100 ns
constexpr int64_t kFrameDuration625 = 400'000;

// Bottom-up BGR of either system, or the DV planes of one system as the decoder hands them on.
std::optional<VideoInfo> EncodableInput(const MediaType& type) {
    if (type.major != MajorType::Video) return std::nullopt;
    const auto info = VideoInfo::decode(type.format);
    if (!info || info->width != kDvWidth) return std::nullopt;
    if (type.subtype == kSubtypeRgb24) {
        if (info->compression != 0 || info->bitCount != 24) return std::nullopt;
        if (info->height != kDvHeight625 && info->height != kDvHeight525)
            return std::nullopt;  // bottom-up only
        return info;
    }
    const bool is525 = type.subtype == kSubtypeY41B;
    if (!is525 && type.subtype != kSubtypeI420) return std::nullopt;
    if (info->compression != type.subtype || info->height != DvYuvLayout::For(is525).height)
        return std::nullopt;
    return info;
}

}  // namespace

DvVideoEncoder::DvVideoEncoder(bool wide, size_t lanes)
    : TransformFilter("DV Video Encoder"), wide_(wide), stage_(lanes) {}

DvVideoEncoder::~DvVideoEncoder() {
    stage_.discard();
}

bool DvVideoEncoder::acceptsInput(const MediaType& type) {
    return EncodableInput(type).has_value();
}

std::vector<MediaType> DvVideoEncoder::outputTypesFor(const MediaType& input) {
    const auto in = EncodableInput(input);
    if (!in) return {};
    const bool is525 = in->height == kDvHeight525;
    VideoInfo out;
    out.avgTimePerFrame = is525 ? kFrameDuration525 : kFrameDuration625;
    out.width = kDvWidth;
    out.height = in->height;
    out.bitCount = 24;
    out.compression = kSubtypeDvsd;
    out.imageSize = is525 ? 120'000 : 144'000;
    return {VideoType(kSubtypeDvsd, out)};
}

bool DvVideoEncoder::startStreaming(std::string& error) {
    const auto in = EncodableInput(inputPin().connectionType());
    if (!in) {
        error = "Format d'image non pris en charge par le codeur DV";
        return false;
    }
    const bool is525 = in->height == kDvHeight525;
    try {
        if (!encoders_.empty() && (encoders_[0]->is525() != is525 || encoders_[0]->wide() != wide_))
            encoders_.clear();
        while (encoders_.size() < stage_.lanes())
            encoders_.push_back(std::make_unique<DvEncoder>(is525, wide_));
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    yuv_ = inputPin().connectionType().subtype != kSubtypeRgb24;
    inputBytes_ =
        yuv_ ? DvYuvLayout::For(is525).bytes() : BgrPicture::StrideFor(kDvWidth) * size_t(in->height);
    return true;
}

void DvVideoEncoder::stopStreaming() {
    stage_.discard();
    repeats_.clear();
    pool_.clear();
}

Flow DvVideoEncoder::emit(const SamplePtr& out, bool ok) {
    if (!repeats_.leaving(out, ok)) return reportError("Échec du codage DV");
    return outputPin().deliver(out);
}

Flow DvVideoEncoder::receive(InputPin&, const SamplePtr& sample) {
    if (encoders_.size() < stage_.lanes()) return reportError("Codeur DV non démarré");
    if (sample->data.size() < inputBytes_) return reportError("Image incomplète");
    const size_t lane = stage_.nextLane();
    auto out = pool_.take();
    CopySampleProperties(*sample, *out);
    TouchedSegments::Segments touched;
    if (yuv_ && board_ && sample->hasMediaTime) touched = board_->Find(sample->mediaStart);
    const auto emitter = [this](const SamplePtr& s, bool ok) { return emit(s, ok); };
    // A picture repeated by a rate change is encoded once; a partly encoded one is its own.
    if (!touched && repeats_.repeats(sample, out))
        return stage_.submit(
            out, [] { return true; }, emitter);
    repeats_.submitted(touched ? nullptr : sample, out);
    auto work = [this, lane, sample, out, touched] {
        DvEncoder& encoder = *encoders_[lane];
        if (touched) return encoder.encodeYuvSegments(sample->data, *touched, out->data);
        if (yuv_) return encoder.encodeYuv(sample->data, out->data);
        return encoder.encodeBgr(sample->data, BgrPicture::StrideFor(kDvWidth), out->data);
    };
    return stage_.submit(out, work, emitter);
}

void DvVideoEncoder::endOfStream(InputPin&) {
    if (stage_.drain([this](const SamplePtr& s, bool ok) { return emit(s, ok); }) == Flow::Ok)
        outputPin().deliverEndOfStream();
}

void DvVideoEncoder::newSegment(InputPin&, int64_t start, std::optional<int64_t> stop) {
    stage_.discard();
    repeats_.clear();
    outputPin().deliverNewSegment(start, stop);
}

Flow DvVideoEncoder::transform(const Sample&, Sample&) {
    return Flow::Ok;  // samples go through receive(), several at a time
}

}  // namespace velinor::graph
