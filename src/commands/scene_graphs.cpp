#include "commands/scene_graphs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "filters/dv_scene_detect_filter.h"
#include "filters/graph_filters.h"
#include "graph/avi_mux_writer.h"
#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/system_filters.h"
#include "media/avi_demuxer.h"
#include "media/dvcodes.h"
#include "media/media_error.h"
#include "platform/error_text.h"

namespace velinor {

namespace {

// Inside a DIF sequence: blocks 0-5 are the header, subcode and VAUX blocks; audio block a
// (0..8) is block 16a + 6 and carries its AAUX pack at bytes 3-7.
constexpr int kAudioBlocksPerSequence = 9;
constexpr size_t kAudioPackEnd = 8;
// The subcode and VAUX packs the scan decodes: timecode, recording date and time, source control.
constexpr uint8_t kScanPacks[] = {kPackTitleTimecode, kPackRecordingDate, kPackRecordingTime,
                                  kPackVauxSourceControl};

constexpr size_t audioBlockOffset(int a) {
    return (16 * static_cast<size_t>(a) + 6) * kDifBlockBytes;
}
// The bytes of a sequence the pack decoder reads lie before the end of its last audio pack.
constexpr size_t kScanBytes = audioBlockOffset(kAudioBlocksPerSequence - 1) + kAudioPackEnd;

graph::FilterRegistry& DecoderRegistry() {
    static graph::FilterRegistry* registry = [] {
        auto* r = new graph::FilterRegistry;
        graph::RegisterSystemFilters(*r);
        return r;
    }();
    return *registry;
}

// A media stamper that only takes decoded 24-bit pictures, so that the render helper puts the
// decoders before it and it stamps exactly the picture the content detector then sees.
class PictureStamperFilter : public MediaStamperFilter {
protected:
    bool acceptsInput(const graph::MediaType& type) override { return IsRgb24PictureType(type); }
};

}  // namespace

// ---------------------------------------------------------------------------------------------

DvPackScanSource::DvPackScanSource() : SourceFilter("AVI Splitter") {}

DvPackScanSource::~DvPackScanSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool DvPackScanSource::load(const std::string& path) {
    if (demuxer_) throw MediaError(path, "un fichier est déjà chargé");
    auto demuxer = std::make_unique<AviDemuxer>(path);
    int stream = demuxer->FindStream(AviStreamKind::Interleaved);
    if (stream < 0) stream = demuxer->VideoStream();
    if (stream < 0 || !demuxer->IsDvStream(stream) || demuxer->streams()[size_t(stream)].SampleCount <= 0)
        return false;
    const AviStreamInfo& info = demuxer->streams()[size_t(stream)];
    std::vector<uint8_t> format = info.MediaFormat();
    if (info.Kind == AviStreamKind::Interleaved) {
        type_ = graph::MediaType(graph::MajorType::Interleaved, graph::kSubtypeDvsd, std::move(format));
    } else {
        // A DV-family code over whole DV frames (IsDvStream) is read as "dvsd".
        auto video = graph::VideoInfo::decode(format);
        if (!video) return false;
        video->compression = graph::kSubtypeDvsd;
        type_ = graph::VideoType(graph::kSubtypeDvsd, *video);
    }
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw MediaError(path, std::string("ouverture impossible : ") + ErrorText(errno));
    stream_ = stream;
    end_ = info.SampleCount;
    demuxer_ = std::move(demuxer);
    addOutput("Stream 00");
    return true;
}

int64_t DvPackScanSource::duration() const {
    return demuxer_ ? demuxer_->streams()[size_t(stream_)].Duration100ns : 0;
}

int64_t DvPackScanSource::frameDuration() const {
    return demuxer_ ? demuxer_->streams()[size_t(stream_)].TickDuration100ns() : 0;
}

std::vector<graph::MediaType> DvPackScanSource::outputTypes(const graph::OutputPin&) {
    if (!demuxer_) return {};
    return {type_};
}

void DvPackScanSource::seek(int64_t start, std::optional<int64_t> stop) {
    if (!demuxer_) throw MediaError(name(), "aucun fichier chargé");
    const int64_t count = int64_t(demuxer_->samples(stream_).size());
    const int64_t fd = frameDuration();
    const auto frameOf = [&](int64_t time) {
        return fd > 0 ? std::clamp<int64_t>((time + fd / 2) / fd, 0, count) : 0;
    };
    next_ = frameOf(start);
    end_ = stop ? std::max(next_, frameOf(*stop)) : count;
}

// Reads `size` bytes at `offset` into `out`; false when the file is shorter or cannot be read.
bool DvPackScanSource::readAt(int64_t offset, uint8_t* out, size_t size) const {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd_, out + done, size - done, offset + int64_t(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += size_t(got);
    }
    return true;
}

graph::Flow DvPackScanSource::produce() {
    const auto& samples = demuxer_->samples(stream_);
    if (next_ >= end_ || next_ >= int64_t(samples.size())) return graph::Flow::EndOfStream;
    const int64_t n = next_++;
    const AviSample& entry = samples[size_t(n)];

    graph::SamplePtr sample = spare_ && spare_.use_count() == 1 ? spare_ : std::make_shared<graph::Sample>();
    spare_ = sample;
    // The rest of the buffer is never read; it keeps whatever an earlier frame left there.
    if (sample->data.size() != entry.Size) sample->data.assign(entry.Size, 0);
    uint8_t* out = sample->data.data();
    const int sequences = DifSequenceCount(entry.Size);
    // The decoder takes each pack from the first sequence that holds it. When the first sequence
    // holds them all, the other sequences cannot change what is decoded, and only the first
    // sequence's blocks up to its last audio pack are read; otherwise the whole frame is.
    bool whole = sequences == 0;
    if (!whole) {
        if (!readAt(entry.Offset, out, kScanBytes))
            throw MediaError(demuxer_->path(), "lecture impossible de l'échantillon " + std::to_string(n),
                             entry.Offset);
        const std::span<const uint8_t> first(out, kDifSequenceBytes);
        whole = !std::all_of(std::begin(kScanPacks), std::end(kScanPacks), [&](uint8_t id) {
            return FindPack(first, id, 1).has_value();
        }) || !FindAudioBlock(first, kPackAauxSource, 1).has_value();
    }
    if (whole && entry.Size > 0 && !readAt(entry.Offset, out, entry.Size))
        throw MediaError(demuxer_->path(), "lecture impossible de l'échantillon " + std::to_string(n),
                         entry.Offset);
    sample->hasTime = true;
    sample->start = demuxer_->TickTime100ns(stream_, entry.Start);
    sample->stop = demuxer_->TickTime100ns(stream_, entry.Start + 1);
    sample->hasMediaTime = true;
    sample->mediaStart = entry.Start;
    sample->mediaStop = entry.Start + 1;
    sample->syncPoint = true;
    sample->discontinuity = false;
    sample->writable = true;
    return deliver(*output(0), sample);
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<graph::Graph> BuildDatecodeScanGraph(const std::string& path, Tdv_sceneDetect& detector,
                                                     std::string& error) {
    auto g = std::make_unique<graph::Graph>();
    auto source = std::make_shared<DvPackScanSource>();
    auto scene = std::make_shared<DvSceneDetectFilter>(detector);
    auto sink = std::make_shared<graph::NullRenderer>();
    g->addFilter(source, "source");
    g->addFilter(scene, "scenedetect");
    g->addFilter(sink, "nullrender");
    try {
        if (!source->load(path)) {
            error = "le fichier ne contient aucune image DV";
            return nullptr;
        }
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
    if (!g->connect(*source->output(0), scene->inputPin()) ||
        !g->connect(scene->outputPin(), *sink->input(0))) {
        error = "le flux DV ne peut pas être lu";
        return nullptr;
    }
    return g;
}

ContentScan::ContentScan() : filter_(std::make_shared<ContentSceneDetectFilter>()) {}

ContentScan::~ContentScan() = default;

void ContentScan::SetCutHook(std::function<void(int32_t frame)> hook) {
    filter_->Detector.OnCut = std::move(hook);
}

void ContentScan::ClearHooks() {
    filter_->Detector.OnCut = nullptr;
    filter_->Detector.OnStop = nullptr;
    filter_->Detector.Stamper = nullptr;
}

std::unique_ptr<graph::Graph> ContentScan::Build(const std::string& path, std::string& error) {
    const std::shared_ptr<ContentSceneDetectFilter>& detector = filter_;
    auto g = std::make_unique<graph::Graph>();
    auto source = std::make_shared<graph::AviSource>();
    auto stamper = std::make_shared<PictureStamperFilter>();
    auto sink = std::make_shared<graph::NullRenderer>();
    g->addFilter(source, "avisplitter");
    g->addFilter(stamper, "MediaStamper");
    g->addFilter(detector, "scenedetectContenu");
    g->addFilter(sink, "nullrender");
    detector->Detector.Stamper = &stamper->Stamper;
    try {
        source->load(path);
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
    const int video = source->demuxer()->VideoStream();
    graph::OutputPin* videoOut = nullptr;
    for (graph::OutputPin* out : source->outputs()) {
        const auto types = source->outputTypes(*out);
        if (!types.empty() && (types.front().major == graph::MajorType::Video ||
                               types.front().major == graph::MajorType::Interleaved)) {
            videoOut = out;
            break;
        }
    }
    if (video < 0 || !videoOut) {
        error = "pas de flux vidéo";
        return nullptr;
    }
    if (!g->render(*videoOut, *stamper, DecoderRegistry())) {
        error = "aucun décodeur ne lit la vidéo";
        return nullptr;
    }
    if (!g->connect(stamper->outputPin(), detector->inputPin()) ||
        !g->connect(detector->outputPin(), *sink->input(0))) {
        error = "la vidéo ne peut pas être analysée";
        return nullptr;
    }
    return g;
}

std::unique_ptr<graph::Graph> BuildCutGraph(const std::string& path, const std::string& destination,
                                            std::string& error) {
    auto g = std::make_unique<graph::Graph>();
    auto source = std::make_shared<graph::AviSource>();
    auto mux = std::make_shared<graph::AviMuxWriter>();
    g->addFilter(source, "avisplitter");
    g->addFilter(mux, "avimux");
    try {
        source->load(path);
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
    mux->setFileName(destination, true);
    graph::OutputPin* dv = nullptr;
    graph::OutputPin* audio = nullptr;
    for (graph::OutputPin* out : source->outputs()) {
        const auto types = source->outputTypes(*out);
        if (types.empty()) continue;
        const graph::MediaType& t = types.front();
        if (!dv && (t.major == graph::MajorType::Interleaved ||
                    (t.major == graph::MajorType::Video && t.subtype == graph::kSubtypeDvsd)))
            dv = out;
        else if (!audio && t.major == graph::MajorType::Audio)
            audio = out;
    }
    if (!dv) {
        error = "pas de flux DV";
        return nullptr;
    }
    if (!g->connect(*dv, *mux->input(mux->inputs().size() - 1))) {
        error = "le flux DV ne peut pas être copié";
        return nullptr;
    }
    // A type 2 file keeps its first audio stream when the writer can take it as it is.
    if (audio && source->outputTypes(*dv).front().major == graph::MajorType::Video)
        g->connect(*audio, *mux->input(mux->inputs().size() - 1));
    return g;
}

}  // namespace velinor
