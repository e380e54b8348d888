#include "graph/dv_video_decoder.h"

namespace velinor::graph {

DvVideoDecoder::DvVideoDecoder(size_t lanes, bool oneAtATime)
    : TransformFilter("DV Video Decoder"), stage_(oneAtATime ? 1 : lanes), oneAtATime_(oneAtATime) {}

DvVideoDecoder::~DvVideoDecoder() {
    stage_.discard();
}

bool DvVideoDecoder::acceptsInput(const MediaType& type) {
    return type.major == MajorType::Video && type.subtype == kSubtypeDvsd;
}

namespace {

// The codec's own planes of one system, top-down as planar YUV types are.
MediaType DvYuvType(bool is525, int64_t frameDuration) {
    const DvYuvLayout layout = DvYuvLayout::For(is525);
    VideoInfo info;
    info.avgTimePerFrame = frameDuration;
    info.width = layout.width;
    info.height = layout.height;
    info.bitCount = 12;
    info.compression = is525 ? kSubtypeY41B : kSubtypeI420;
    info.imageSize = static_cast<uint32_t>(layout.bytes());
    return VideoType(info.compression, info);
}

}  // namespace

std::vector<MediaType> DvVideoDecoder::outputTypesFor(const MediaType& input) {
    const auto in = VideoInfo::decode(input.format);
    VideoInfo out;
    out.avgTimePerFrame = in ? in->avgTimePerFrame : 0;
    out.width = kDvWidth;
    // Without a picture height in the format, the frame duration tells the system.
    bool is525 = false;
    if (in && in->height != 0)
        is525 = in->height == kDvHeight525 || in->height == -kDvHeight525;
    else if (in)
        is525 = in->avgTimePerFrame > 0 && in->avgTimePerFrame < 370'000;
    out.height = is525 ? kDvHeight525 : kDvHeight625;
    out.bitCount = 24;
    out.imageSize = uint32_t(out.stride()) * uint32_t(out.height);
    // The planes first: a DV encoder takes them as they are, and every filter that draws or
    // looks at pictures refuses them and gets BGR.
    return {DvYuvType(is525, out.avgTimePerFrame), VideoType(kSubtypeRgb24, out)};
}

bool DvVideoDecoder::startStreaming(std::string& error) {
    try {
        while (decoders_.size() < stage_.lanes()) decoders_.push_back(std::make_unique<DvDecoder>());
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    pictures_.resize(stage_.lanes());
    const MediaType& type = outputPin().connectionType();
    yuv_ = type.subtype == kSubtypeI420 || type.subtype == kSubtypeY41B;
    const auto info = VideoInfo::decode(type.format);
    width_ = info ? info->width : 0;
    height_ = info ? info->height : 0;
    dropped_ = 0;
    return true;
}

void DvVideoDecoder::stopStreaming() {
    stage_.discard();
    repeats_.clear();
    pool_.clear();
}

Flow DvVideoDecoder::emit(const SamplePtr& out, bool ok) {
    if (!repeats_.leaving(out, ok)) {
        ++dropped_;
        return Flow::Ok;
    }
    return outputPin().deliver(out);
}

Flow DvVideoDecoder::receive(InputPin&, const SamplePtr& sample) {
    if (decoders_.size() < stage_.lanes()) return reportError("Décodeur DV non démarré");
    auto out = pool_.take();
    CopySampleProperties(*sample, *out);
    const auto emitter = [this](const SamplePtr& s, bool ok) { return emit(s, ok); };
    // A frame repeated by a rate change is decoded once.
    if (repeats_.repeats(sample, out))
        return stage_.submit(
            out, [] { return true; }, emitter);
    repeats_.submitted(sample, out);
    const size_t lane = stage_.nextLane();
    auto work = [this, lane, sample, out] {
        if (yuv_) {
            bool is525 = false;
            // A frame of the other system than the connection's cannot go out in its type.
            return decoders_[lane]->decodeYuv(sample->data, out->data, is525) &&
                   DvYuvLayout::For(is525).height == height_;
        }
        BgrPicture& picture = pictures_[lane];
        if (!decoders_[lane]->decode(sample->data, picture)) return false;
        if (picture.width != width_ || picture.height != height_) return false;
        // The sample's previous buffer becomes the lane's next picture, so neither is allocated again.
        out->data.swap(picture.pixels);
        return true;
    };
    const Flow flow = stage_.submit(out, work, emitter);
    if (flow != Flow::Ok || !oneAtATime_) return flow;
    return stage_.drain(emitter);
}

void DvVideoDecoder::endOfStream(InputPin&) {
    stage_.drain([this](const SamplePtr& s, bool ok) { return emit(s, ok); });
    outputPin().deliverEndOfStream();
}

void DvVideoDecoder::newSegment(InputPin&, int64_t start, std::optional<int64_t> stop) {
    stage_.discard();
    repeats_.clear();
    outputPin().deliverNewSegment(start, stop);
}

Flow DvVideoDecoder::transform(const Sample&, Sample&) {
    return Flow::Ok;  // samples go through receive(), several at a time
}

}  // namespace velinor::graph
