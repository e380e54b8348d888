#pragma once
// The datecode scene detector as a graph filter: an in-place filter that passes DV samples on
// unchanged and runs each through a Tdv_sceneDetect owned by the caller, which must outlive the
// filter. startStreaming and stopStreaming run on the graph's controlling thread, after the
// streaming threads were joined for the stop, so the detector's Stop and its hooks never overlap
// a frame; samples reach Transform on the source's streaming thread.
#include "filters/dv_scene_detect.h"
#include "graph/filter.h"

namespace velinor {

class DvSceneDetectFilter : public graph::InPlaceTransformFilter {
public:
    explicit DvSceneDetectFilter(Tdv_sceneDetect& detector);

    Tdv_sceneDetect& detector() const { return detector_; }

    bool startStreaming(std::string& error) override;
    void stopStreaming() override;

    // What the detector makes of a connection type.
    static MediaTypeDescription Describe(const graph::MediaType& type, std::string& subtypeText);

protected:
    bool acceptsInput(const graph::MediaType& type) override;
    bool modifiesData() const override { return false; }
    graph::Flow transform(graph::Sample& sample) override;

private:
    Tdv_sceneDetect& detector_;
    bool started_ = false;
};

}  // namespace velinor
