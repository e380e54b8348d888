#pragma once
// The DV video encoder and decoder: consumer DV (25 Mbit/s, IEC 61834) frames to and from 24-bit
// BGR pictures in bottom-up row order, as the frame filters handle them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

struct AVFrame;

namespace velinor {

// A codec that cannot be set up (missing from the FFmpeg build, refused parameters).
class CodecError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Picture sizes of the two systems.
constexpr int kDvWidth = 720;
constexpr int kDvHeight625 = 576;
constexpr int kDvHeight525 = 480;

// A 24-bit BGR picture, rows bottom-up (the first row in memory is the bottom of the picture),
// each row `stride` bytes (at least 3 x width, padded to 4 bytes as device-independent bitmaps are).
struct BgrPicture {
    int width = 0;
    int height = 0;
    size_t stride = 0;
    std::vector<uint8_t> pixels;

    static size_t StrideFor(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }
    void resize(int w, int h) {
        width = w;
        height = h;
        stride = StrideFor(w);
        pixels.resize(stride * static_cast<size_t>(h));
    }
    // Row y counted from the top of the picture.
    uint8_t* rowFromTop(int y) { return pixels.data() + stride * static_cast<size_t>(height - 1 - y); }
    const uint8_t* rowFromTop(int y) const {
        return pixels.data() + stride * static_cast<size_t>(height - 1 - y);
    }
};

// The planar YUV picture the DV codec works in, as one buffer, rows top-down: the Y plane
// (720 x rows), then Cb, then Cr (chromaWidth x chromaRows each), no row padding. Consumer DV
// samples chroma 4:2:0 at 625/50 (360 x 288) and 4:1:1 at 525/60 (180 x 480).
struct DvYuvLayout {
    int width = kDvWidth;
    int height = 0;
    int chromaWidth = 0;
    int chromaHeight = 0;

    static DvYuvLayout For(bool is525) {
        return is525 ? DvYuvLayout{kDvWidth, kDvHeight525, kDvWidth / 4, kDvHeight525}
                     : DvYuvLayout{kDvWidth, kDvHeight625, kDvWidth / 2, kDvHeight625 / 2};
    }
    size_t lumaBytes() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
    size_t chromaBytes() const {
        return static_cast<size_t>(chromaWidth) * static_cast<size_t>(chromaHeight);
    }
    size_t bytes() const { return lumaBytes() + 2 * chromaBytes(); }
};

// Encodes pictures into DV frames of one system and aspect. One thread at a time.
//
// Every frame comes out with the header system byte (byte 3: 0xBF for 625/50, 0x3F for 525/60),
// VAUX source (0x60) and source control (0x61) packs carrying the aspect, and empty (0xFF)
// subcode packs, so that the pack writers can put in dates, times and timecodes afterwards.
class DvEncoder {
public:
    DvEncoder(bool is525, bool wide);  // throws CodecError
    ~DvEncoder();
    DvEncoder(const DvEncoder&) = delete;
    DvEncoder& operator=(const DvEncoder&) = delete;

    bool is525() const { return is525_; }
    bool wide() const { return wide_; }
    int width() const { return kDvWidth; }
    int height() const { return is525_ ? kDvHeight525 : kDvHeight625; }
    size_t frameBytes() const;

    // `picture` must be width() x height(). Fills `frame` (resized to frameBytes()); false when
    // the picture has the wrong size or the codec fails.
    bool encode(const BgrPicture& picture, std::vector<uint8_t>& frame);
    // The same from bottom-up BGR rows of `stride` bytes held in `pixels`.
    bool encodeBgr(std::span<const uint8_t> pixels, size_t stride, std::vector<uint8_t>& frame);
    // The same from planes laid out as DvYuvLayout::For(is525()); nothing is converted.
    bool encodeYuv(std::span<const uint8_t> planes, std::vector<uint8_t>& frame);
    // The same, coding only the video segments marked non-zero in `segments` (one byte each, in
    // frame order); the DIF blocks of the others hold unspecified bytes, for the caller to
    // replace. Every segment is coded when the codec's own order of segments is not the frame's.
    bool encodeYuvSegments(std::span<const uint8_t> planes, const std::vector<uint8_t>& segments,
                           std::vector<uint8_t>& frame);
    // After a first encodeYuvSegments: whether the codec's segments could be left out.
    bool codesSegmentsApart() const;

private:
    bool encodeFrame(AVFrame* f, std::vector<uint8_t>& frame);  // from the planes of `f`

    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool is525_;
    bool wide_;
};

// Decodes DV frames of either system into BGR pictures. One thread at a time.
class DvDecoder {
public:
    DvDecoder();  // throws CodecError
    ~DvDecoder();
    DvDecoder(const DvDecoder&) = delete;
    DvDecoder& operator=(const DvDecoder&) = delete;

    // False when `frame` is not a whole DV frame or cannot be decoded; `picture` is then unchanged.
    bool decode(std::span<const uint8_t> frame, BgrPicture& picture);
    // The decoder's own planes, laid out as DvYuvLayout::For(is525): `planes` is resized to that
    // (without reallocating when it is large enough already) and `is525` tells the system.
    bool decodeYuv(std::span<const uint8_t> frame, std::vector<uint8_t>& planes, bool& is525);

private:
    bool decodeFrame(std::span<const uint8_t> frame);  // into the planes in Impl

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velinor
