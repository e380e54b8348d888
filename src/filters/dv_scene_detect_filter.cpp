#include "filters/dv_scene_detect_filter.h"

namespace velinor {

DvSceneDetectFilter::DvSceneDetectFilter(Tdv_sceneDetect& detector)
    : graph::InPlaceTransformFilter(Tdv_sceneDetect::kName), detector_(detector) {}

MediaTypeDescription DvSceneDetectFilter::Describe(const graph::MediaType& type, std::string& subtypeText) {
    MediaTypeDescription description;
    switch (type.major) {
        case graph::MajorType::Video:
            description.Major = MediaMajorType::Video;
            break;
        case graph::MajorType::Audio:
            description.Major = MediaMajorType::Audio;
            break;
        case graph::MajorType::Interleaved:
            description.Major = MediaMajorType::Interleaved;
            break;
        case graph::MajorType::Stream:
            description.Major = MediaMajorType::Stream;
            break;
        case graph::MajorType::Any:
            description.Major = MediaMajorType::Other;
            break;
    }
    // Audio subtypes are format tags, not FourCCs, and never name a DV stream.
    subtypeText = type.major == graph::MajorType::Audio ? std::string() : graph::FourCCText(type.subtype);
    description.Subtype = subtypeText;
    return description;
}

bool DvSceneDetectFilter::acceptsInput(const graph::MediaType& type) {
    std::string text;
    return Tdv_sceneDetect::CheckInputType(Describe(type, text));
}

bool DvSceneDetectFilter::startStreaming(std::string&) {
    // Every run starts from the state Stop leaves, with the connection's frame duration when
    // its format gives one (DVINFO does not: the first frame's system then gives it).
    const int64_t duration = graph::FrameDurationOf(inputPin().connectionType());
    detector_.StartStreaming(duration > 0 ? std::optional<int64_t>(duration) : std::nullopt);
    started_ = true;
    return true;
}

void DvSceneDetectFilter::stopStreaming() {
    if (!started_) return;
    started_ = false;
    detector_.Stop();
}

graph::Flow DvSceneDetectFilter::transform(graph::Sample& sample) {
    detector_.Transform(sample.data);
    return graph::Flow::Ok;
}

}  // namespace velinor
