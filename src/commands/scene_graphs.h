#pragma once
// The graphs of the scene and subtitle commands: the datecode scan, the content scan and the
// cut of one scene. Built and controlled on the engine's worker; the filters they are given
// must outlive the graph.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filters/dv_scene_detect.h"
#include "graph/filter.h"
#include "graph/graph.h"

namespace velinor {

class AviDemuxer;
class ContentSceneDetectFilter;

// The file source for the datecode scan: delivers the DV stream of an AVI file (the interleaved
// stream of a type 1 file, the video stream of a type 2 file) as frame-sized samples in which
// only the bytes the pack decoder reads are sure to be filled: the first DIF sequence up to the
// AAUX pack of its last audio block (header, subcode and VAUX blocks, the 9 audio packs). The
// whole frame is read only when a pack the scan decodes is missing from the first sequence, so a
// frame costs about 10 KB of reading instead of 144 KB. The rest of the picture, and the header
// areas that a DV header filter would keep, are not filled: the samples are for the datecode
// detector only. Each frame is read with one call, so memory stays flat whatever the file's
// length. Samples that are not whole DV frames are delivered whole. One buffer is reused while
// nobody holds it.
class DvPackScanSource : public graph::SourceFilter {
public:
    DvPackScanSource();
    ~DvPackScanSource() override;

    // Opens the file read-only. Throws MediaError when it is not a readable AVI file; false
    // when it has no DV stream.
    bool load(const std::string& path);

    int64_t duration() const override;
    int64_t frameDuration() const override;
    std::vector<graph::MediaType> outputTypes(const graph::OutputPin& pin) override;

protected:
    void seek(int64_t start, std::optional<int64_t> stop) override;
    graph::Flow produce() override;

private:
    bool readAt(int64_t offset, uint8_t* out, size_t size) const;

    std::unique_ptr<AviDemuxer> demuxer_;
    int stream_ = -1;
    graph::MediaType type_;
    int fd_ = -1;
    int64_t next_ = 0;
    int64_t end_ = 0;
    graph::SamplePtr spare_;
};

// Source -> "scenedetect" (running `detector`) -> null renderer. Null, with the reason in `error`,
// when the file cannot be loaded or has no DV stream.
std::unique_ptr<graph::Graph> BuildDatecodeScanGraph(const std::string& path, Tdv_sceneDetect& detector,
                                                     std::string& error);

// The content detector of the content scan, created once and joined to each scan's graph:
// AVI source -> decoders -> "MediaStamper" -> "scenedetectContenu" -> null renderer. Built and
// controlled on the worker; the cut hook runs on the streaming thread, and once more from the
// stop (with the frame count) on the controlling thread.
class ContentScan {
public:
    ContentScan();
    ~ContentScan();
    ContentScan(const ContentScan&) = delete;
    ContentScan& operator=(const ContentScan&) = delete;

    // Null, with the reason in `error`, when the file cannot be loaded or its video cannot be
    // decoded to pictures.
    std::unique_ptr<graph::Graph> Build(const std::string& path, std::string& error);
    void SetCutHook(std::function<void(int32_t frame)> hook);
    void ClearHooks();

private:
    std::shared_ptr<ContentSceneDetectFilter> filter_;
};

// AVI source -> AVI mux writer at `destination` (replaced), copying the DV data unchanged: the
// interleaved stream of a type 1 source, or the video and first PCM audio stream of a type 2
// source. Null, with the reason in `error`, when it cannot be built.
std::unique_ptr<graph::Graph> BuildCutGraph(const std::string& path, const std::string& destination,
                                            std::string& error);

}  // namespace velinor
