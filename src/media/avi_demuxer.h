#pragma once
// A reader of AVI files: AVI 1.0 and OpenDML (RIFF AVIX, indx/ix## indexes, idx1), any codec,
// DV type 1 ("iavs") and type 2 ("vids" + "auds"). It hands out each stream's format and its
// samples by number. Opening throws MediaError; reading samples never throws. After opening,
// the const members may be called from several threads at once (reads copy from the mapped file, or use
// pread).
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/mapped_file.h"

namespace velinor {

// A four-character code as its bytes in file order, read little-endian ("dvsd" = 0x64737664).
constexpr uint32_t FourCC(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}
std::string FourCCText(uint32_t code);

// The codes under which vendors declare the same SD DV: "dvsd", "dsvd", "CDVC", "dv25", "dvcs",
// "dvhd", "dvsl", in any case. A stream declared so is DV when its chunks are DV frames.
bool IsDvFamilyFourCC(uint32_t code);
bool IsDvFamilyCodec(std::string_view text);  // the same for the 4-character text

enum class AviStreamKind { Video, Audio, Interleaved, Other };

// One stream of the file. Times are in stream ticks of Scale/Rate seconds.
struct AviStreamInfo {
    AviStreamKind Kind = AviStreamKind::Other;
    uint32_t Type = 0;     // strh fccType: "vids", "auds", "iavs", ...
    uint32_t Handler = 0;  // strh fccHandler (may be 0)
    uint32_t Scale = 0;
    uint32_t Rate = 0;
    uint32_t SampleSize = 0;      // strh dwSampleSize: 0 = one tick per chunk
    uint32_t DeclaredLength = 0;  // strh dwLength, as written (not trusted)
    std::vector<uint8_t> Header;  // the strh body, 56 bytes (zero-filled when shorter)
    std::vector<uint8_t> Format;  // the strf body as stored
    std::string Name;             // strn, when present
    int64_t SampleCount = 0;      // chunks found in the index or in the data
    int64_t Length = 0;           // ticks: frames for video, sample blocks for PCM audio
    int64_t Duration100ns = 0;

    // The codec code: fccHandler, else biCompression of the bitmap header (video), else 0.
    uint32_t Codec() const;
    // The format block a filter reads: VIDEOINFOHEADER (88 bytes + any bitmap header tail) for
    // video, WAVEFORMATEX (at least 18 bytes) for audio, DVINFO (32 bytes) for interleaved.
    std::vector<uint8_t> MediaFormat() const;
    // The frame duration in 100 ns, from Scale/Rate (0 when they are not usable).
    int64_t TickDuration100ns() const;
};

// Where one sample (one data chunk) lies in the file.
struct AviSample {
    int64_t Offset = 0;  // first byte of the chunk's data
    uint32_t Size = 0;
    bool Keyframe = true;
    int64_t Start = 0;  // ticks: the frame number for video and interleaved streams
};

class AviDemuxer {
public:
    // Opens and indexes the file (read-only). Throws MediaError when it is not an AVI file or
    // its headers are damaged; a damaged or cut-short index or body yields fewer samples.
    explicit AviDemuxer(const std::string& path);
    // The same over bytes held in memory (used by the fuzz target and tests). `name` is used in errors.
    AviDemuxer(std::vector<uint8_t> bytes, std::string name);
    ~AviDemuxer();
    AviDemuxer(const AviDemuxer&) = delete;
    AviDemuxer& operator=(const AviDemuxer&) = delete;

    const std::string& path() const { return path_; }
    int64_t fileSize() const { return fileSize_; }
    const std::vector<AviStreamInfo>& streams() const { return streams_; }
    const std::vector<AviSample>& samples(int stream) const { return index_.at(size_t(stream)); }
    // avih fields.
    uint32_t MicroSecPerFrame() const { return microSecPerFrame_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    bool IsOpenDml() const { return openDml_; }
    // Whether any part of the index was missing or damaged and rebuilt from the data.
    bool IndexRebuilt() const { return indexRebuilt_; }
    // INFO list entries (code, text without its terminating zero), in file order.
    const std::vector<std::pair<uint32_t, std::string>>& Info() const { return info_; }
    std::optional<std::string> InfoText(uint32_t code) const;

    // First stream of this kind, or -1. VideoStream() counts "vids" and "iavs".
    int VideoStream() const;
    int AudioStream() const;
    int FindStream(AviStreamKind kind) const;
    // Interleaved, or video declared under a DV-family code (the bitmap's compression, else the
    // stream header's handler) whose first non-empty sample is a whole DV frame. A stream of any
    // other code is not DV, whatever its chunks hold.
    bool IsDvStream(int stream) const;

    // Reads sample `n` of `stream` into `out` (resized to the sample's size). False when the
    // numbers are out of range or the read fails.
    bool Read(int stream, int64_t n, std::vector<uint8_t>& out) const noexcept;
    // Reads only the audio blocks of DV frame `n` (120 000 or 144 000 bytes) into their places
    // in `out`, resized to the frame's size; its other bytes are left as they were (zero where
    // it grew). A sample of another size is read whole. False as for Read.
    bool ReadDifAudioBlocks(int stream, int64_t n, std::vector<uint8_t>& out) const noexcept;
    // The bytes the sample reads above have stored for `stream` since opening. Any thread.
    uint64_t BytesRead(int stream) const noexcept;
    // The sample whose ticks cover `tick` (a frame number for video), or nullopt.
    std::optional<int64_t> SampleAt(int stream, int64_t tick) const noexcept;
    // The same for a time in 100 ns from the start of the stream.
    std::optional<int64_t> SampleAtTime(int stream, int64_t time100ns) const noexcept;
    // The start time in 100 ns of a tick of `stream` (0 when its rate is unusable).
    int64_t TickTime100ns(int stream, int64_t tick) const noexcept;

private:
    struct MoviList {
        int64_t TypePos;  // position of the "movi" list type; idx1 offsets count from here
        int64_t End;      // end of the list body, clipped to the file
    };
    struct SuperIndex {
        std::vector<std::pair<int64_t, uint32_t>> Entries;  // ix## chunk position, size
        std::vector<uint8_t> Standard;                      // an indx that indexes chunks directly
    };

    class HeaderReader;

    void open();
    void parseHeaderList(const std::vector<uint8_t>& hdrl, int64_t base);
    void parseStreamList(std::span<const uint8_t> strl);
    void parseInfo(std::span<const uint8_t> list);
    void loadSuperIndexes();
    bool loadStandardIndex(int stream, std::span<const uint8_t> body);
    void loadIdx1();
    void scanMovi();
    void finishStreams();
    bool readAt(int64_t offset, void* dst, size_t n) const noexcept;
    void countRead(int stream, uint64_t bytes) const noexcept;
    [[noreturn]] void fail(const std::string& message, int64_t offset) const;

    std::string path_;
    int fd_ = -1;
    std::unique_ptr<MappedFile> mapped_;  // the file's bytes, when it could be mapped
    std::vector<uint8_t> memory_;
    int64_t fileSize_ = 0;
    uint32_t microSecPerFrame_ = 0;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    bool openDml_ = false;
    bool indexRebuilt_ = false;
    size_t indexedEntries_ = 0;  // entries taken from ix## and standard indx chunks, all streams
    std::vector<AviStreamInfo> streams_;
    std::vector<SuperIndex> superIndexes_;
    std::vector<std::vector<AviSample>> index_;
    std::vector<MoviList> movis_;
    int64_t idx1Pos_ = -1;
    uint32_t idx1Size_ = 0;
    std::vector<std::pair<uint32_t, std::string>> info_;
    std::unique_ptr<std::atomic<uint64_t>[]> bytesRead_;  // per stream
};

}  // namespace velinor
