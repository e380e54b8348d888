#include "graph/basic_filters.h"

#include <cstdlib>
#include <cstring>

namespace velinor::graph {

NullRenderer::NullRenderer(MediaType accepted)
    : RendererFilter("Null Renderer"), accepted_(std::move(accepted)) {
    addInput("In");
}

bool NullRenderer::checkInputType(const InputPin&, const MediaType& type) {
    return type.matches(accepted_);
}

Flow NullRenderer::render(InputPin&, const SamplePtr&) {
    return Flow::Ok;
}

SampleUse NullRenderer::sampleUse(const InputPin&) const {
    return SampleUse::TimesOnly;
}

// ---------------------------------------------------------------------------------------------

InfiniteTee::InfiniteTee() : Filter("Infinite Pin Tee") {
    addInput("Input");
    addOutput("Output1");
}

bool InfiniteTee::checkInputType(const InputPin&, const MediaType& type) {
    return type.major != MajorType::Any;
}

std::vector<MediaType> InfiniteTee::outputTypes(const OutputPin&) {
    if (!input()->isConnected()) return {};
    return {input()->connectionType()};
}

void InfiniteTee::onConnected(Pin& pin) {
    const auto outs = outputs();
    if (&pin == outs.back()) addOutput("Output" + std::to_string(outs.size() + 1));
}

Flow InfiniteTee::receive(InputPin&, const SamplePtr& sample) {
    std::vector<OutputPin*> targets;
    for (auto* out : outputs())
        if (out->isConnected()) targets.push_back(out);
    if (targets.size() > 1) sample->writable = false;
    Flow result = Flow::Ok;
    for (auto* out : targets) {
        const Flow flow = out->deliver(sample);
        if (flow == Flow::Error) return flow;
        if (flow != Flow::Ok) result = flow;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------

namespace {

bool IsConvertible(const MediaType& type, VideoInfo& info) {
    if (type.major != MajorType::Video) return false;
    if (type.subtype != kSubtypeRgb24 && type.subtype != kSubtypeRgb32) return false;
    const auto decoded = VideoInfo::decode(type.format);
    if (!decoded || decoded->compression != 0) return false;
    if (decoded->bitCount != (type.subtype == kSubtypeRgb24 ? 24 : 32)) return false;
    // Bounds keep stride × rows well inside 32 bits.
    if (decoded->width <= 0 || decoded->width > 16384) return false;
    if (decoded->height == 0 || std::abs(decoded->height) > 16384) return false;
    info = *decoded;
    return true;
}

}  // namespace

ColourConverter::ColourConverter() : TransformFilter("Color Space Converter") {}

void ColourConverter::onConnected(Pin& pin) {
    if (&pin != &inputPin()) return;
    VideoInfo info;
    if (!IsConvertible(pin.connectionType(), info)) return;
    passThrough_ = info.bitCount == 24 && info.height > 0;
    pictureBytes_ = size_t(info.stride()) * size_t(info.height);
}

Flow ColourConverter::receive(InputPin& pin, const SamplePtr& sample) {
    if (!passThrough_) return TransformFilter::receive(pin, sample);
    if (sample->length() < pictureBytes_) return reportError("Image incomplète");
    return outputPin().deliver(sample);
}

bool ColourConverter::acceptsInput(const MediaType& type) {
    VideoInfo info;
    return IsConvertible(type, info);
}

std::vector<MediaType> ColourConverter::outputTypesFor(const MediaType& input) {
    VideoInfo info;
    if (!IsConvertible(input, info)) return {};
    VideoInfo out = info;
    out.height = std::abs(info.height);
    out.bitCount = 24;
    out.imageSize = uint32_t(out.stride()) * uint32_t(out.height);
    return {VideoType(kSubtypeRgb24, out)};
}

Flow ColourConverter::transform(const Sample& in, Sample& out) {
    VideoInfo info;
    if (!IsConvertible(inputPin().connectionType(), info))
        return reportError("Format d'image non pris en charge");
    const int rows = std::abs(info.height);
    const size_t inStride = size_t(info.stride());
    if (in.length() < inStride * size_t(rows)) return reportError("Image incomplète");
    const int bytesIn = info.bitCount / 8;
    const size_t outStride = size_t(((info.width * 24 + 31) / 32) * 4);
    out.data.assign(outStride * size_t(rows), 0);
    const bool topDown = info.height < 0;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* src = in.data.data() + inStride * size_t(topDown ? rows - 1 - y : y);
        uint8_t* dst = out.data.data() + outStride * size_t(y);
        if (bytesIn == 3) {
            std::memcpy(dst, src, size_t(info.width) * 3);
            continue;
        }
        for (int x = 0; x < info.width; ++x) {
            dst[3 * x] = src[4 * x];
            dst[3 * x + 1] = src[4 * x + 1];
            dst[3 * x + 2] = src[4 * x + 2];
        }
    }
    return Flow::Ok;
}

}  // namespace velinor::graph
