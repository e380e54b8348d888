#pragma once
// The program's own filters as nodes of a media graph: each wraps the per-sample class of the
// same role and gives it the media types, start and stop of its graph. Negotiation, start and
// stop on the graph's controlling thread; samples on the streaming thread.
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "filters/content_scene_detect.h"
#include "filters/dv_deinter.h"
#include "filters/dv_header.h"
#include "filters/dv_superposer.h"
#include "filters/media_stamper.h"
#include "filters/wave_dest.h"
#include "graph/dv_segments.h"
#include "graph/filter.h"
#include "graph/parallel_stage.h"

namespace velinor {

// Interleaved DV, or video with subtype "dvsd".
bool IsDvType(const graph::MediaType& type);
// Video, subtype RGB24, with a video info header of a 24-bit bottom-up picture.
bool IsRgb24PictureType(const graph::MediaType& type);
// Video in the DV codec's own planes: I420 at 625/50 or Y41B at 525/60, 720 pixels wide.
bool IsDvPlanesType(const graph::MediaType& type);

class DvHeaderFilter : public graph::InPlaceTransformFilter {
public:
    explicit DvHeaderFilter(Tdv_sceneDetect& detector);
    Tdv_DVheader Header;

protected:
    bool acceptsInput(const graph::MediaType& type) override { return IsDvType(type); }
    graph::Flow transform(graph::Sample& sample) override;
};

// Takes 24-bit BGR pictures, and also the DV planes once TakePlanes is set (before connecting),
// for a chain whose next filter takes them too (the DV encoder). Its output pictures are reused
// once downstream lets go of them.
class SuperposerFilter : public graph::TransformFilter {
public:
    explicit SuperposerFilter(Tdv_sceneDetect& detector,
                              OverlayTextSettingsStore* settings = &SharedOverlayTextSettings());
    Tdv_Superposer Overlay;

    void TakePlanes(bool take) { takesPlanes_ = take; }
    // With a board, each picture in planes tells it the segments its text reaches, so that the
    // encoder codes only those and the filter after it puts the source's segments back in
    // place of the others.
    void SpliceInto(std::shared_ptr<TouchedSegments> board) { board_ = std::move(board); }
    bool checkOutputType(const graph::OutputPin& pin, const graph::MediaType& type) override;
    bool startStreaming(std::string& error) override;
    void stopStreaming() override { pool_.clear(); }
    graph::Flow receive(graph::InputPin& pin, const graph::SamplePtr& sample) override;

protected:
    bool acceptsInput(const graph::MediaType& type) override;
    std::vector<graph::MediaType> outputTypesFor(const graph::MediaType& input) override;
    graph::Flow transform(const graph::Sample& in, graph::Sample& out) override;

private:
    void stampCount(const graph::Sample& in, graph::Sample& out);
    void recordTouched(const graph::Sample& sample);

    bool takesPlanes_ = false;
    bool planes_ = false;                     // the connection carries planes
    const DvSegmentMap* segments_ = nullptr;  // their segment map, when it could be learnt
    size_t pictureBytes_ = 0;
    graph::SamplePool pool_;
    std::shared_ptr<TouchedSegments> board_;
};

class ContentSceneDetectFilter : public graph::InPlaceTransformFilter {
public:
    ContentSceneDetectFilter();
    TSceneDetectContenu Detector;

    bool startStreaming(std::string& error) override;
    void stopStreaming() override;

protected:
    bool acceptsInput(const graph::MediaType& type) override;
    bool modifiesData() const override { return false; }
    graph::Flow transform(graph::Sample& sample) override;
};

class MediaStamperFilter : public graph::InPlaceTransformFilter {
public:
    MediaStamperFilter();
    TDV_MediaStamper Stamper;

protected:
    bool acceptsInput(const graph::MediaType& type) override;
    bool modifiesData() const override { return false; }
    graph::Flow transform(graph::Sample& sample) override;
};

// Takes 24-bit BGR pictures, and also the DV planes once TakePlanes is set (before connecting).
// Each picture leaves before the next comes in, unless WorkOnLanes is set (before streaming):
// then several are worked on at once, one per core, and leave in order, as a conversion wants.
class DeinterlaceFilter : public graph::InPlaceTransformFilter {
public:
    DeinterlaceFilter();
    ~DeinterlaceFilter() override;
    Tdv_deinter Deinterlacer;

    void TakePlanes(bool take) { takesPlanes_ = take; }
    void WorkOnLanes(bool on) { onLanes_ = on; }

    bool startStreaming(std::string& error) override;
    void stopStreaming() override;
    graph::Flow receive(graph::InputPin& pin, const graph::SamplePtr& sample) override;
    void endOfStream(graph::InputPin& pin) override;
    void newSegment(graph::InputPin& pin, int64_t start, std::optional<int64_t> stop) override;

protected:
    bool acceptsInput(const graph::MediaType& type) override;
    graph::Flow transform(graph::Sample& sample) override;

private:
    graph::Flow handOn(const graph::SamplePtr& sample, bool ok);

    bool takesPlanes_ = false;
    bool onLanes_ = false;
    graph::ParallelStage stage_;
    std::vector<Tdv_deinter> lanes_;  // lane 0 is Deinterlacer; these are lanes 1 and on
};

// Connect its output to a FileWriterFilter: the header goes there when streaming stops.
class WaveDestFilter : public graph::TransformFilter {
public:
    WaveDestFilter();
    Tdv_WaveDest Wave;

    bool startStreaming(std::string& error) override;
    void stopStreaming() override;
    graph::Flow receive(graph::InputPin& pin, const graph::SamplePtr& sample) override;

    // After the graph stopped: whether the header reached the file (false, with the reason in
    // French, when the output goes nowhere it can be written).
    bool HeaderWritten() const { return headerWritten_; }
    const std::string& HeaderError() const { return headerError_; }

protected:
    bool acceptsInput(const graph::MediaType& type) override;
    std::vector<graph::MediaType> outputTypesFor(const graph::MediaType& input) override;
    graph::Flow transform(const graph::Sample& in, graph::Sample& out) override;

private:
    bool headerWritten_ = false;
    std::string headerError_;
};

}  // namespace velinor
