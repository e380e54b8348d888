#include "graph/filter.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "graph/graph.h"

namespace velinor::graph {

Flow InputPin::receive(const SamplePtr& sample) {
    Filter& owner = filter();
    if (owner.isFlushing()) return Flow::Stopping;
    return owner.receive(*this, sample);
}

void InputPin::endOfStream() {
    if (atEnd_) return;
    atEnd_ = true;
    filter().endOfStream(*this);
}

void InputPin::newSegment(int64_t start, std::optional<int64_t> stop) {
    atEnd_ = false;
    filter().newSegment(*this, start, stop);
}

Flow OutputPin::deliver(const SamplePtr& sample) {
    auto* peer = static_cast<InputPin*>(connectedTo());
    return peer ? peer->receive(sample) : Flow::Ok;
}

void OutputPin::deliverEndOfStream() {
    if (auto* peer = static_cast<InputPin*>(connectedTo())) peer->endOfStream();
}

void OutputPin::deliverNewSegment(int64_t start, std::optional<int64_t> stop) {
    if (auto* peer = static_cast<InputPin*>(connectedTo())) peer->newSegment(start, stop);
}

SampleUse OutputPin::peerUse() const {
    const auto* peer = static_cast<const InputPin*>(connectedTo());
    return peer ? peer->filter().sampleUse(*peer) : SampleUse::TimesOnly;
}

std::vector<Pin*> Filter::pins() const {
    std::vector<Pin*> result;
    for (const auto& pin : pins_) result.push_back(pin.get());
    return result;
}

std::vector<InputPin*> Filter::inputs() const {
    std::vector<InputPin*> result;
    for (const auto& pin : pins_)
        if (pin->direction() == PinDirection::Input) result.push_back(static_cast<InputPin*>(pin.get()));
    return result;
}

std::vector<OutputPin*> Filter::outputs() const {
    std::vector<OutputPin*> result;
    for (const auto& pin : pins_)
        if (pin->direction() == PinDirection::Output) result.push_back(static_cast<OutputPin*>(pin.get()));
    return result;
}

InputPin* Filter::input(size_t index) const {
    const auto all = inputs();
    return index < all.size() ? all[index] : nullptr;
}

OutputPin* Filter::output(size_t index) const {
    const auto all = outputs();
    return index < all.size() ? all[index] : nullptr;
}

bool Filter::checkInputType(const InputPin&, const MediaType&) {
    return false;
}
std::vector<MediaType> Filter::outputTypes(const OutputPin&) {
    return {};
}
std::vector<MediaType> Filter::inputTypes(const InputPin&) {
    return {};
}

bool Filter::checkOutputType(const OutputPin& pin, const MediaType& type) {
    const auto offered = outputTypes(pin);
    return std::find(offered.begin(), offered.end(), type) != offered.end();
}

Flow Filter::receive(InputPin&, const SamplePtr&) {
    return Flow::Ok;
}

void Filter::endOfStream(InputPin&) {
    if (!allInputsAtEnd()) return;
    for (auto* out : outputs()) out->deliverEndOfStream();
}

void Filter::newSegment(InputPin&, int64_t start, std::optional<int64_t> stop) {
    for (auto* out : outputs()) out->deliverNewSegment(start, stop);
}

InputPin& Filter::addInput(std::string name) {
    pins_.push_back(std::make_unique<InputPin>(*this, std::move(name)));
    return static_cast<InputPin&>(*pins_.back());
}

OutputPin& Filter::addOutput(std::string name) {
    pins_.push_back(std::make_unique<OutputPin>(*this, std::move(name)));
    return static_cast<OutputPin&>(*pins_.back());
}

bool Filter::allInputsAtEnd() const {
    for (auto* in : inputs())
        if (in->isConnected() && !in->atEnd()) return false;
    return true;
}

Flow Filter::reportError(const std::string& message) {
    if (graph_) graph_->postError(message);
    return Flow::Error;
}

bool Filter::isFlushing() const {
    return graph_ && graph_->flushing();
}

// ---------------------------------------------------------------------------------------------

SourceFilter::~SourceFilter() {
    joinThread();
}

Flow SourceFilter::deliver(OutputPin& pin, const SamplePtr& sample) {
    if (std::find(started_.begin(), started_.end(), &pin) == started_.end()) {
        started_.push_back(&pin);
        sample->discontinuity = true;
    }
    return pin.deliver(sample);
}

int64_t SourceFilter::frameAt(int64_t time) const {
    const int64_t fd = frameDuration();
    if (fd <= 0) return 0;
    return int64_t(std::llround(double(time) / double(fd)));
}

void SourceFilter::setSegment(int64_t start, std::optional<int64_t> stop) {
    segmentStart_ = start;
    segmentStop_ = stop;
    seek(start, stop);
}

void SourceFilter::startThread() {
    started_.clear();
    thread_ = std::thread([this] { streamLoop(); });
}

void SourceFilter::joinThread() {
    if (thread_.joinable()) thread_.join();
}

void SourceFilter::streamLoop() {
    Graph* owner = graph();
    try {
        for (auto* out : outputs()) out->deliverNewSegment(segmentStart_, segmentStop_);
        for (;;) {
            if (isFlushing()) break;
            const Flow flow = produce();
            if (flow == Flow::EndOfStream) {
                for (auto* out : outputs()) out->deliverEndOfStream();
                break;
            }
            if (flow == Flow::Error) owner->postErrorOnce("Erreur pendant le traitement du flux");
            if (flow != Flow::Ok) break;
        }
    } catch (const std::exception& e) {
        owner->postError(e.what());
    } catch (...) {
        owner->postError("Erreur inconnue pendant la lecture");
    }
    owner->streamingThreadFinished();
}

// ---------------------------------------------------------------------------------------------

TransformFilter::TransformFilter(std::string name) : Filter(std::move(name)) {
    addInput("In");
    addOutput("Out");
}

bool TransformFilter::checkInputType(const InputPin&, const MediaType& type) {
    return acceptsInput(type);
}

std::vector<MediaType> TransformFilter::outputTypes(const OutputPin&) {
    if (!inputPin().isConnected()) return {};
    return outputTypesFor(inputPin().connectionType());
}

Flow TransformFilter::receive(InputPin&, const SamplePtr& sample) {
    auto out = std::make_shared<Sample>();
    CopySampleProperties(*sample, *out);
    const Flow flow = transform(*sample, *out);
    if (flow != Flow::Ok) return flow;
    return outputPin().deliver(out);
}

// ---------------------------------------------------------------------------------------------

InPlaceTransformFilter::InPlaceTransformFilter(std::string name) : Filter(std::move(name)) {
    addInput("Input");
    addOutput("Output");
}

bool InPlaceTransformFilter::checkInputType(const InputPin&, const MediaType& type) {
    return acceptsInput(type);
}

std::vector<MediaType> InPlaceTransformFilter::outputTypes(const OutputPin&) {
    if (!inputPin().isConnected()) return {};
    return {inputPin().connectionType()};
}

bool InPlaceTransformFilter::checkOutputType(const OutputPin&, const MediaType& type) {
    return inputPin().isConnected() && type == inputPin().connectionType();
}

SamplePtr InPlaceTransformFilter::writableTarget(const SamplePtr& sample) const {
    if (!modifiesData() || sample->writable) return sample;
    auto copy = std::make_shared<Sample>(*sample);
    copy->writable = true;
    return copy;
}

Flow InPlaceTransformFilter::receive(InputPin&, const SamplePtr& sample) {
    const SamplePtr target = writableTarget(sample);
    const Flow flow = transform(*target);
    if (flow != Flow::Ok) return flow;
    return outputPin().deliver(target);
}

// ---------------------------------------------------------------------------------------------

Flow RendererFilter::receive(InputPin& pin, const SamplePtr& sample) {
    Graph* owner = graph();
    if (!owner) return Flow::Stopping;
    return owner->present(*this, pin, sample);
}

void RendererFilter::endOfStream(InputPin&) {
    if (!allInputsAtEnd()) return;
    if (Graph* owner = graph()) owner->rendererReachedEnd(*this);
}

}  // namespace velinor::graph
