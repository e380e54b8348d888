#pragma once
// Pins and the filter base classes of the graph engine. Negotiation and state calls come from
// the graph's controlling thread; receive, end of stream and new segment come from the
// streaming thread of the source upstream.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "graph/media_type.h"
#include "graph/sample.h"

namespace velinor::graph {

class Graph;
class Filter;

// What a delivery came to: Ok, the end of the stream (sources only), the graph is stopping or
// seeking (stop delivering, quietly), or an error already reported to the graph.
enum class Flow { Ok, EndOfStream, Stopping, Error };

enum class PinDirection { Input, Output };

// What an input does with the bytes of the samples it gets, from most to least. A source may
// leave out the bytes its peer does not look at; the sample keeps its times and flags either way.
enum class SampleUse {
    Whole,           // every byte
    DifAudioBlocks,  // DV frames: the sample has the frame's length, and only its audio blocks
                     // (pack and samples) need hold the frame's bytes
    TimesOnly,       // no byte: the sample may come empty
};

class Pin {
public:
    Pin(Filter& owner, PinDirection direction, std::string name)
        : owner_(owner), direction_(direction), name_(std::move(name)) {}
    virtual ~Pin() = default;
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

    Filter& filter() const { return owner_; }
    PinDirection direction() const { return direction_; }
    const std::string& name() const { return name_; }
    bool isConnected() const { return peer_ != nullptr; }
    Pin* connectedTo() const { return peer_; }
    // The type agreed at connection; a default (Any) type when not connected.
    const MediaType& connectionType() const { return type_; }

private:
    friend class Graph;
    Filter& owner_;
    PinDirection direction_;
    std::string name_;
    Pin* peer_ = nullptr;
    MediaType type_;
};

class InputPin : public Pin {
public:
    InputPin(Filter& owner, std::string name) : Pin(owner, PinDirection::Input, std::move(name)) {}
    Flow receive(const SamplePtr& sample);
    void endOfStream();
    void newSegment(int64_t start, std::optional<int64_t> stop);
    bool atEnd() const { return atEnd_; }

private:
    friend class Filter;
    friend class Graph;
    bool atEnd_ = false;  // streaming thread; reset by the graph before streaming starts
};

class OutputPin : public Pin {
public:
    OutputPin(Filter& owner, std::string name) : Pin(owner, PinDirection::Output, std::move(name)) {}
    // Hands the sample to the connected input; an unconnected output drops it.
    Flow deliver(const SamplePtr& sample);
    void deliverEndOfStream();
    void deliverNewSegment(int64_t start, std::optional<int64_t> stop);
    // What the connected input does with the samples' bytes; TimesOnly when not connected.
    // Controlling thread.
    SampleUse peerUse() const;
};

class Filter {
public:
    explicit Filter(std::string name) : name_(std::move(name)) {}
    virtual ~Filter() = default;
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    const std::string& name() const { return name_; }
    Graph* graph() const { return graph_; }

    // Pins in the filter's conventional order; pins that appear on demand are appended.
    std::vector<Pin*> pins() const;
    std::vector<InputPin*> inputs() const;
    std::vector<OutputPin*> outputs() const;
    InputPin* input(size_t index = 0) const;
    OutputPin* output(size_t index = 0) const;

    // True while the graph stops or seeks: streaming work should end quickly. Any thread.
    bool isFlushing() const;

    // Renderers end a stream: pause holds at them and completion is counted at them.
    virtual bool isRenderer() const { return false; }

    // Negotiation (controlling thread). An output proposes its types in order of preference;
    // an input may propose types too, tried after the output's.
    virtual bool checkInputType(const InputPin& pin, const MediaType& type);
    virtual std::vector<MediaType> outputTypes(const OutputPin& pin);
    virtual std::vector<MediaType> inputTypes(const InputPin& pin);
    virtual bool checkOutputType(const OutputPin& pin, const MediaType& type);
    virtual void onConnected(Pin& pin) { (void)pin; }
    // What the filter does with the bytes of the samples arriving on `pin`, as connected now.
    virtual SampleUse sampleUse(const InputPin& pin) const {
        (void)pin;
        return SampleUse::Whole;
    }
    virtual void onDisconnected(Pin& pin) { (void)pin; }

    // State (controlling thread). startStreaming runs before any streaming thread starts and may
    // refuse by returning false after setting `error`; stopStreaming runs after every streaming
    // thread of the graph has been joined, and throws MediaError when it cannot finish its work
    // (a file that cannot be completed).
    virtual bool startStreaming(std::string& error) {
        (void)error;
        return true;
    }
    virtual void stopStreaming() {}

    // Streaming (streaming thread).
    virtual Flow receive(InputPin& pin, const SamplePtr& sample);
    // Default: passes the end on to every output once every connected input reached it.
    virtual void endOfStream(InputPin& pin);
    virtual void newSegment(InputPin& pin, int64_t start, std::optional<int64_t> stop);

protected:
    InputPin& addInput(std::string name);
    OutputPin& addOutput(std::string name);
    bool allInputsAtEnd() const;
    // Sends the message to the graph as an error event; the caller returns the result.
    Flow reportError(const std::string& message);

private:
    friend class Graph;
    std::string name_;
    std::vector<std::unique_ptr<Pin>> pins_;
    Graph* graph_ = nullptr;
};

// A filter that produces samples on its own streaming thread, one per source.
class SourceFilter : public Filter {
public:
    using Filter::Filter;
    ~SourceFilter() override;

    // 100 ns. Duration of the whole stream.
    virtual int64_t duration() const = 0;
    // 100 ns per frame, or 0 when the stream has no frame format.
    virtual int64_t frameDuration() const { return 0; }

protected:
    // Controlling thread, no streaming thread running: the next produce() starts at `start`
    // (100 ns) and the stream ends before `stop` when set. Throws MediaError when the file
    // cannot be read there; the run then ends with an error event.
    virtual void seek(int64_t start, std::optional<int64_t> stop) = 0;
    // Streaming thread: delivers the next sample(s) through deliver(); EndOfStream at the end.
    virtual Flow produce() = 0;
    // Delivers on `pin`, marking the first sample of each output after a start or a seek.
    Flow deliver(OutputPin& pin, const SamplePtr& sample);
    int64_t segmentStart() const { return segmentStart_; }
    std::optional<int64_t> segmentStop() const { return segmentStop_; }
    // The frame whose start is nearest to `time`, for sources with a frame format.
    int64_t frameAt(int64_t time) const;

private:
    friend class Graph;
    void setSegment(int64_t start, std::optional<int64_t> stop);
    void startThread();
    void joinThread();
    void streamLoop();

    std::thread thread_;
    int64_t segmentStart_ = 0;
    std::optional<int64_t> segmentStop_;
    std::vector<OutputPin*> started_;  // outputs that delivered since the segment began
};

// One input, one output, a new output sample per input sample.
class TransformFilter : public Filter {
public:
    explicit TransformFilter(std::string name);
    InputPin& inputPin() const { return *input(0); }
    OutputPin& outputPin() const { return *output(0); }

    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    std::vector<MediaType> outputTypes(const OutputPin& pin) override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;

protected:
    virtual bool acceptsInput(const MediaType& type) = 0;
    // The types produced from the connected input type, in order of preference.
    virtual std::vector<MediaType> outputTypesFor(const MediaType& input) = 0;
    // `out` arrives with the input's times and flags and an empty buffer.
    virtual Flow transform(const Sample& in, Sample& out) = 0;
};

// One input, one output of the same type; samples pass through, changed in place or not.
class InPlaceTransformFilter : public Filter {
public:
    explicit InPlaceTransformFilter(std::string name);
    InputPin& inputPin() const { return *input(0); }
    OutputPin& outputPin() const { return *output(0); }

    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    std::vector<MediaType> outputTypes(const OutputPin& pin) override;
    bool checkOutputType(const OutputPin& pin, const MediaType& type) override;
    Flow receive(InputPin& pin, const SamplePtr& sample) override;

protected:
    virtual bool acceptsInput(const MediaType& type) = 0;
    // False for filters that only read: they then see shared samples and must not write them.
    virtual bool modifiesData() const { return true; }
    virtual Flow transform(Sample& sample) = 0;
    // The sample itself, or a copy of it when the filter would write a sample shared with others.
    SamplePtr writableTarget(const SamplePtr& sample) const;
};

// A filter that ends a stream. In pause it presents the first sample it gets and holds the
// streaming thread there; running with a clock it presents each sample at its start time.
class RendererFilter : public Filter {
public:
    using Filter::Filter;
    bool isRenderer() const override { return true; }
    Flow receive(InputPin& pin, const SamplePtr& sample) override;
    void endOfStream(InputPin& pin) override;

    // Streaming thread: presents one sample.
    virtual Flow render(InputPin& pin, const SamplePtr& sample) = 0;
    // False for sinks that buffer ahead of the clock (audio devices, writers).
    virtual bool waitsForSampleTime() const { return true; }

private:
    friend class Graph;
    // Guarded by the graph's lock.
    bool cued_ = false;
    bool primed_ = false;  // presented a sample or reached the end in this run
    bool atEnd_ = false;
};

}  // namespace velinor::graph
