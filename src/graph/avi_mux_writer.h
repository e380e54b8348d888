#pragma once
// The AVI mux and file writer in one renderer: writes DV as a type 1 file (one interleaved input)
// or a type 2 file (a DV video input and at most one PCM 16-bit audio input) through the AVI
// writer, which works on a temporary file beside the target and renames it once complete. A new
// input appears whenever the last one is connected. Negotiation and stop on the controlling
// thread; samples on the streaming threads, under the filter's lock.
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "graph/filter.h"
#include "media/avi_writer.h"

namespace velinor::graph {

class AviMuxWriter : public RendererFilter {
public:
    AviMuxWriter();
    ~AviMuxWriter() override;

    // Stopped graph only.
    void setFileName(std::string path, bool replaceExisting = false);
    void setInfo(std::vector<std::pair<std::string, std::string>> info) { info_ = std::move(info); }
    const std::string& fileName() const { return path_; }

    bool checkInputType(const InputPin& pin, const MediaType& type) override;
    void onConnected(Pin& pin) override;
    bool waitsForSampleTime() const override { return false; }
    bool startStreaming(std::string& error) override;
    // Completes the file; throws MediaError when it cannot.
    void stopStreaming() override;
    Flow render(InputPin& pin, const SamplePtr& sample) override;

    // Frames written by the latest run.
    int64_t framesWritten() const;

private:
    void openWriter(size_t frameBytes, std::span<const uint8_t> firstFrame);

    std::string path_;
    bool replace_ = false;
    std::vector<std::pair<std::string, std::string>> info_;

    mutable std::mutex mutex_;
    AviWriterSettings settings_;
    InputPin* video_ = nullptr;  // the DV input, interleaved or video
    InputPin* audio_ = nullptr;
    std::unique_ptr<AviWriter> writer_;
    std::vector<uint8_t> earlyAudio_;  // audio met before the first frame fixed the file's layout
    bool failed_ = false;
    bool running_ = false;  // between startStreaming and stopStreaming
    int64_t frames_ = 0;
};

}  // namespace velinor::graph
