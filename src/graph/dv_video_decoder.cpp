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
    return {VideoType(kSubtypeRgb24, out)};
}

bool DvVideoDecoder::startStreaming(std::string& error) {
    try {
        while (decoders_.size() < stage_.lanes()) decoders_.push_back(std::make_unique<DvDecoder>());
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    pictures_.resize(stage_.lanes());
    dropped_ = 0;
    return true;
}

void DvVideoDecoder::stopStreaming() {
    stage_.discard();
}

Flow DvVideoDecoder::emit(const SamplePtr& out, bool ok) {
    if (!ok) {
        ++dropped_;
        return Flow::Ok;
    }
    return outputPin().deliver(out);
}

Flow DvVideoDecoder::receive(InputPin&, const SamplePtr& sample) {
    if (decoders_.size() < stage_.lanes()) return reportError("Décodeur DV non démarré");
    auto out = std::make_shared<Sample>();
    CopySampleProperties(*sample, *out);
    const size_t lane = stage_.nextLane();
    const auto type = VideoInfo::decode(outputPin().connectionType().format);
    const int width = type ? type->width : 0;
    const int height = type ? type->height : 0;
    auto work = [this, lane, sample, out, width, height] {
        BgrPicture& picture = pictures_[lane];
        if (!decoders_[lane]->decode(sample->data, picture)) return false;
        // A frame of the other system than the connection's cannot go out in its type.
        if (picture.width != width || picture.height != height) return false;
        out->data.swap(picture.pixels);
        return true;
    };
    const auto emitter = [this](const SamplePtr& s, bool ok) { return emit(s, ok); };
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
    outputPin().deliverNewSegment(start, stop);
}

Flow DvVideoDecoder::transform(const Sample&, Sample&) {
    return Flow::Ok;  // samples go through receive(), several at a time
}

}  // namespace velinor::graph
