#pragma once
// The conversion module: one media graph, rebuilt from empty for every file, wired from a source
// AVI file to a destination for each conversion, with the program's own frame filters created
// once and attached to whichever graph needs them. Builds, settings and runs happen on the
// command engine's worker, one graph command at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "filters/dv_scene_detect.h"
#include "filters/graph_filters.h"
#include "graph/graph.h"

namespace velinor {

namespace graph {
class AudioConverter;
class AviMuxWriter;
class AviSource;
class DvMuxer;
class DvSplitter;
class DvVideoDecoder;
class DvVideoEncoder;
class InfiniteTee;
class NullRenderer;
}  // namespace graph

class DvSceneDetectFilter;
class FileWriterFilter;

enum class TVideoStandard : uint8_t { Pal, Ntsc };

// What the re-compression of a non-DV file produces.
struct TRecompressFormat {
    TVideoStandard Standard = TVideoStandard::Pal;
    bool Wide = false;
    uint32_t AudioRate = 48'000;
};

class TCdm {
public:
    // `texts`: the templates and date patterns the burn-in draws; must outlive this module.
    explicit TCdm(OverlayTextSettingsStore& texts);
    ~TCdm();
    TCdm(const TCdm&) = delete;
    TCdm& operator=(const TCdm&) = delete;

    // Stops and empties the graph, detaches every filter, clears the detector's hooks and
    // records, and puts the DV header filter back to its initial settings.
    void ResetGraph();

    // Each build returns the graph ready to run, or null when it could not be completed. None
    // throws. `dvType` is the source's DV type (1 interleaved, 2 separate streams).
    graph::Graph* BuildStandardGraph(const std::string& source, const std::string& destination,
                                     TVideoStandard target, int dvType);
    graph::Graph* BuildHeaderGraph(const std::string& source, const std::string& destination);
    // `videoSystem` 0 is 625/50 (PAL), anything else 525/60.
    graph::Graph* BuildOverlayGraph(const std::string& source, const std::string& destination,
                                    int videoSystem, int dvType);
    graph::Graph* BuildFixType2Graph(const std::string& source, const std::string& destination);
    graph::Graph* BuildType1Graph(const std::string& source, const std::string& destination);
    graph::Graph* BuildType2Graph(const std::string& source, const std::string& destination);
    graph::Graph* BuildRecompressGraph(const std::string& source, const std::string& destination);
    graph::Graph* BuildAudioGraph(const std::string& source, const std::string& destination);

    // Sets an audio converter of the built graph to `rate` and renegotiates its output, so the
    // files written declare the rate the samples have. False when the converter refused the rate
    // or the graph could not be reconnected with it.
    bool SetAudioOutputRate(graph::AudioConverter* converter, uint32_t rate);
    // Adds an INFO entry ("INFO/IMRV") to the AVI file the built graph writes.
    bool WriteMediaProperty(const std::string& name, const std::string& value);

    graph::Graph* Graph() const { return fg_.get(); }
    graph::AudioConverter* Acm1() const { return acm1_.get(); }
    graph::AudioConverter* Acm2() const { return acm2_.get(); }
    graph::AviMuxWriter* AviMux() const { return avimux_.get(); }
    // Why the second audio stream was left out of the latest run, or empty.
    std::string DroppedAudioNotice() const;

    // The destination of the graph being built.
    std::string CurrentDestination;
    // Read by BuildRecompressGraph.
    TRecompressFormat Recompress;
    // Told, on the controlling thread when a run stops, why an audio stream was left out.
    std::function<void(const std::string& notice)> OnNotice;

    // The program's own filters. SceneDetect carries the hooks of the scene commands; the header
    // and overlay filters read the frame records of their own detectors, which see each source
    // frame just before the picture made from it passes them.
    Tdv_sceneDetect SceneDetect;
    OverlayTextSettingsStore& Texts() const { return texts_; }
    Tdv_DVheader& Header() const { return header_->Header; }
    Tdv_Superposer& Overlay() const { return superposer_->Overlay; }

    // Why the latest build answered null, in French; empty when it did not fail.
    const std::string& BuildFailure() const { return buildFailure_; }

private:
    struct Parts;
    // False, with the reason noted, when the source claims a frame rate no video has.
    bool sourceRateUsable();
    // Notes why a build stops (the reason already noted, else the graph's own error, when
    // `reason` is empty) and answers null.
    graph::Graph* failed(const std::string& reason = {});
    bool beginConversion(const std::string& source, const std::string& destination);
    graph::Graph* finish(bool ok);
    bool add(const std::shared_ptr<graph::Filter>& filter, const std::string& name = {});
    bool connect(graph::OutputPin* from, graph::InputPin* to);
    bool connectVideoChain(graph::OutputPin* dvVideo, bool overlay, int sourceSystem, int targetSystem);
    graph::Graph* buildVideoChainGraph(const std::string& source, const std::string& destination, int dvType,
                                       bool overlay, std::optional<int> sourceSystem, int targetSystem);
    bool connectMuxerToAviMux();
    bool connectAudioToMuxer(graph::OutputPin* audio, int index);
    graph::InputPin* nextAviMuxInput() const;
    graph::InputPin* nextMuxerAudioInput() const;
    std::vector<graph::OutputPin*> splitterOutputs() const;

    OverlayTextSettingsStore& texts_;
    std::string buildFailure_;
    std::unique_ptr<graph::Graph> fg_;
    std::shared_ptr<graph::AviSource> source_;
    std::shared_ptr<graph::AviMuxWriter> avimux_;
    std::shared_ptr<FileWriterFilter> destination_;
    std::shared_ptr<graph::DvSplitter> dvsplitter_, dvsplitter2_;
    std::shared_ptr<graph::DvMuxer> dvmuxer_;
    std::shared_ptr<graph::AudioConverter> acm1_, acm2_;
    std::shared_ptr<graph::DvVideoDecoder> dvdecoder_;
    std::shared_ptr<graph::DvVideoEncoder> dvenc_;
    std::shared_ptr<graph::NullRenderer> nullrender_;
    std::shared_ptr<graph::InfiniteTee> infinite_;

    std::unique_ptr<Parts> parts_;
    std::shared_ptr<DvSceneDetectFilter> sceneDetectFilter_;
    std::shared_ptr<DvHeaderFilter> header_;
    std::shared_ptr<SuperposerFilter> superposer_;
    std::shared_ptr<DeinterlaceFilter> deinter_;
    std::shared_ptr<WaveDestFilter> waveDest_;
};

}  // namespace velinor
