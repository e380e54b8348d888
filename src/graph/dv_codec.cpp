#include "graph/dv_codec.h"

#include <cstring>
#include <string>

#include "graph/dv_segments.h"
#include "media/dvcodes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace velinor {

namespace {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Sub-sampling of consumer DV: 4:2:0 for 625/50, 4:1:1 for 525/60 (4:1:1 at 625 lines would be
// DVCPRO, which the camcorders do not write).
AVPixelFormat dvPixelFormat(bool is525) {
    return is525 ? AV_PIX_FMT_YUV411P : AV_PIX_FMT_YUV420P;
}

// Pixel aspect ratios of a 720-wide picture shown at 4:3 or 16:9 (ITU-R BT.601).
AVRational dvSampleAspect(bool is525, bool wide) {
    if (is525) return wide ? AVRational{32, 27} : AVRational{8, 9};
    return wide ? AVRational{64, 45} : AVRational{16, 15};
}

// Pictures only change sub-sampling between BGR and DV's planes, never size. Bilinear filtering
// keeps 4:1:1 chroma smooth and averages it properly when sub-sampling, at a fraction of the
// bicubic cost; 4:2:0 to and from BGR takes libswscale's unscaled converters whatever the flags.
constexpr int kSwsFlags = SWS_BILINEAR;

// Copies `rows` rows of `width` bytes between buffers of different strides.
void CopyPlane(uint8_t* to, size_t toStride, const uint8_t* from, size_t fromStride, size_t width, int rows) {
    for (int y = 0; y < rows; ++y, to += toStride, from += fromStride) std::memcpy(to, from, width);
}

// The first VAUX block of each DIF sequence; its packs start at byte 3.
constexpr size_t kVauxBlock = 3;
constexpr uint8_t kPackVauxSource = 0x60;

// The codec's per-segment work goes through the context's execute hook, one call per video
// segment of the frame. This one runs them on the calling thread and leaves out the segments the
// current frame does not need, once it has checked that the codec's work items are the frame's
// segments in order: each item starts with the segment's position in DIF blocks.
struct SegmentChoice {
    const std::vector<uint8_t>* only = nullptr;
    int itemsChecked = 0;  // 0 not yet, 1 the frame's segments, -1 something else
};

bool ItemsAreSegments(const void* items, int count, int size) {
    if (size < int(sizeof(uint16_t)) || count % kDvSegmentsPerSequence != 0) return false;
    for (int i = 0; i < count; ++i) {
        uint16_t block = 0;
        std::memcpy(&block, static_cast<const char*>(items) + size_t(i) * size_t(size), sizeof block);
        if (size_t(block) * kDifBlockBytes != DvSegmentBlockOffset(i, 0)) return false;
    }
    return true;
}

int RunChosenSegments(AVCodecContext* c, int (*work)(AVCodecContext*, void*), void* items, int* results,
                      int count, int size) {
    auto* choice = static_cast<SegmentChoice*>(c->opaque);
    const std::vector<uint8_t>* only = choice ? choice->only : nullptr;
    if (only && choice->itemsChecked == 0)
        choice->itemsChecked = ItemsAreSegments(items, count, size) ? 1 : -1;
    const bool choose = only && choice->itemsChecked == 1 && only->size() == size_t(count);
    for (int i = 0; i < count; ++i) {
        const bool run = !choose || (*only)[size_t(i)] != 0;
        const int r = run ? work(c, static_cast<char*>(items) + size_t(i) * size_t(size)) : 0;
        if (results) results[i] = r;
    }
    return 0;
}

}  // namespace

struct DvEncoder::Impl {
    CodecContextPtr codec;
    FramePtr yuv;       // the codec's planes, filled from BGR pictures
    FramePtr borrowed;  // the caller's planes, read where they are
    PacketPtr packet;
    SwsPtr sws;
    SegmentChoice segments;
};

DvEncoder::DvEncoder(bool is525, bool wide) : impl_(std::make_unique<Impl>()), is525_(is525), wide_(wide) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVVIDEO);
    if (!codec) throw CodecError("Encodeur DV introuvable");
    impl_->codec.reset(avcodec_alloc_context3(codec));
    impl_->yuv.reset(av_frame_alloc());
    impl_->borrowed.reset(av_frame_alloc());
    impl_->packet.reset(av_packet_alloc());
    if (!impl_->codec || !impl_->yuv || !impl_->borrowed || !impl_->packet)
        throw CodecError("Mémoire insuffisante pour l'encodeur DV");
    AVCodecContext* c = impl_->codec.get();
    c->width = width();
    c->height = height();
    c->pix_fmt = dvPixelFormat(is525);
    c->time_base = is525 ? AVRational{1001, 30000} : AVRational{1, 25};
    c->framerate = is525 ? AVRational{30000, 1001} : AVRational{25, 1};
    c->sample_aspect_ratio = dvSampleAspect(is525, wide);
    c->thread_count = 1;
    if (const int rc = avcodec_open2(c, codec, nullptr); rc < 0)
        throw CodecError("Ouverture de l'encodeur DV impossible : " + avError(rc));
    c->opaque = &impl_->segments;
    c->execute = RunChosenSegments;
    AVFrame* f = impl_->yuv.get();
    f->format = c->pix_fmt;
    f->width = c->width;
    f->height = c->height;
    f->sample_aspect_ratio = c->sample_aspect_ratio;
    if (const int rc = av_frame_get_buffer(f, 0); rc < 0)
        throw CodecError("Mémoire insuffisante pour l'encodeur DV : " + avError(rc));
    impl_->sws.reset(sws_getContext(c->width, c->height, AV_PIX_FMT_BGR24, c->width, c->height, c->pix_fmt,
                                    kSwsFlags, nullptr, nullptr, nullptr));
    if (!impl_->sws) throw CodecError("Conversion d'image vers DV impossible");
}

DvEncoder::~DvEncoder() = default;

size_t DvEncoder::frameBytes() const {
    return is525_ ? kDvFrameBytes525 : kDvFrameBytes625;
}

bool DvEncoder::encode(const BgrPicture& picture, std::vector<uint8_t>& frame) {
    if (picture.width != width() || picture.height != height()) return false;
    return encodeBgr(picture.pixels, picture.stride, frame);
}

bool DvEncoder::encodeBgr(std::span<const uint8_t> pixels, size_t stride, std::vector<uint8_t>& frame) {
    if (stride < width() * size_t{3} || stride > size_t{1} << 20 ||
        pixels.size() < stride * static_cast<size_t>(height()))
        return false;
    AVFrame* f = impl_->yuv.get();
    if (av_frame_make_writable(f) < 0) return false;
    // Bottom-up rows: start at the last row in memory (the top of the picture) and walk backwards.
    const uint8_t* src[1] = {pixels.data() + stride * static_cast<size_t>(height() - 1)};
    const int srcStride[1] = {-static_cast<int>(stride)};
    sws_scale(impl_->sws.get(), src, srcStride, 0, height(), f->data, f->linesize);
    return encodeFrame(f, frame);
}

bool DvEncoder::encodeYuv(std::span<const uint8_t> planes, std::vector<uint8_t>& frame) {
    const DvYuvLayout layout = DvYuvLayout::For(is525_);
    if (planes.size() < layout.bytes()) return false;
    // The codec reads the planes where they are, through a frame whose buffer does not own them.
    // Without frame threads (thread_count 1) the codec lets go of the frame before
    // avcodec_receive_packet returns, so the planes are not read after this call.
    AVFrame* f = impl_->borrowed.get();
    av_frame_unref(f);
    const AVFrame* own = impl_->yuv.get();
    f->format = own->format;
    f->width = own->width;
    f->height = own->height;
    f->sample_aspect_ratio = own->sample_aspect_ratio;
    f->buf[0] = av_buffer_create(
        const_cast<uint8_t*>(planes.data()), layout.bytes(), [](void*, uint8_t*) {}, nullptr,
        AV_BUFFER_FLAG_READONLY);
    if (!f->buf[0]) return false;
    uint8_t* from = f->buf[0]->data;
    f->data[0] = from;
    f->linesize[0] = layout.width;
    from += layout.lumaBytes();
    for (int plane = 1; plane <= 2; ++plane, from += layout.chromaBytes()) {
        f->data[plane] = from;
        f->linesize[plane] = layout.chromaWidth;
    }
    const bool ok = encodeFrame(f, frame);
    av_frame_unref(f);
    return ok;
}

bool DvEncoder::encodeYuvSegments(std::span<const uint8_t> planes, const std::vector<uint8_t>& segments,
                                  std::vector<uint8_t>& frame) {
    impl_->segments.only = &segments;
    const bool ok = encodeYuv(planes, frame);
    impl_->segments.only = nullptr;
    return ok;
}

bool DvEncoder::codesSegmentsApart() const {
    return impl_->segments.itemsChecked == 1;
}

bool DvEncoder::encodeFrame(AVFrame* f, std::vector<uint8_t>& frame) {
    AVCodecContext* c = impl_->codec.get();
    if (avcodec_send_frame(c, f) < 0) return false;
    AVPacket* p = impl_->packet.get();
    if (avcodec_receive_packet(c, p) < 0) return false;
    const bool whole = static_cast<size_t>(p->size) == frameBytes();
    if (whole) frame.assign(p->data, p->data + p->size);
    av_packet_unref(p);
    if (!whole) return false;

    // FFmpeg's encoder writes the system byte, 0x60/0x61 at VAUX packs 0 and 1 (and 9, 10) of every
    // VAUX block and leaves every subcode pack empty (0xFF). Make sure of the ones the pack writers
    // and readers rely on, in case another build lays them out differently.
    frame[3] = is525_ ? 0x3F : 0xBF;
    const int n = DifSequenceCount(frame.size());
    for (int s = 0; s < n; ++s) {
        // Header pack bytes 4-7: APT and AP1-AP3 in bits 0-2. Consumer DV has 0 there; FFmpeg writes
        // 1 at 525/60, the value of the professional 4:1:1 format.
        uint8_t* header = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
        for (size_t i = 4; i < 8; ++i) header[i] = static_cast<uint8_t>(header[i] & ~7);
        uint8_t* vaux =
            frame.data() + static_cast<size_t>(s) * kDifSequenceBytes + kVauxBlock * kDifBlockBytes + 3;
        if (vaux[0] != kPackVauxSource) {
            // Source: PC3 bit 5 is the 50-field flag, bits 0-4 the signal type (0: consumer DV).
            const uint8_t source[5] = {kPackVauxSource, 0xFF, 0xFF,
                                       static_cast<uint8_t>(is525_ ? 0xC0 : 0xE0), 0xFF};
            std::memcpy(vaux, source, 5);
        }
        if (vaux[5] != kPackVauxSourceControl) {
            // Source control: PC2 bits 0-2 the display select (0 = 4:3, 2 = 16:9), PC3 frame flags.
            const uint8_t control[5] = {kPackVauxSourceControl, 0x3F,
                                        static_cast<uint8_t>(wide_ ? 0xCA : 0xC8), 0xFC, 0xFF};
            std::memcpy(vaux + 5, control, 5);
        }
    }
    return true;
}

struct DvDecoder::Impl {
    CodecContextPtr codec;
    FramePtr yuv;
    PacketPtr packet;
    SwsContext* sws = nullptr;  // cached per picture size and format
    ~Impl() { sws_freeContext(sws); }
};

DvDecoder::DvDecoder() : impl_(std::make_unique<Impl>()) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVVIDEO);
    if (!codec) throw CodecError("Décodeur DV introuvable");
    impl_->codec.reset(avcodec_alloc_context3(codec));
    impl_->yuv.reset(av_frame_alloc());
    impl_->packet.reset(av_packet_alloc());
    if (!impl_->codec || !impl_->yuv || !impl_->packet)
        throw CodecError("Mémoire insuffisante pour le décodeur DV");
    impl_->codec->thread_count = 1;
    if (const int rc = avcodec_open2(impl_->codec.get(), codec, nullptr); rc < 0)
        throw CodecError("Ouverture du décodeur DV impossible : " + avError(rc));
}

DvDecoder::~DvDecoder() = default;

bool DvDecoder::decodeFrame(std::span<const uint8_t> frame) {
    if (DifSequenceCount(frame.size()) == 0) return false;
    AVPacket* p = impl_->packet.get();
    // The decoder reads through a packet without owning it; it never writes the data.
    p->data = const_cast<uint8_t*>(frame.data());
    p->size = static_cast<int>(frame.size());
    AVCodecContext* c = impl_->codec.get();
    const int sent = avcodec_send_packet(c, p);
    p->data = nullptr;
    p->size = 0;
    if (sent < 0) return false;
    return avcodec_receive_frame(c, impl_->yuv.get()) >= 0;
}

bool DvDecoder::decodeYuv(std::span<const uint8_t> frame, std::vector<uint8_t>& planes, bool& is525) {
    if (!decodeFrame(frame)) return false;
    AVFrame* f = impl_->yuv.get();
    const bool ntsc = f->height == kDvHeight525;
    const DvYuvLayout layout = DvYuvLayout::For(ntsc);
    const bool fits =
        f->width == layout.width && f->height == layout.height && f->format == dvPixelFormat(ntsc);
    if (fits) {
        planes.resize(layout.bytes());
        uint8_t* to = planes.data();
        CopyPlane(to, static_cast<size_t>(layout.width), f->data[0], static_cast<size_t>(f->linesize[0]),
                  static_cast<size_t>(layout.width), layout.height);
        to += layout.lumaBytes();
        for (int plane = 1; plane <= 2; ++plane, to += layout.chromaBytes())
            CopyPlane(to, static_cast<size_t>(layout.chromaWidth), f->data[plane],
                      static_cast<size_t>(f->linesize[plane]), static_cast<size_t>(layout.chromaWidth),
                      layout.chromaHeight);
        is525 = ntsc;
    }
    av_frame_unref(f);
    return fits;
}

bool DvDecoder::decode(std::span<const uint8_t> frame, BgrPicture& picture) {
    if (!decodeFrame(frame)) return false;
    AVFrame* f = impl_->yuv.get();
    impl_->sws =
        sws_getCachedContext(impl_->sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                             f->height, AV_PIX_FMT_BGR24, kSwsFlags, nullptr, nullptr, nullptr);
    if (!impl_->sws) {
        av_frame_unref(f);
        return false;
    }
    picture.resize(f->width, f->height);
    uint8_t* dst[1] = {picture.rowFromTop(0)};
    const int dstStride[1] = {-static_cast<int>(picture.stride)};
    sws_scale(impl_->sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    av_frame_unref(f);
    return true;
}

}  // namespace velinor
