#pragma once
// The small system filters: a renderer that discards, a tee with outputs on demand and a
// colour converter to 24-bit BGR bottom-up pictures. Threads as for every filter.
#include "graph/filter.h"

namespace velinor::graph {

// Accepts any type, or only those fitting a pattern, and drops every sample.
class NullRenderer : public RendererFilter {
public:
    explicit NullRenderer(MediaType accepted = {});
    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    Flow render(InputPin& pin, const SamplePtr& sample) override;
    // Only the samples' times count (position, pause, end): their bytes need not be read.
    SampleUse sampleUse(const InputPin& pin) const override;

private:
    MediaType accepted_;
};

// Delivers each input sample to every connected output. A new output appears whenever the
// last one is connected. Samples going to more than one output are marked read-only.
class InfiniteTee : public Filter {
public:
    InfiniteTee();
    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    std::vector<MediaType> outputTypes(const OutputPin& pin) override;
    void onConnected(Pin& pin) override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;
};

// Turns uncompressed RGB pictures (24 or 32 bits, rows top-down or bottom-up) into 24-bit BGR
// with rows bottom-up and padded to 4 bytes, the layout the program's picture filters expect.
class ColourConverter : public TransformFilter {
public:
    ColourConverter();
    void onConnected(Pin& pin) override;
    // Pictures already in the output layout pass through without a copy.
    Flow receive(InputPin& pin, const SamplePtr& sample) override;

protected:
    bool acceptsInput(const MediaType& type) override;
    std::vector<MediaType> outputTypesFor(const MediaType& input) override;
    Flow transform(const Sample& in, Sample& out) override;

private:
    bool passThrough_ = false;
    size_t pictureBytes_ = 0;
};

}  // namespace velinor::graph
