#include "graph/av_video_decoder.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace velinor::graph {

namespace {

constexpr int kMaxSide = 16384;

AVCodecID CodecFor(uint32_t fourcc) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_id(tables, fourcc);
}

std::optional<VideoInfo> DecodableInput(const MediaType& type) {
    if (type.major != MajorType::Video) return std::nullopt;
    if (type.subtype == kSubtypeDvsd || type.subtype == kSubtypeRgb24 || type.subtype == kSubtypeRgb32)
        return std::nullopt;
    const auto info = VideoInfo::decode(type.format);
    if (!info || info->width <= 0 || info->width > kMaxSide || info->height == 0 ||
        std::abs(info->height) > kMaxSide)
        return std::nullopt;
    if (!AvVideoDecoder::CanDecode(type.subtype)) return std::nullopt;
    return info;
}

}  // namespace

struct AvVideoDecoder::Impl {
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* sws = nullptr;
    int width = 0;
    int height = 0;
    ~Impl() {
        avcodec_free_context(&codec);
        av_packet_free(&packet);
        av_frame_free(&frame);
        sws_freeContext(sws);
    }
};

AvVideoDecoder::AvVideoDecoder() : TransformFilter("AVI Decompressor") {}

AvVideoDecoder::~AvVideoDecoder() = default;

bool AvVideoDecoder::CanDecode(uint32_t fourcc) {
    const AVCodecID id = CodecFor(fourcc);
    return id != AV_CODEC_ID_NONE && avcodec_find_decoder(id) != nullptr;
}

bool AvVideoDecoder::acceptsInput(const MediaType& type) {
    return DecodableInput(type).has_value();
}

std::vector<MediaType> AvVideoDecoder::outputTypesFor(const MediaType& input) {
    const auto in = DecodableInput(input);
    if (!in) return {};
    VideoInfo out;
    out.avgTimePerFrame = in->avgTimePerFrame;
    out.width = in->width;
    out.height = std::abs(in->height);
    out.bitCount = 24;
    out.imageSize = uint32_t(out.stride()) * uint32_t(out.height);
    return {VideoType(kSubtypeRgb24, out)};
}

bool AvVideoDecoder::startStreaming(std::string& error) {
    const MediaType& type = inputPin().connectionType();
    const auto in = DecodableInput(type);
    const AVCodec* decoder = in ? avcodec_find_decoder(CodecFor(type.subtype)) : nullptr;
    if (!decoder) {
        error = "Aucun décodeur pour le codec " + FourCCText(type.subtype);
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->codec = avcodec_alloc_context3(decoder);
    impl->packet = av_packet_alloc();
    impl->frame = av_frame_alloc();
    if (!impl->codec || !impl->packet || !impl->frame) {
        error = "Mémoire insuffisante pour le décodeur";
        return false;
    }
    impl->width = in->width;
    impl->height = std::abs(in->height);
    impl->codec->width = impl->width;
    impl->codec->height = impl->height;
    impl->codec->codec_tag = type.subtype;
    impl->codec->thread_count = 0;  // as many as the codec likes
    // The bitmap header's tail (after its 40 bytes, at 88 in the format) is the codec's own setup.
    constexpr size_t kTail = 48 + 40;
    if (type.format.size() > kTail) {
        const size_t n = type.format.size() - kTail;
        impl->codec->extradata = static_cast<uint8_t*>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
        if (impl->codec->extradata) {
            std::memcpy(impl->codec->extradata, type.format.data() + kTail, n);
            impl->codec->extradata_size = int(n);
        }
    }
    if (avcodec_open2(impl->codec, decoder, nullptr) < 0) {
        error = "Le décodeur " + std::string(decoder->name) + " refuse ce flux";
        return false;
    }
    impl_ = std::move(impl);
    pending_.clear();
    nextPts_ = 0;
    dropped_ = 0;
    return true;
}

void AvVideoDecoder::stopStreaming() {
    impl_.reset();
    pending_.clear();
}

Flow AvVideoDecoder::receiveFrames() {
    for (;;) {
        AVFrame* f = impl_->frame;
        const int got = avcodec_receive_frame(impl_->codec, f);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return Flow::Ok;
        if (got < 0) {
            ++dropped_;
            return Flow::Ok;
        }
        const int64_t pts = f->best_effort_timestamp;
        auto out = std::make_shared<Sample>();
        auto found = pending_.find(pts);
        if (found == pending_.end() && !pending_.empty()) found = pending_.begin();
        if (found != pending_.end()) {
            CopySampleProperties(found->second, *out);
            pending_.erase(pending_.begin(), std::next(found));
        }
        if (f->width != impl_->width || f->height != impl_->height) {
            ++dropped_;
            av_frame_unref(f);
            continue;
        }
        // The JPEG formats are the plain ones at full range; naming them so keeps the scaler quiet.
        AVPixelFormat format = AVPixelFormat(f->format);
        bool fullRange = f->color_range == AVCOL_RANGE_JPEG;
        switch (format) {
            case AV_PIX_FMT_YUVJ420P:
                format = AV_PIX_FMT_YUV420P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ422P:
                format = AV_PIX_FMT_YUV422P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ444P:
                format = AV_PIX_FMT_YUV444P;
                fullRange = true;
                break;
            default:
                break;
        }
        impl_->sws = sws_getCachedContext(impl_->sws, f->width, f->height, format, f->width, f->height,
                                          AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!impl_->sws) {
            av_frame_unref(f);
            return reportError("Conversion d'image impossible");
        }
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(impl_->sws, coefficients, fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16,
                                 1 << 16);
        const size_t stride = (size_t(f->width) * 3 + 3) & ~size_t{3};
        out->data.assign(stride * size_t(f->height), 0);
        // Rows bottom-up: the picture's top row goes last in memory.
        uint8_t* dst[1] = {out->data.data() + stride * size_t(f->height - 1)};
        const int dstStride[1] = {-int(stride)};
        sws_scale(impl_->sws, f->data, f->linesize, 0, f->height, dst, dstStride);
        av_frame_unref(f);
        const Flow flow = outputPin().deliver(out);
        if (flow != Flow::Ok) return flow;
    }
}

Flow AvVideoDecoder::receive(InputPin&, const SamplePtr& sample) {
    if (!impl_) return reportError("Décodeur non démarré");
    if (sample->data.empty()) return Flow::Ok;  // a dropped frame in the file
    AVPacket* p = impl_->packet;
    if (av_new_packet(p, int(sample->data.size())) < 0) return reportError("Mémoire insuffisante");
    std::memcpy(p->data, sample->data.data(), sample->data.size());
    const int64_t pts = sample->hasMediaTime ? sample->mediaStart : nextPts_;
    nextPts_ = pts + 1;
    p->pts = p->dts = pts;
    if (sample->syncPoint) p->flags |= AV_PKT_FLAG_KEY;
    Sample props;
    CopySampleProperties(*sample, props);
    pending_[pts] = std::move(props);
    const int sent = avcodec_send_packet(impl_->codec, p);
    av_packet_unref(p);
    if (sent < 0) {
        ++dropped_;
        pending_.erase(pts);
        return Flow::Ok;
    }
    return receiveFrames();
}

void AvVideoDecoder::endOfStream(InputPin&) {
    if (impl_) {
        avcodec_send_packet(impl_->codec, nullptr);
        if (receiveFrames() != Flow::Ok) return;
    }
    outputPin().deliverEndOfStream();
}

void AvVideoDecoder::newSegment(InputPin&, int64_t start, std::optional<int64_t> stop) {
    if (impl_) avcodec_flush_buffers(impl_->codec);
    pending_.clear();
    outputPin().deliverNewSegment(start, stop);
}

Flow AvVideoDecoder::transform(const Sample&, Sample&) {
    return Flow::Ok;  // samples go through receive(), with the codec's delay
}

}  // namespace velinor::graph
