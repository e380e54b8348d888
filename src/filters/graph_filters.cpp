#include "filters/graph_filters.h"

#include <cstring>

#include "filters/file_writer.h"
#include "graph/dv_codec.h"
#include "graph/dv_segments.h"

namespace velinor {

using graph::Flow;
using graph::MajorType;
using graph::MediaType;
using graph::VideoInfo;

namespace {

constexpr uint32_t kSubtypeWave = graph::FourCC("WAVE");
constexpr size_t kWaveFormatMinimum = 16;  // WAVEFORMAT without cbSize

std::optional<VideoInfo> PictureInfo(const MediaType& type) {
    if (type.major != MajorType::Video || type.subtype != graph::kSubtypeRgb24) return std::nullopt;
    auto info = VideoInfo::decode(type.format);
    if (!info || info->width <= 0 || info->height <= 0 || info->bitCount != 24) return std::nullopt;
    return info;
}

}  // namespace

bool IsDvType(const MediaType& type) {
    return type.major == MajorType::Interleaved ||
           (type.major == MajorType::Video && type.subtype == graph::kSubtypeDvsd);
}

bool IsRgb24PictureType(const MediaType& type) {
    return PictureInfo(type).has_value();
}

namespace {

std::optional<DvYuvLayout> PlanesLayout(const MediaType& type) {
    if (type.major != MajorType::Video) return std::nullopt;
    const bool is525 = type.subtype == graph::kSubtypeY41B;
    if (!is525 && type.subtype != graph::kSubtypeI420) return std::nullopt;
    const auto info = VideoInfo::decode(type.format);
    const DvYuvLayout layout = DvYuvLayout::For(is525);
    if (!info || info->compression != type.subtype || info->width != layout.width ||
        info->height != layout.height)
        return std::nullopt;
    return layout;
}

}  // namespace

bool IsDvPlanesType(const MediaType& type) {
    return PlanesLayout(type).has_value();
}

// ---------------------------------------------------------------------------------------------

DvHeaderFilter::DvHeaderFilter(Tdv_sceneDetect& detector)
    : InPlaceTransformFilter(Tdv_DVheader::kName), Header(detector) {}

Flow DvHeaderFilter::transform(graph::Sample& sample) {
    Header.Transform(sample.data);
    return Flow::Ok;
}

// ---------------------------------------------------------------------------------------------

SuperposerFilter::SuperposerFilter(Tdv_sceneDetect& detector, OverlayTextSettingsStore* settings)
    : TransformFilter(Tdv_Superposer::kName), Overlay(detector, settings) {}

bool SuperposerFilter::acceptsInput(const MediaType& type) {
    return IsRgb24PictureType(type) || (takesPlanes_ && IsDvPlanesType(type));
}

std::vector<MediaType> SuperposerFilter::outputTypesFor(const MediaType& input) {
    if (takesPlanes_ && IsDvPlanesType(input)) return {input};
    auto info = PictureInfo(input);
    if (!info) return {};
    // Rows are padded to 4 bytes, so the picture is stride x height, not width x height x 3.
    info->imageSize = static_cast<uint32_t>(info->stride() * info->height);
    return {graph::VideoType(graph::kSubtypeRgb24, *info)};
}

bool SuperposerFilter::checkOutputType(const graph::OutputPin& pin, const MediaType& type) {
    (void)pin;
    if (!inputPin().isConnected()) return false;
    const MediaType& input = inputPin().connectionType();
    if (IsDvPlanesType(input)) return type == input;
    return type.major == input.major && type.subtype == input.subtype && IsRgb24PictureType(type);
}

bool SuperposerFilter::startStreaming(std::string& error) {
    const MediaType& type = inputPin().connectionType();
    const auto planes = PlanesLayout(type);
    const auto info = planes ? VideoInfo::decode(type.format) : PictureInfo(type);
    if (!info || !Overlay.StartStreaming(info->width, info->height, info->avgTimePerFrame, planes)) {
        error = "Format d'image non reconnu pour l'incrustation";
        return false;
    }
    pictureBytes_ = Overlay.PictureBytes();
    planes_ = planes.has_value();
    segments_ = planes ? DvSegmentMapFor(planes->height == kDvHeight525) : nullptr;
    return true;
}

Flow SuperposerFilter::receive(graph::InputPin&, const graph::SamplePtr& sample) {
    // Planes come and go in the same form: a picture nobody else may read is drawn on in place.
    if (sample->writable && planes_) {
        stampCount(*sample, *sample);
        if (!Overlay.Transform(sample->data, sample->data))
            return reportError("Image incomplète pour l'incrustation");
        recordTouched(*sample);
        return outputPin().deliver(sample);
    }
    const graph::SamplePtr out = pool_.take();
    graph::CopySampleProperties(*sample, *out);
    const Flow flow = transform(*sample, *out);
    if (flow != Flow::Ok) return flow;
    if (planes_) recordTouched(*out);
    return outputPin().deliver(out);
}

void SuperposerFilter::recordTouched(const graph::Sample& sample) {
    const DvSegmentMap* map = segments_;
    if (!board_ || !map || !sample.hasMediaTime || sample.data.size() < pictureBytes_) return;
    const auto boxes = Overlay.ChangedBoxes();
    if (!boxes) return;
    std::vector<uint8_t> touched(static_cast<size_t>(map->segments), 0);
    for (const OverlayBox& box : *boxes)
        for (int y = box.Top / 8 * 8; y < box.Top + box.Height; y += 8)
            for (int x = box.Left / 8 * 8; x < box.Left + box.Width; x += 8)
                touched[map->segmentAt(x, y)] = 1;
    board_->Put(sample.mediaStart, std::move(touched));
}

// A picture without a frame number gets the overlay's count.
void SuperposerFilter::stampCount(const graph::Sample& in, graph::Sample& out) {
    if (in.hasMediaTime) return;
    const int32_t count = Overlay.SampleCount();
    out.hasMediaTime = true;
    out.mediaStart = count;
    out.mediaStop = int64_t{count} + 1;
}

Flow SuperposerFilter::transform(const graph::Sample& in, graph::Sample& out) {
    stampCount(in, out);
    out.data.resize(pictureBytes_);
    if (!Overlay.Transform(in.data, out.data)) return reportError("Image incomplète pour l'incrustation");
    return Flow::Ok;
}

// ---------------------------------------------------------------------------------------------

ContentSceneDetectFilter::ContentSceneDetectFilter() : InPlaceTransformFilter(TSceneDetectContenu::kName) {}

bool ContentSceneDetectFilter::acceptsInput(const MediaType& type) {
    return type.major == MajorType::Video && type.subtype == graph::kSubtypeRgb24;
}

bool ContentSceneDetectFilter::startStreaming(std::string&) {
    Detector.StartStreaming();
    return true;
}

void ContentSceneDetectFilter::stopStreaming() {
    Detector.Stop();
}

Flow ContentSceneDetectFilter::transform(graph::Sample& sample) {
    Detector.Transform(sample.data);
    return Flow::Ok;
}

// ---------------------------------------------------------------------------------------------

MediaStamperFilter::MediaStamperFilter() : InPlaceTransformFilter(TDV_MediaStamper::kName) {}

bool MediaStamperFilter::acceptsInput(const MediaType&) {
    return true;
}

Flow MediaStamperFilter::transform(graph::Sample& sample) {
    if (sample.hasMediaTime) Stamper.Transform(sample.mediaStart, sample.mediaStop);
    return Flow::Ok;
}

// ---------------------------------------------------------------------------------------------

DeinterlaceFilter::DeinterlaceFilter() : InPlaceTransformFilter(Tdv_deinter::kName) {}

DeinterlaceFilter::~DeinterlaceFilter() {
    stage_.discard();
}

bool DeinterlaceFilter::acceptsInput(const MediaType& type) {
    return (type.major == MajorType::Video && type.subtype == graph::kSubtypeRgb24) ||
           (takesPlanes_ && IsDvPlanesType(type));
}

bool DeinterlaceFilter::startStreaming(std::string& error) {
    if (const auto layout = PlanesLayout(inputPin().connectionType())) {
        Deinterlacer.StartStreamingPlanes(*layout);
    } else {
        const auto info = PictureInfo(inputPin().connectionType());
        if (!info || !Deinterlacer.StartStreaming(info->width, info->height)) {
            error = "Format d'image non reconnu pour le désentrelacement";
            return false;
        }
    }
    lanes_.clear();
    if (onLanes_) lanes_.assign(stage_.lanes() - 1, Deinterlacer);
    return true;
}

void DeinterlaceFilter::stopStreaming() {
    stage_.discard();
}

Flow DeinterlaceFilter::transform(graph::Sample& sample) {
    if (!Deinterlacer.Transform(sample.data)) return reportError("Image incomplète pour le désentrelacement");
    return Flow::Ok;
}

Flow DeinterlaceFilter::handOn(const graph::SamplePtr& sample, bool ok) {
    if (!ok) return reportError("Image incomplète pour le désentrelacement");
    return outputPin().deliver(sample);
}

Flow DeinterlaceFilter::receive(graph::InputPin& pin, const graph::SamplePtr& sample) {
    if (!onLanes_) return InPlaceTransformFilter::receive(pin, sample);
    const graph::SamplePtr target = writableTarget(sample);
    const size_t lane = stage_.nextLane();
    Tdv_deinter* deinter = lane == 0 ? &Deinterlacer : &lanes_[lane - 1];
    return stage_.submit(
        target, [deinter, target] { return deinter->Transform(target->data); },
        [this](const graph::SamplePtr& s, bool ok) { return handOn(s, ok); });
}

void DeinterlaceFilter::endOfStream(graph::InputPin& pin) {
    stage_.drain([this](const graph::SamplePtr& s, bool ok) { return handOn(s, ok); });
    InPlaceTransformFilter::endOfStream(pin);
}

void DeinterlaceFilter::newSegment(graph::InputPin& pin, int64_t start, std::optional<int64_t> stop) {
    stage_.discard();
    InPlaceTransformFilter::newSegment(pin, start, stop);
}

// ---------------------------------------------------------------------------------------------

WaveDestFilter::WaveDestFilter() : TransformFilter(Tdv_WaveDest::kName) {}

bool WaveDestFilter::acceptsInput(const MediaType& type) {
    return type.major == MajorType::Audio && type.format.size() >= kWaveFormatMinimum;
}

std::vector<MediaType> WaveDestFilter::outputTypesFor(const MediaType&) {
    return {MediaType(MajorType::Stream, kSubtypeWave)};
}

bool WaveDestFilter::startStreaming(std::string&) {
    Wave.StartStreaming(inputPin().connectionType().format.size());
    headerWritten_ = false;
    headerError_.clear();
    return true;
}

Flow WaveDestFilter::receive(graph::InputPin& pin, const graph::SamplePtr& sample) {
    const uint32_t before = Wave.DataWritten;
    const Flow flow = TransformFilter::receive(pin, sample);
    if (flow != Flow::Ok) Wave.Rollback(before);
    return flow;
}

Flow WaveDestFilter::transform(const graph::Sample& in, graph::Sample& out) {
    const auto range = Wave.Transform(in.data.size());
    if (!range) return reportError("Le fichier WAV dépasserait 4 Go");
    out.data = in.data;
    out.hasTime = true;
    out.start = range->start;
    out.stop = range->stop;
    return Flow::Ok;
}

void WaveDestFilter::stopStreaming() {
    graph::Pin* peer = outputPin().connectedTo();
    auto* target = peer ? dynamic_cast<ByteStreamTarget*>(&peer->filter()) : nullptr;
    if (!target) {
        headerError_ = "La sortie du fichier WAV n'est pas reliée à un fichier";
        return;
    }
    const auto header = Wave.Header(inputPin().connectionType().format);
    headerWritten_ = target->WriteAt(0, header);
    if (!headerWritten_) headerError_ = "Impossible d'écrire l'en-tête du fichier WAV";
}

}  // namespace velinor
