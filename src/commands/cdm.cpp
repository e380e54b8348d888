#include "commands/cdm.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "filters/dv_scene_detect_filter.h"
#include "filters/file_writer.h"
#include "graph/audio_converter.h"
#include "graph/avi_mux_writer.h"
#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/dv_codec.h"
#include "graph/dv_frame_maker.h"
#include "graph/dv_muxer.h"
#include "graph/dv_segments.h"
#include "graph/dv_splitter.h"
#include "graph/dv_video_decoder.h"
#include "graph/dv_video_encoder.h"
#include "graph/parallel_stage.h"
#include "graph/sample_peek.h"
#include "graph/system_filters.h"
#include "media/dvcodes.h"
#include "media/fpsunit.h"
#include "media/media_error.h"

namespace velinor {

using graph::Flow;
using graph::InputPin;
using graph::MajorType;
using graph::MediaType;
using graph::OutputPin;
using graph::Sample;
using graph::SamplePtr;

namespace {

// Start of output frame `n` after the first, in 100 ns: 525/60 frames last 1001/30000 s.
int64_t OutputFrameTime(bool is525, int64_t n) {
    return is525 ? n * 1'001'000 / 3 : n * kFrameDuration625;
}

// VIDEOINFOHEADER's AvgTimePerFrame, at byte 40.
constexpr size_t kAvgTimePerFrameAt = 40;

// Takes frames (DV or pictures) at the output system's rate from a stream at another rate:
// output frame n is the source frame on screen at n output frame durations after the first,
// so source frames are repeated or dropped and the running time is kept. Output frames are
// numbered from 0 in their media times. Streaming thread for samples, controlling thread for
// negotiation.
class FrameRateFilter : public graph::Filter {
public:
    explicit FrameRateFilter(bool to525) : Filter("Frame rate converter"), to525_(to525) {
        addInput("Input");
        addOutput("Output");
    }

    bool checkInputType(const InputPin&, const MediaType& type) override {
        return type.major == MajorType::Video || type.major == MajorType::Interleaved;
    }
    std::vector<MediaType> outputTypes(const OutputPin&) override {
        if (!input()->isConnected()) return {};
        MediaType type = input()->connectionType();
        if (type.major == MajorType::Video && type.format.size() >= kAvgTimePerFrameAt + 8) {
            const int64_t duration = to525_ ? kFrameDuration525 : kFrameDuration625;
            for (size_t i = 0; i < 8; ++i)
                type.format[kAvgTimePerFrameAt + i] = uint8_t(uint64_t(duration) >> (8 * i));
        }
        return {type};
    }
    bool startStreaming(std::string&) override {
        reset();
        return true;
    }
    Flow receive(InputPin&, const SamplePtr& sample) override {
        const int64_t start = sample->hasTime ? sample->start : received_ * inputDuration(*sample);
        ++received_;
        if (!previous_) {
            base_ = start;
        } else if (const Flow flow = emitUntil(start); flow != Flow::Ok) {
            return flow;
        }
        previous_ = sample;
        previousStart_ = start;
        return Flow::Ok;
    }
    void endOfStream(InputPin& pin) override {
        if (previous_) {
            const int64_t end = previous_->hasTime && previous_->stop > previous_->start
                                    ? previous_->stop
                                    : previousStart_ + inputDuration(*previous_);
            emitUntil(end);
        }
        previous_.reset();
        Filter::endOfStream(pin);
    }
    void newSegment(InputPin& pin, int64_t start, std::optional<int64_t> stop) override {
        reset();
        Filter::newSegment(pin, start, stop);
    }

private:
    void reset() {
        previous_.reset();
        received_ = 0;
        next_ = 0;
        base_ = 0;
    }
    int64_t inputDuration(const Sample& sample) const {
        if (const int64_t d = graph::FrameDurationOf(input()->connectionType()); d > 0) return d;
        return sample.length() == kDvFrameBytes525 ? kFrameDuration525 : kFrameDuration625;
    }
    Flow emitUntil(int64_t limit) {
        while (base_ + OutputFrameTime(to525_, next_) < limit) {
            auto out = std::make_shared<Sample>();
            CopySampleProperties(*previous_, *out);
            out->data = previous_->data;
            out->hasTime = true;
            out->start = base_ + OutputFrameTime(to525_, next_);
            out->stop = base_ + OutputFrameTime(to525_, next_ + 1);
            out->hasMediaTime = true;
            out->mediaStart = next_;
            out->mediaStop = next_ + 1;
            out->discontinuity = next_ == 0;
            out->syncPoint = true;
            ++next_;
            if (const Flow flow = output()->deliver(out); flow != Flow::Ok) return flow;
        }
        return Flow::Ok;
    }

    bool to525_;
    SamplePtr previous_;
    int64_t previousStart_ = 0;
    int64_t received_ = 0;
    int64_t next_ = 0;
    int64_t base_ = 0;
};

// Bilinear taps from a line of `inSize` samples to one of `outSize`: output sample i takes
// `first` and `second` in the proportion given by `weight`, centres aligned.
struct ScaleTap {
    int first = 0;
    int second = 0;
    int weight = 0;  // of `second`, in 1/256
};

std::vector<ScaleTap> ScaleTaps(int outSize, int inSize) {
    std::vector<ScaleTap> table(size_t(std::max(outSize, 0)));
    for (int i = 0; i < outSize; ++i) {
        const double at = std::clamp((i + 0.5) * inSize / outSize - 0.5, 0.0, double(inSize - 1));
        ScaleTap& t = table[size_t(i)];
        t.first = int(at);
        t.second = std::min(t.first + 1, inSize - 1);
        t.weight = int(std::lround((at - t.first) * 256));
    }
    return table;
}

// One plane or one interleaved picture resized by bilinear interpolation, rows first, with
// `channels` interleaved samples per pixel. Rows are addressed through `rowAt`, so bottom-up
// pictures and top-down planes go the same way.
class PlaneScaler {
public:
    void setUp(int inWidth, int inHeight, int outWidth, int outHeight, int channels) {
        channels_ = size_t(channels);
        inWidth_ = inWidth;
        outWidth_ = outWidth;
        rows_ = ScaleTaps(outHeight, inHeight);
        columns_ = ScaleTaps(outWidth, inWidth);
        sameWidth_ = inWidth == outWidth;
        halves_ = channels == 1 && outWidth * 2 == inWidth;
        for (int x = 0; halves_ && x < outWidth; ++x) {
            const ScaleTap& c = columns_[size_t(x)];
            halves_ = c.first == 2 * x && c.second == 2 * x + 1 && c.weight == 128;
        }
        blend_.resize(size_t(inWidth) * channels_);
    }

    template <class InRow, class OutRow>
    void scale(const InRow& inRow, const OutRow& outRow) {
        const size_t inSamples = size_t(inWidth_) * channels_;
        for (size_t y = 0; y < rows_.size(); ++y) {
            const ScaleTap& r = rows_[y];
            const uint8_t* a = inRow(r.first);
            const uint8_t* b = inRow(r.second);
            const int wa = 256 - r.weight, wb = r.weight;
            uint8_t* dst = outRow(int(y));
            if (sameWidth_) {
                BlendRows(a, b, dst, inSamples, wa, wb);
                continue;
            }
            WeighRows(a, b, blend_.data(), inSamples, wa, wb);
            if (halves_)
                HalveColumns(blend_.data(), columns_.size(), dst);
            else if (channels_ == 1)
                PickColumns(blend_.data(), columns_.data(), columns_.size(), dst);
            else
                PickColumns(blend_.data(), columns_.data(), columns_.size(), channels_, dst);
        }
    }

private:
    static void BlendRows(const uint8_t* __restrict a, const uint8_t* __restrict b, uint8_t* __restrict to,
                          size_t n, int wa, int wb) {
        for (size_t i = 0; i < n; ++i) to[i] = uint8_t((a[i] * wa + b[i] * wb + 128) >> 8);
    }
    static void WeighRows(const uint8_t* __restrict a, const uint8_t* __restrict b, uint16_t* __restrict to,
                          size_t n, int wa, int wb) {
        for (size_t i = 0; i < n; ++i) to[i] = uint16_t(a[i] * wa + b[i] * wb);
    }

    // Every output sample midway between two input samples, as a width halved exactly gives.
    static void HalveColumns(const uint16_t* __restrict blend, size_t n, uint8_t* __restrict to) {
        for (size_t x = 0; x < n; ++x)
            to[x] = uint8_t((uint32_t(blend[2 * x]) * 128 + uint32_t(blend[2 * x + 1]) * 128 + 32768) >> 16);
    }
    static void PickColumns(const uint16_t* __restrict blend, const ScaleTap* __restrict taps, size_t n,
                            uint8_t* __restrict to) {
        for (size_t x = 0; x < n; ++x) {
            const ScaleTap c = taps[x];
            to[x] = uint8_t((blend[c.first] * (256 - c.weight) + blend[c.second] * c.weight + 32768) >> 16);
        }
    }
    static void PickColumns(const uint16_t* __restrict blend, const ScaleTap* __restrict taps, size_t n,
                            size_t channels, uint8_t* __restrict to) {
        for (size_t x = 0; x < n; ++x) {
            const ScaleTap c = taps[x];
            const uint16_t* p0 = blend + size_t(c.first) * channels;
            const uint16_t* p1 = blend + size_t(c.second) * channels;
            for (size_t k = 0; k < channels; ++k)
                to[x * channels + k] = uint8_t((p0[k] * (256 - c.weight) + p1[k] * c.weight + 32768) >> 16);
        }
    }

    size_t channels_ = 3;
    int inWidth_ = 0, outWidth_ = 0;
    bool sameWidth_ = false;
    bool halves_ = false;
    std::vector<ScaleTap> rows_, columns_;
    std::vector<uint16_t> blend_;
};

// Resizes 24-bit bottom-up pictures to the DV picture size by bilinear interpolation. With
// `takesPlanes`, it also takes the DV codec's planes and gives the planes of the system of its
// output height, chroma resampled with them (4:2:0 for 576 rows, 4:1:1 for 480). Pictures are
// scaled on several lanes at once and leave in order.
class PictureScaler : public graph::TransformFilter {
public:
    PictureScaler(int width, int height, bool takesPlanes = false)
        : TransformFilter("Picture scaler"), width_(width), height_(height), takesPlanes_(takesPlanes) {}
    ~PictureScaler() override { stage_.discard(); }

    bool startStreaming(std::string& error) override {
        const MediaType& type = inputPin().connectionType();
        planes_ = IsDvPlanesType(type);
        lanes_.assign(stage_.lanes(), Lane{});
        if (planes_) {
            in_ = DvYuvLayout::For(type.subtype == graph::kSubtypeY41B);
            out_ = DvYuvLayout::For(height_ == kDvHeight525);
            for (Lane& lane : lanes_) {
                lane.luma.setUp(in_.width, in_.height, out_.width, out_.height, 1);
                lane.chroma.setUp(in_.chromaWidth, in_.chromaHeight, out_.chromaWidth, out_.chromaHeight, 1);
            }
            return true;
        }
        const auto in = graph::VideoInfo::decode(type.format);
        if (!in || in->width <= 0 || in->height == 0) {
            error = "Format d'image non reconnu pour la mise à l'échelle";
            return false;
        }
        inHeight_ = std::abs(in->height);
        inStride_ = size_t(in->stride());
        outStride_ = BgrPicture::StrideFor(width_);
        for (Lane& lane : lanes_) lane.luma.setUp(in->width, inHeight_, width_, height_, 3);
        return true;
    }
    void stopStreaming() override {
        stage_.discard();
        repeats_.clear();
        pool_.clear();
    }

    Flow receive(InputPin&, const SamplePtr& sample) override {
        auto out = pool_.take();
        CopySampleProperties(*sample, *out);
        // A picture repeated by a rate change is scaled once.
        if (repeats_.repeats(sample, out))
            return stage_.submit(
                out, [] { return true; }, emitter());
        repeats_.submitted(sample, out);
        Lane* lane = &lanes_[stage_.nextLane()];
        return stage_.submit(
            out, [this, lane, sample, out] { return scale(*lane, *sample, *out); }, emitter());
    }
    void endOfStream(InputPin&) override {
        stage_.drain(emitter());
        outputPin().deliverEndOfStream();
    }
    void newSegment(InputPin&, int64_t start, std::optional<int64_t> stop) override {
        stage_.discard();
        repeats_.clear();
        outputPin().deliverNewSegment(start, stop);
    }

protected:
    bool acceptsInput(const MediaType& type) override {
        return IsRgb24PictureType(type) || (takesPlanes_ && IsDvPlanesType(type));
    }
    std::vector<MediaType> outputTypesFor(const MediaType& input) override {
        auto info = graph::VideoInfo::decode(input.format);
        if (!info) return {};
        info->width = width_;
        info->height = height_;
        if (IsDvPlanesType(input)) {
            const DvYuvLayout layout = DvYuvLayout::For(height_ == kDvHeight525);
            info->height = layout.height;
            info->bitCount = 12;
            info->compression = layout.height == kDvHeight525 ? graph::kSubtypeY41B : graph::kSubtypeI420;
            info->imageSize = uint32_t(layout.bytes());
            return {graph::VideoType(info->compression, *info)};
        }
        info->bitCount = 24;
        info->compression = 0;
        info->imageSize = uint32_t(BgrPicture::StrideFor(width_) * size_t(height_));
        return {graph::VideoType(graph::kSubtypeRgb24, *info)};
    }
    Flow transform(const Sample&, Sample&) override {
        return Flow::Ok;  // samples go through receive(), several at a time
    }

private:
    // A lane's scalers: each keeps the row it is blending.
    struct Lane {
        PlaneScaler luma, chroma;  // luma: the whole picture in BGR
    };

    graph::ParallelStage::Emit emitter() {
        // A picture too short for its format is dropped, not passed on half made.
        return [this](const SamplePtr& out, bool ok) {
            return repeats_.leaving(out, ok) ? outputPin().deliver(out) : Flow::Ok;
        };
    }

    bool scale(Lane& lane, const Sample& in, Sample& out) const {
        if (planes_) {
            if (in.length() < in_.bytes()) return false;
            out.data.resize(out_.bytes());
            const uint8_t* src = in.data.data();
            uint8_t* dst = out.data.data();
            const auto plane = [](PlaneScaler& scaler, const uint8_t* from, size_t fromWidth, uint8_t* to,
                                  size_t toWidth) {
                scaler.scale([&](int y) { return from + size_t(y) * fromWidth; },
                             [&](int y) { return to + size_t(y) * toWidth; });
            };
            plane(lane.luma, src, size_t(in_.width), dst, size_t(out_.width));
            for (size_t k = 0; k < 2; ++k)
                plane(lane.chroma, src + in_.lumaBytes() + k * in_.chromaBytes(), size_t(in_.chromaWidth),
                      dst + out_.lumaBytes() + k * out_.chromaBytes(), size_t(out_.chromaWidth));
            return true;
        }
        if (in.length() < inStride_ * size_t(inHeight_)) return false;
        out.data.resize(outStride_ * size_t(height_));
        const uint8_t* src = in.data.data();
        uint8_t* dst = out.data.data();
        lane.luma.scale([&](int y) { return src + size_t(y) * inStride_; },
                        [&](int y) { return dst + size_t(y) * outStride_; });
        return true;
    }

    int width_, height_;
    bool takesPlanes_;
    bool planes_ = false;
    DvYuvLayout in_, out_;
    int inHeight_ = 0;
    size_t inStride_ = 0, outStride_ = 0;
    std::vector<Lane> lanes_;  // one per lane of the stage
    graph::ParallelStage stage_;
    graph::RepeatedJobs repeats_;
    graph::SamplePool pool_;
};

// Source DV frames kept by frame number until the picture made from each has passed the
// filters that read its packs. The decoder and encoder work several frames ahead of each other,
// so a detector upstream of them has already moved on when a picture reaches the overlay or
// the header filter. Used by one streaming thread.
struct FrameMemo {
    std::mutex mutex;
    std::map<int64_t, std::shared_ptr<const std::vector<uint8_t>>> frames;
};

// Keeps a copy of every DV frame that passes.
class MemoFilter : public graph::InPlaceTransformFilter {
public:
    explicit MemoFilter(std::shared_ptr<FrameMemo> memo)
        : InPlaceTransformFilter("Frame memo"), memo_(std::move(memo)) {}
    bool startStreaming(std::string&) override {
        std::lock_guard lock(memo_->mutex);
        memo_->frames.clear();
        counter_ = 0;
        return true;
    }

protected:
    bool acceptsInput(const MediaType& type) override { return IsDvType(type); }
    bool modifiesData() const override { return false; }
    Flow transform(Sample& sample) override {
        const int64_t key = sample.hasMediaTime ? sample.mediaStart : counter_;
        ++counter_;
        auto copy = std::make_shared<const std::vector<uint8_t>>(sample.data);
        std::lock_guard lock(memo_->mutex);
        memo_->frames[key] = std::move(copy);
        return Flow::Ok;
    }

private:
    std::shared_ptr<FrameMemo> memo_;
    int64_t counter_ = 0;
};

// Shows a detector the source frame of each passing sample, just before the filter that reads
// the detector: the memo's frame of the same number, or without a memo the DV sample itself.
class ReplayFilter : public graph::InPlaceTransformFilter {
public:
    ReplayFilter(Tdv_sceneDetect& detector, std::shared_ptr<FrameMemo> memo, bool releases)
        : InPlaceTransformFilter("Frame replay"),
          detector_(detector),
          memo_(std::move(memo)),
          releases_(releases) {}
    void setMemo(std::shared_ptr<FrameMemo> memo, bool releases) {
        memo_ = std::move(memo);
        releases_ = releases;
    }
    bool startStreaming(std::string&) override {
        detector_.StartStreaming(std::nullopt);
        counter_ = 0;
        return true;
    }

protected:
    // Before the overlay it takes the decoded pictures, in a form the overlay after it draws on;
    // after the encoder, and without a memo, it takes DV.
    bool acceptsInput(const MediaType& type) override {
        return memo_ && !releases_ ? IsRgb24PictureType(type) || IsDvPlanesType(type) : IsDvType(type);
    }
    bool modifiesData() const override { return false; }
    Flow transform(Sample& sample) override {
        const int64_t key = sample.hasMediaTime ? sample.mediaStart : counter_;
        ++counter_;
        if (!memo_) {
            detector_.Transform(sample.data);
            return Flow::Ok;
        }
        std::shared_ptr<const std::vector<uint8_t>> frame;
        {
            std::lock_guard lock(memo_->mutex);
            if (const auto it = memo_->frames.find(key); it != memo_->frames.end()) frame = it->second;
            // Frames the decoder dropped never come by; forget them with this one.
            if (releases_) memo_->frames.erase(memo_->frames.begin(), memo_->frames.upper_bound(key));
        }
        if (frame) detector_.Transform(*frame);
        return Flow::Ok;
    }

private:
    Tdv_sceneDetect& detector_;
    std::shared_ptr<FrameMemo> memo_;
    bool releases_;
    int64_t counter_ = 0;
};

// After the encoder of a burn-in: puts back, from the memo's source frame of the same number,
// every video segment the overlay's text did not reach, so those keep the source's own bytes.
// The overlay flattened them for the encoder; a frame it flattened whose source frame is gone
// stops the run rather than go out grey.
class SegmentSpliceFilter : public graph::InPlaceTransformFilter {
public:
    SegmentSpliceFilter(std::shared_ptr<TouchedSegments> board, std::shared_ptr<FrameMemo> memo)
        : InPlaceTransformFilter("Segment splice"), board_(std::move(board)), memo_(std::move(memo)) {}
    bool startStreaming(std::string&) override {
        board_->Clear();
        return true;
    }

protected:
    bool acceptsInput(const MediaType& type) override { return IsDvType(type); }
    Flow transform(Sample& sample) override {
        if (!sample.hasMediaTime) return Flow::Ok;
        const TouchedSegments::Segments touched = board_->Take(sample.mediaStart);
        if (!touched) return Flow::Ok;
        std::shared_ptr<const std::vector<uint8_t>> source;
        {
            std::lock_guard lock(memo_->mutex);
            if (const auto it = memo_->frames.find(sample.mediaStart); it != memo_->frames.end())
                source = it->second;
        }
        if (!source || source->size() != sample.data.size() ||
            size_t(DifSequenceCount(source->size()) * kDvSegmentsPerSequence) != touched->size())
            return reportError("Image source introuvable pour l'incrustation");
        for (size_t s = 0; s < touched->size(); ++s)
            if (!(*touched)[s]) CopyDvSegment(*source, sample.data, int(s));
        return Flow::Ok;
    }

private:
    std::shared_ptr<TouchedSegments> board_;
    std::shared_ptr<FrameMemo> memo_;
};

// Passes the DV muxer's output on unchanged and tells the DV splitter after it, before
// streaming, what audio the muxed frames will carry: the splitter reads that from a first
// frame, which no file holds yet.
class MuxOutputPeek : public graph::InPlaceTransformFilter, public graph::SamplePeeker {
public:
    // `notify` hears, when the run stops, why the muxer left a second audio stream out.
    explicit MuxOutputPeek(const std::function<void(const std::string&)>& notify)
        : InPlaceTransformFilter("DV mux output"), notify_(notify) {}

    void stopStreaming() override {
        const graph::Pin* muxOut = inputPin().connectedTo();
        const auto* muxer = muxOut ? dynamic_cast<const graph::DvMuxer*>(&muxOut->filter()) : nullptr;
        if (muxer && !muxer->droppedNotice().empty() && notify_) notify_(muxer->droppedNotice());
    }

    std::optional<std::vector<uint8_t>> peekFirstSample(const OutputPin&) override {
        const graph::Pin* muxOut = inputPin().connectedTo();
        if (!muxOut) return std::nullopt;
        const auto ins = muxOut->filter().inputs();
        if (ins.size() < 2 || !ins[0]->isConnected() || !ins[1]->isConnected()) return std::nullopt;
        const auto video = graph::VideoInfo::decode(ins[0]->connectionType().format);
        const auto wave = graph::WaveFormat::decode(ins[1]->connectionType().format);
        if (!video || !wave) return std::nullopt;
        try {
            DvFrameMaker maker(std::abs(video->height) == kDvHeight525, false);
            DvFramePacks packs;
            packs.audio = AudioInfo{int32_t(wave->samplesPerSec), int32_t(wave->channels), 16};
            std::vector<uint8_t> frame;
            maker.make(packs, 0, frame);
            return frame;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

protected:
    bool acceptsInput(const MediaType& type) override { return IsDvType(type); }
    bool modifiesData() const override { return false; }
    Flow transform(Sample&) override { return Flow::Ok; }

private:
    const std::function<void(const std::string&)>& notify_;
};

// The WAV writer that also gives the file its name once the header is in place: the file
// writer after it stops first, before the header is known.
class CommittingWaveDest : public WaveDestFilter {
public:
    void stopStreaming() override {
        WaveDestFilter::stopStreaming();
        graph::Pin* peer = outputPin().connectedTo();
        auto* writer = peer ? dynamic_cast<FileWriterFilter*>(&peer->filter()) : nullptr;
        if (!writer || writer->TemporaryName().empty()) return;
        if (!HeaderWritten()) {
            writer->Abandon();
            throw MediaError(writer->FileName(), HeaderError());
        }
        std::string error;
        if (!writer->Commit(error)) throw MediaError(writer->FileName(), error);
    }
};

MediaType FirstType(graph::AviSource& source, const OutputPin& pin) {
    const auto types = source.outputTypes(pin);
    return types.empty() ? MediaType{} : types.front();
}

int SystemOfFrame(const std::optional<std::vector<uint8_t>>& frame) {
    return frame && frame->size() == kDvFrameBytes525 ? 1 : 0;
}

}  // namespace

struct TCdm::Parts {
    explicit Parts(OverlayTextSettingsStore& texts)
        : overlayDetect(nullptr, &texts), headerDetect(nullptr, &texts) {}
    Tdv_sceneDetect overlayDetect;
    Tdv_sceneDetect headerDetect;
    std::shared_ptr<FrameMemo> memo = std::make_shared<FrameMemo>();
    std::shared_ptr<MemoFilter> memoFilter = std::make_shared<MemoFilter>(memo);
    std::shared_ptr<ReplayFilter> overlayReplay = std::make_shared<ReplayFilter>(overlayDetect, memo, false);
    std::shared_ptr<ReplayFilter> headerReplay = std::make_shared<ReplayFilter>(headerDetect, memo, true);
    std::shared_ptr<MuxOutputPeek> muxPeek;
    std::shared_ptr<TouchedSegments> touched = std::make_shared<TouchedSegments>();
    std::vector<std::pair<std::string, std::string>> info;
};

TCdm::TCdm(OverlayTextSettingsStore& texts)
    : SceneDetect(nullptr, &texts), texts_(texts), parts_(std::make_unique<Parts>(texts)) {
    graph::RegisterSystemFilters();
    parts_->muxPeek = std::make_shared<MuxOutputPeek>(OnNotice);
    sceneDetectFilter_ = std::make_shared<DvSceneDetectFilter>(SceneDetect);
    header_ = std::make_shared<DvHeaderFilter>(parts_->headerDetect);
    superposer_ = std::make_shared<SuperposerFilter>(parts_->overlayDetect, &texts);
    // The encoder follows the overlay: the decoder's planes go through without colour conversion.
    superposer_->TakePlanes(true);
    deinter_ = std::make_shared<DeinterlaceFilter>();
    deinter_->TakePlanes(true);
    deinter_->WorkOnLanes(true);
    waveDest_ = std::make_shared<CommittingWaveDest>();
    ResetGraph();
}

TCdm::~TCdm() {
    if (fg_) fg_->clear();
}

void TCdm::ResetGraph() {
    buildFailure_.clear();
    if (fg_) fg_->clear();
    fg_ = std::make_unique<graph::Graph>();
    source_ = std::make_shared<graph::AviSource>();
    avimux_ = std::make_shared<graph::AviMuxWriter>();
    destination_ = std::make_shared<FileWriterFilter>();
    dvsplitter_ = std::make_shared<graph::DvSplitter>();
    dvsplitter2_ = std::make_shared<graph::DvSplitter>();
    dvmuxer_ = std::make_shared<graph::DvMuxer>();
    acm1_ = std::make_shared<graph::AudioConverter>();
    acm2_ = std::make_shared<graph::AudioConverter>();
    dvdecoder_ = std::make_shared<graph::DvVideoDecoder>();
    dvenc_.reset();
    nullrender_ = std::make_shared<graph::NullRenderer>();
    infinite_ = std::make_shared<graph::InfiniteTee>();
    parts_->info.clear();
    superposer_->SpliceInto(nullptr);

    SceneDetect.OnSceneBreak = nullptr;
    SceneDetect.OnText = nullptr;
    SceneDetect.OnStop = nullptr;
    // A graph never shows the frame records of the file before.
    for (Tdv_sceneDetect* d : {&SceneDetect, &parts_->overlayDetect, &parts_->headerDetect}) {
        d->Current = d->Previous = d->SceneStart = d->LastFrame = TDVFrameInfo{};
        for (auto& entry : d->HeaderStore) entry.Stamp = -1;
    }
    Tdv_DVheader& h = header_->Header;
    h.RestoreHeaders = true;
    h.SetShift(0);
    h.InsertDatecode = false;
    h.SetAspect = false;
}

bool TCdm::add(const std::shared_ptr<graph::Filter>& filter, const std::string& name) {
    if (filter->graph() == fg_.get()) return true;
    return fg_->addFilter(filter, name.empty() ? filter->name() : name);
}

bool TCdm::connect(OutputPin* from, InputPin* to) {
    return from && to && !from->isConnected() && !to->isConnected() && fg_->connect(*from, *to);
}

std::vector<OutputPin*> TCdm::splitterOutputs() const {
    return source_->outputs();
}

InputPin* TCdm::nextAviMuxInput() const {
    for (InputPin* in : avimux_->inputs())
        if (!in->isConnected()) return in;
    return nullptr;
}

InputPin* TCdm::nextMuxerAudioInput() const {
    const auto ins = dvmuxer_->inputs();
    for (size_t i = 1; i < ins.size(); ++i)
        if (!ins[i]->isConnected()) return ins[i];
    return nullptr;
}

bool TCdm::beginConversion(const std::string& source, const std::string& destination) {
    CurrentDestination = destination;
    source_->load(source);
    if (!add(source_, "source")) return false;
    avimux_->setFileName(destination, true);
    return add(avimux_, "avimux");
}

// A rate conversion repeats or drops frames to keep the running time, so it needs a frame
// duration it can trust. Without one (0) every frame would start at time 0 and all but one be
// dropped; with an impossible one, each frame would be repeated without end.
bool TCdm::sourceRateUsable() {
    const int64_t duration = source_->frameDuration();
    if (IsPossibleFrameDuration(duration)) return true;
    if (duration <= 0)
        buildFailure_ = "Cadence d'images absente ou nulle dans l'en-tête du fichier";
    else if (duration < kShortestFrameDuration)
        buildFailure_ =
            "Cadence d'images impossible dans l'en-tête du fichier (plus de 1000 images par seconde)";
    else
        buildFailure_ = "Cadence d'images impossible dans l'en-tête du fichier (une image toutes les " +
                        std::to_string(duration / kUnitsPerSecond) + " s)";
    return false;
}

graph::Graph* TCdm::failed(const std::string& reason) {
    if (!reason.empty() || buildFailure_.empty()) buildFailure_ = reason;
    if (buildFailure_.empty() && fg_) buildFailure_ = fg_->lastError();
    if (buildFailure_.empty()) buildFailure_ = "Le graphe de conversion n'a pas pu être construit.";
    return nullptr;
}

graph::Graph* TCdm::finish(bool ok) {
    if (!ok) return failed();
    if (!parts_->info.empty()) avimux_->setInfo(parts_->info);
    return fg_.get();
}

bool TCdm::connectVideoChain(OutputPin* dvVideo, bool overlay, int sourceSystem, int targetSystem) {
    OutputPin* out = dvVideo;
    const bool convert = sourceSystem != targetSystem;
    const bool to525 = targetSystem != 0;
    if (convert) {
        if (!sourceRateUsable()) return false;
        auto rate = std::make_shared<FrameRateFilter>(to525);
        if (!add(rate) || !connect(out, rate->input())) return false;
        out = rate->output();
    }
    dvenc_ = std::make_shared<graph::DvVideoEncoder>();
    parts_->overlayReplay->setMemo(parts_->memo, false);
    parts_->headerReplay->setMemo(parts_->memo, true);
    const auto step = [&](const std::shared_ptr<graph::Filter>& f, const std::string& name = {}) {
        if (!add(f, name) || !connect(out, f->input())) return false;
        out = f->output();
        return true;
    };
    if (!step(sceneDetectFilter_, "dv_SceneDetect") || !step(parts_->memoFilter) || !step(dvdecoder_))
        return false;
    if (overlay) {
        if (!step(parts_->overlayReplay) || !step(superposer_, "dv_Superposer")) return false;
    } else if (!step(deinter_, "dv_Deinter")) {
        return false;
    }
    if (convert &&
        !step(std::make_shared<PictureScaler>(kDvWidth, to525 ? kDvHeight525 : kDvHeight625, !overlay)))
        return false;
    if (!step(dvenc_)) return false;
    // Only the segments under the text are encoded anew when the overlay hands the planes on.
    if (overlay && !convert && IsDvPlanesType(superposer_->outputPin().connectionType())) {
        if (!step(std::make_shared<SegmentSpliceFilter>(parts_->touched, parts_->memo))) return false;
        superposer_->SpliceInto(parts_->touched);
        dvenc_->codeOnlyTouched(parts_->touched);
    }
    if (!step(parts_->headerReplay) || !step(header_, "dv_DVHeader")) return false;
    return connect(out, dvmuxer_->input(0));
}

bool TCdm::connectMuxerToAviMux() {
    return add(parts_->muxPeek) && connect(dvmuxer_->outputs().back(), parts_->muxPeek->input()) &&
           connect(parts_->muxPeek->output(), nextAviMuxInput());
}

bool TCdm::connectAudioToMuxer(OutputPin* audio, int index) {
    const auto& acm = index == 0 ? acm1_ : acm2_;
    if (!add(acm, index == 0 ? "acm1" : "acm2")) return false;
    if (!connect(audio, acm->input())) return false;
    if (connect(acm->output(), nextMuxerAudioInput())) return true;
    fg_->disconnect(*acm->input());
    return false;
}

graph::Graph* TCdm::BuildStandardGraph(const std::string& source, const std::string& destination,
                                       TVideoStandard target, int dvType) {
    return buildVideoChainGraph(source, destination, dvType, false, std::nullopt,
                                target == TVideoStandard::Ntsc ? 1 : 0);
}

graph::Graph* TCdm::BuildOverlayGraph(const std::string& source, const std::string& destination,
                                      int videoSystem, int dvType) {
    const int system = videoSystem == 0 ? 0 : 1;
    return buildVideoChainGraph(source, destination, dvType, true, system, system);
}

// The DV video goes through the video chain into the DV muxer with the file's sound. A type 2
// destination has the muxed frames split again into video and sound; a type 1 destination takes
// them as they are. Without `sourceSystem`, the system is read from the first frame.
graph::Graph* TCdm::buildVideoChainGraph(const std::string& source, const std::string& destination,
                                         int dvType, bool overlay, std::optional<int> sourceSystem,
                                         int targetSystem) {
    try {
        ResetGraph();
        if (!beginConversion(source, destination)) return failed();
        const auto outs = splitterOutputs();
        if (outs.empty()) return failed();
        if (!add(dvmuxer_, "dvmuxer")) return failed();
        if (dvType == 2) {
            size_t video = outs.size();
            for (size_t i = 0; i < outs.size(); ++i) {
                if (!IsDvType(FirstType(*source_, *outs[i]))) continue;
                const int system =
                    sourceSystem ? *sourceSystem : SystemOfFrame(source_->peekFirstSample(*outs[i]));
                if (!connectVideoChain(outs[i], overlay, system, targetSystem)) return failed();
                video = i;
                break;
            }
            if (video == outs.size()) return failed();
            int audio = 0;
            for (size_t i = video + 1; i < outs.size() && audio < 2; ++i)
                if (connectAudioToMuxer(outs[i], audio)) ++audio;
            if (!add(parts_->muxPeek) || !connect(dvmuxer_->outputs().back(), parts_->muxPeek->input()))
                return failed();
            const auto& splitter = overlay ? dvsplitter2_ : dvsplitter_;
            if (!add(splitter, overlay ? "dvsplitter2" : "dvsplitter") ||
                !connect(parts_->muxPeek->output(), splitter->input()))
                return failed();
            for (OutputPin* o : splitter->outputs()) connect(o, nextAviMuxInput());
            return finish(splitter->output(0)->isConnected());
        }
        if (!add(dvsplitter_, "dvsplitter")) return failed();
        bool split = false;
        for (OutputPin* o : outs)
            if ((split = connect(o, dvsplitter_->input()))) break;
        if (!split) return failed();
        const int system =
            sourceSystem ? *sourceSystem : SystemOfFrame(graph::PeekUpstream(*dvsplitter_->input()));
        const auto parts = dvsplitter_->outputs();
        if (!connectVideoChain(parts[0], overlay, system, targetSystem)) return failed();
        for (size_t i = 1; i < parts.size(); ++i) connect(parts[i], nextMuxerAudioInput());
        return finish(connectMuxerToAviMux());
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

graph::Graph* TCdm::BuildHeaderGraph(const std::string& source, const std::string& destination) {
    try {
        ResetGraph();
        if (!beginConversion(source, destination)) return failed();
        parts_->headerReplay->setMemo(nullptr, false);
        if (!add(parts_->headerReplay) || !add(header_, "dv_DVHeader")) return failed();
        const auto outs = splitterOutputs();
        size_t video = outs.size();
        for (size_t i = 0; i < outs.size(); ++i)
            if (connect(outs[i], parts_->headerReplay->input())) {
                video = i;
                break;
            }
        if (video == outs.size() || !connect(parts_->headerReplay->output(), header_->input()) ||
            !connect(header_->output(), nextAviMuxInput()))
            return failed();
        int audio = 0;
        for (size_t i = video + 1; i < outs.size() && audio < 2; ++i) {
            const auto& acm = audio == 0 ? acm1_ : acm2_;
            if (!add(acm, audio == 0 ? "acm1" : "acm2") || !connect(outs[i], acm->input())) continue;
            if (connect(acm->output(), nextAviMuxInput()))
                ++audio;
            else
                fg_->disconnect(*acm->input());
        }
        return finish(true);
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

graph::Graph* TCdm::BuildFixType2Graph(const std::string& source, const std::string& destination) {
    try {
        ResetGraph();
        if (!beginConversion(source, destination)) return failed();
        const auto outs = splitterOutputs();
        if (outs.size() < 2) return failed();
        for (size_t k = 0; k < 2; ++k) {
            InputPin* in = nextAviMuxInput();
            if (!in || outs[k]->isConnected()) return failed();
            if (fg_->connect(*outs[k], *in, MediaType(MajorType::Video))) continue;
            if (fg_->connect(*outs[k], *in, MediaType(MajorType::Audio))) continue;
            if (!add(dvsplitter_, "dvsplitter") ||
                !fg_->connect(*outs[k], *dvsplitter_->input(), MediaType(MajorType::Interleaved)) ||
                !connect(dvsplitter_->output(0), in))
                return failed();
        }
        return finish(true);
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

graph::Graph* TCdm::BuildType1Graph(const std::string& source, const std::string& destination) {
    try {
        ResetGraph();
        if (!beginConversion(source, destination)) return failed();
        if (!add(dvmuxer_, "dvmuxer")) return failed();
        const auto outs = splitterOutputs();
        size_t video = outs.size();
        for (size_t i = 0; i < outs.size() && video == outs.size(); ++i) {
            if (connect(outs[i], dvmuxer_->input(0))) {
                video = i;
            } else if (add(dvsplitter_, "dvsplitter") && connect(outs[i], dvsplitter_->input())) {
                if (connect(dvsplitter_->output(0), dvmuxer_->input(0)))
                    video = i;
                else
                    fg_->disconnect(*dvsplitter_->input());
            }
        }
        if (video == outs.size()) return failed();
        int audio = 0;
        for (size_t i = 0; i < outs.size() && audio < 2; ++i)
            if (i != video && connectAudioToMuxer(outs[i], audio)) ++audio;
        return finish(connectMuxerToAviMux());
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

graph::Graph* TCdm::BuildType2Graph(const std::string& source, const std::string& destination) {
    try {
        ResetGraph();
        if (!beginConversion(source, destination)) return failed();
        const auto outs = splitterOutputs();
        if (outs.empty() || !add(dvsplitter_, "dvsplitter") || !connect(outs[0], dvsplitter_->input()))
            return failed();
        int acms = 0;
        for (OutputPin* o : dvsplitter_->outputs()) {
            if (acms < 2) {
                const auto& acm = acms == 0 ? acm1_ : acm2_;
                if (add(acm, acms == 0 ? "acm1" : "acm2") && connect(o, acm->input())) {
                    ++acms;
                    if (!connect(acm->output(), nextAviMuxInput())) fg_->disconnect(*acm->input());
                    continue;
                }
            }
            connect(o, nextAviMuxInput());
        }
        return finish(dvsplitter_->output(0)->isConnected());
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

graph::Graph* TCdm::BuildRecompressGraph(const std::string& source, const std::string& destination) {
    try {
        ResetGraph();
        if (!beginConversion(source, destination)) return failed();
        const bool to525 = Recompress.Standard == TVideoStandard::Ntsc;
        dvenc_ = std::make_shared<graph::DvVideoEncoder>(Recompress.Wide);
        auto scaler = std::make_shared<PictureScaler>(kDvWidth, to525 ? kDvHeight525 : kDvHeight625);
        if (!sourceRateUsable()) return failed();
        auto rate = std::make_shared<FrameRateFilter>(to525);
        if (!add(scaler) || !add(rate) || !add(dvenc_) || !add(dvmuxer_, "dvmuxer")) return failed();
        const auto outs = splitterOutputs();
        size_t video = outs.size();
        for (size_t i = 0; i < outs.size() && video == outs.size(); ++i) {
            if (FirstType(*source_, *outs[i]).major != MajorType::Video) continue;
            if (fg_->render(*outs[i], *scaler)) video = i;
        }
        if (video == outs.size()) return failed();
        if (!connect(scaler->output(), rate->input()) || !connect(rate->output(), dvenc_->input()))
            return failed();
        Tdv_DVheader& h = header_->Header;
        h.SetAspect = true;
        h.Wide = Recompress.Wide;
        h.RestoreHeaders = false;
        if (!add(header_, "dv_DVHeader") || !connect(dvenc_->output(), header_->input()) ||
            !connect(header_->output(), dvmuxer_->input(0)))
            return failed();
        int audio = 0;
        for (size_t i = 0; i < outs.size() && audio < 2; ++i) {
            if (i == video || FirstType(*source_, *outs[i]).major != MajorType::Audio) continue;
            const auto& acm = audio == 0 ? acm1_ : acm2_;
            acm->setOutputFormat(Recompress.AudioRate, 2);
            if (!add(acm, audio == 0 ? "acm1" : "acm2") || !fg_->render(*outs[i], *acm)) continue;
            if (connect(acm->output(), nextMuxerAudioInput()))
                ++audio;
            else
                fg_->disconnect(*acm->input());
        }
        if (!add(parts_->muxPeek) || !connect(dvmuxer_->outputs().back(), parts_->muxPeek->input()) ||
            !add(dvsplitter_, "dvsplitter") || !connect(parts_->muxPeek->output(), dvsplitter_->input()))
            return failed();
        for (OutputPin* o : dvsplitter_->outputs()) connect(o, nextAviMuxInput());
        return finish(dvsplitter_->output(0)->isConnected());
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

graph::Graph* TCdm::BuildAudioGraph(const std::string& source, const std::string& destination) {
    try {
        ResetGraph();
        CurrentDestination = destination;
        source_->load(source);
        if (!add(source_, "source") || !add(nullrender_, "nullrender")) return failed();
        OutputPin* videoPin = nullptr;
        OutputPin* audioPin = nullptr;
        const auto probe = [&](OutputPin* o) -> MajorType {
            if (!connect(o, nullrender_->input())) return MajorType::Any;
            const MajorType major = o->connectionType().major;
            fg_->disconnect(*o);
            return major;
        };
        for (OutputPin* o : splitterOutputs()) {
            const MajorType major = probe(o);
            if (major == MajorType::Video && !videoPin) videoPin = o;
            if (major == MajorType::Audio && !audioPin) audioPin = o;
            if (major == MajorType::Interleaved && !videoPin && add(dvsplitter_, "dvsplitter") &&
                connect(o, dvsplitter_->input())) {
                for (OutputPin* p : dvsplitter_->outputs()) {
                    const MajorType m = probe(p);
                    if (m == MajorType::Video && !videoPin) videoPin = p;
                    if (m == MajorType::Audio && !audioPin) audioPin = p;
                }
            }
        }
        if (!audioPin) return failed();
        if (!add(waveDest_, "dv_WaveDest") || !add(destination_, "destination")) return failed();
        destination_->SetFileName(destination);
        if (videoPin) {
            if (!connect(videoPin, nullrender_->input())) return failed();
            const bool viaAcm = add(acm1_, "acm1") && connect(audioPin, acm1_->input()) &&
                                connect(acm1_->output(), waveDest_->input());
            if (!viaAcm) {
                if (acm1_->input()->isConnected()) fg_->disconnect(*acm1_->input());
                if (!connect(audioPin, waveDest_->input())) return failed();
            }
        } else {
            if (!add(infinite_, "infinite") || !connect(audioPin, infinite_->input()) ||
                !connect(infinite_->outputs().back(), waveDest_->input()) ||
                !connect(infinite_->outputs().back(), nullrender_->input()))
                return failed();
        }
        return finish(connect(waveDest_->output(), destination_->input()));
    } catch (const std::exception& e) {
        return failed(e.what());
    }
}

bool TCdm::SetAudioOutputRate(graph::AudioConverter* converter, uint32_t rate) {
    if (!converter || converter->graph() != fg_.get()) return false;
    OutputPin* out = converter->output();
    const auto current = graph::WaveFormat::decode(out->connectionType().format);
    if (!converter->setOutputFormat(rate, current ? current->channels : 0)) return false;
    graph::Pin* peer = out->connectedTo();
    if (!peer) return true;
    auto* in = static_cast<InputPin*>(peer);
    fg_->disconnect(*out);
    return fg_->connect(*out, *in);
}

bool TCdm::WriteMediaProperty(const std::string& name, const std::string& value) {
    const std::string prefix = "INFO/";
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 4) return false;
    parts_->info.emplace_back(name.substr(prefix.size()), value);
    avimux_->setInfo(parts_->info);
    return true;
}

std::string TCdm::DroppedAudioNotice() const {
    return dvmuxer_ ? dvmuxer_->droppedNotice() : std::string();
}

}  // namespace velinor
