#include "graph/avi_source.h"

#include <algorithm>
#include <cstdio>

#include "media/avi_demuxer.h"
#include "media/media_error.h"

namespace velinor::graph {

namespace {

constexpr size_t kBiCompression = 64;  // in VIDEOINFOHEADER: bitmap header at 48, biCompression at +16

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// `videoAsDvsd`: the stream is taken as DV whatever code it declares (the retry of a file
// nothing else reads), the format then says "dvsd" too. `dvFamily`: it is declared under one of
// the DV codes over DV frames; the graph carries it as "dvsd", as the DV decoder and the DV
// filters expect, and the format keeps the declared code for whoever shows it.
std::optional<MediaType> TypeOfStream(const AviStreamInfo& info, bool videoAsDvsd, bool dvFamily) {
    std::vector<uint8_t> format = info.MediaFormat();
    switch (info.Kind) {
        case AviStreamKind::Video: {
            if (format.size() < VideoInfo::kBytes) return std::nullopt;
            // The subtype is the bitmap's compression, as splitters report it; the stream
            // header's handler stands in when the bitmap leaves it 0.
            uint32_t subtype = Le32(format, kBiCompression);
            if (subtype == 0) subtype = info.Handler;
            if (videoAsDvsd) {
                subtype = kSubtypeDvsd;
                Put32(format, kBiCompression, kSubtypeDvsd);
            }
            if (dvFamily) subtype = kSubtypeDvsd;
            if (subtype == 0) subtype = kSubtypeRgb24;  // BI_RGB
            return MediaType(MajorType::Video, subtype, std::move(format));
        }
        case AviStreamKind::Audio: {
            const uint16_t tag = uint16_t(format[0] | format[1] << 8);
            return MediaType(MajorType::Audio, tag, std::move(format));
        }
        case AviStreamKind::Interleaved:
            return MediaType(MajorType::Interleaved, kSubtypeDvsd, std::move(format));
        case AviStreamKind::Other:
            break;
    }
    return std::nullopt;
}

}  // namespace

AviSource::AviSource() : SourceFilter("AVI Splitter") {}

AviSource::~AviSource() = default;

void AviSource::load(const std::string& path, bool videoAsDvsd) {
    if (demuxer_) throw MediaError(path, "un fichier est déjà chargé");
    auto demuxer = std::make_unique<AviDemuxer>(path);
    const auto& streams = demuxer->streams();
    for (size_t i = 0; i < streams.size(); ++i) {
        const bool isVideo = int(i) == demuxer->VideoStream();
        auto type = TypeOfStream(streams[i], videoAsDvsd && isVideo, demuxer->IsDvStream(int(i)));
        if (!type || streams[i].SampleCount <= 0) continue;
        Output out;
        char name[32];
        std::snprintf(name, sizeof name, "Stream %02zu", i);
        out.pin = &addOutput(name);
        out.stream = int(i);
        out.type = std::move(*type);
        out.end = streams[i].SampleCount;
        if (leader_ < 0 &&
            (streams[i].Kind == AviStreamKind::Video || streams[i].Kind == AviStreamKind::Interleaved))
            leader_ = int(outputs_.size());
        outputs_.push_back(std::move(out));
    }
    demuxer_ = std::move(demuxer);
}

int64_t AviSource::duration() const {
    if (!demuxer_) return 0;
    // A video stream without a usable rate has no duration; the sound then gives the file's.
    if (leader_ >= 0)
        if (const int64_t d = demuxer_->streams()[size_t(outputs_[size_t(leader_)].stream)].Duration100ns;
            d > 0)
            return d;
    int64_t longest = 0;
    for (const auto& out : outputs_)
        longest = std::max(longest, demuxer_->streams()[size_t(out.stream)].Duration100ns);
    return longest;
}

int64_t AviSource::frameDuration() const {
    if (!demuxer_ || leader_ < 0) return 0;
    return demuxer_->streams()[size_t(outputs_[size_t(leader_)].stream)].TickDuration100ns();
}

std::vector<MediaType> AviSource::outputTypes(const OutputPin& pin) {
    for (const auto& out : outputs_)
        if (out.pin == &pin) return {out.type};
    return {};
}

std::optional<std::vector<uint8_t>> AviSource::peekFirstSample(const OutputPin& pin) {
    for (const auto& out : outputs_) {
        if (out.pin != &pin) continue;
        const auto& samples = demuxer_->samples(out.stream);
        std::vector<uint8_t> data;
        for (size_t n = 0; n < samples.size() && n < 16; ++n)
            if (samples[n].Size > 0 && demuxer_->Read(out.stream, int64_t(n), data)) return data;
    }
    return std::nullopt;
}

int64_t AviSource::sampleStart(const Output& out, int64_t n) const {
    const auto& samples = demuxer_->samples(out.stream);
    return demuxer_->TickTime100ns(out.stream, samples[size_t(n)].Start);
}

void AviSource::seek(int64_t start, std::optional<int64_t> stop) {
    if (!demuxer_) throw MediaError(name(), "aucun fichier chargé");
    for (auto& out : outputs_) {
        const int64_t count = int64_t(demuxer_->samples(out.stream).size());
        // Frames are found to the nearest half frame, so that a position computed from a
        // rounded frame duration still lands on its frame.
        const int64_t slack = out.type.major == MajorType::Audio
                                  ? 0
                                  : demuxer_->streams()[size_t(out.stream)].TickDuration100ns() / 2;
        auto firstAfter = [&](int64_t time) {  // first sample starting after `time`
            int64_t lo = 0, hi = count;
            while (lo < hi) {
                const int64_t mid = lo + (hi - lo) / 2;
                if (sampleStart(out, mid) <= time)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo;
        };
        out.next = std::max<int64_t>(0, firstAfter(start + slack) - 1);
        out.end = stop ? firstAfter(*stop - slack - 1) : count;
        out.end = std::max(out.end, out.next);
        out.ended = false;
    }
}

bool AviSource::startStreaming(std::string&) {
    for (auto& out : outputs_) {
        out.use = out.pin->peerUse();
        out.partial.clear();
    }
    return true;
}

Flow AviSource::deliverSample(Output& out) {
    const auto& samples = demuxer_->samples(out.stream);
    const int64_t n = out.next++;
    SamplePtr sample;
    bool read = true;
    switch (out.use) {
        case SampleUse::TimesOnly:
            sample = std::make_shared<Sample>();
            break;
        case SampleUse::DifAudioBlocks:
            // A frame of which only the audio blocks are read goes into the buffer of an earlier
            // one that nobody holds any more: its other bytes were never written, so no
            // frame-sized buffer is cleared or filled per frame.
            sample = out.partial.take();
            CopySampleProperties(Sample{}, *sample);
            read = demuxer_->ReadDifAudioBlocks(out.stream, n, sample->data);
            break;
        case SampleUse::Whole:
            sample = std::make_shared<Sample>();
            read = demuxer_->Read(out.stream, n, sample->data);
            break;
    }
    if (!read)
        throw MediaError(demuxer_->path(), "lecture impossible de l'échantillon " + std::to_string(n),
                         samples[size_t(n)].Offset);
    const AviStreamInfo& info = demuxer_->streams()[size_t(out.stream)];
    const int64_t tick = samples[size_t(n)].Start;
    int64_t nextTick = tick + 1;
    if (size_t(n) + 1 < samples.size())
        nextTick = samples[size_t(n) + 1].Start;
    else if (info.SampleSize > 0)
        nextTick = tick + samples[size_t(n)].Size / info.SampleSize;
    sample->hasTime = true;
    sample->start = demuxer_->TickTime100ns(out.stream, tick);
    sample->stop = demuxer_->TickTime100ns(out.stream, nextTick);
    sample->hasMediaTime = true;
    sample->mediaStart = tick;
    sample->mediaStop = nextTick;
    sample->syncPoint = samples[size_t(n)].Keyframe;
    return deliver(*out.pin, sample);
}

Flow AviSource::produce() {
    // The earliest pending sample goes first; at equal times the pacing stream leads, so each
    // frame precedes the audio that plays with it.
    Output* chosen = nullptr;
    int64_t chosenStart = 0;
    for (size_t i = 0; i < outputs_.size(); ++i) {
        Output& out = outputs_[i];
        if (out.ended) continue;
        if (out.next >= out.end) {
            out.ended = true;
            out.pin->deliverEndOfStream();
            continue;
        }
        const int64_t start = sampleStart(out, out.next);
        const bool leads = int(i) == leader_;
        if (!chosen || start < chosenStart || (start == chosenStart && leads)) {
            chosen = &out;
            chosenStart = start;
        }
    }
    if (!chosen) return Flow::EndOfStream;
    return deliverSample(*chosen);
}

}  // namespace velinor::graph
