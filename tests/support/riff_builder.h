#pragma once
// A small byte builder for hand-made RIFF chunks, and a scratch folder for test files.
// For whole AVI files written the way the program writes them, use the AVI writer instead.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velinor::test {

using Bytes = std::vector<uint8_t>;

void PutLe16(Bytes& out, uint16_t value);
void PutLe32(Bytes& out, uint32_t value);
void PutLe64(Bytes& out, uint64_t value);
void PutCode(Bytes& out, std::string_view code);  // four bytes, zero-padded
Bytes Concat(std::initializer_list<Bytes> parts);
uint32_t GetLe32(const Bytes& bytes, size_t at);
void SetLe32(Bytes& bytes, size_t at, uint32_t value);

// code, size, body, and one pad byte after an odd body.
Bytes Chunk(std::string_view code, const Bytes& body);
// A chunk whose size field says `declaredSize`, whatever the body holds (no padding).
Bytes RawChunk(std::string_view code, uint32_t declaredSize, const Bytes& body);
// "LIST" (or "RIFF" with Riff) chunk: the list type, then the children as given.
Bytes List(std::string_view type, std::initializer_list<Bytes> children);
Bytes List(std::string_view type, const Bytes& children);
Bytes Riff(std::string_view type, std::initializer_list<Bytes> children);

// AVISTREAMHEADER body (56 bytes).
struct StreamHeader {
    std::string_view type = "vids";
    std::string_view handler = "dvsd";
    uint32_t scale = 1;
    uint32_t rate = 25;
    uint32_t length = 0;
    uint32_t sampleSize = 0;
    int16_t right = 720;
    int16_t bottom = 576;
};
Bytes StrhBody(const StreamHeader& header);
// BITMAPINFOHEADER body (40 bytes), optionally followed by a 32-byte DVINFO.
Bytes BitmapInfoBody(std::string_view compression, int32_t width = 720, int32_t height = 576,
                     bool withDvInfo = false);
// WAVEFORMATEX body (18 bytes) for PCM.
Bytes WaveFormatBody(uint16_t channels = 2, uint32_t rate = 48000, uint16_t bits = 16);
// DVINFO body (32 bytes) with recognisable values: 0x11111111 * (i + 1) for field i.
Bytes DvInfoBody();
// AVIMAINHEADER body (56 bytes).
Bytes AvihBody(uint32_t microSecPerFrame = 40000, uint32_t totalFrames = 1, uint32_t streams = 1);

// Whole small AVI files: type 2 ("vids" + "auds") and type 1 (one "iavs"), with a `movi` list
// holding `frames` data chunks of `frameBytes` bytes and an `idx1`.
Bytes Type2Avi(std::string_view handler = "dvsd", std::string_view compression = "dvsd", int frames = 2,
               size_t frameBytes = 64);
Bytes Type1Avi(std::string_view handler = "dvsd", int frames = 2, size_t frameBytes = 64);

// File offsets where a chunk starts or ends (pad byte included), at every level, movi included:
// the places to cut a file at to test truncation. Sorted, without duplicates; 0 and the size too.
std::vector<size_t> ChunkBoundaries(const Bytes& file);

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `bytes` to `name` in the folder and returns the full path.
    std::string write(const std::string& name, const Bytes& bytes) const;

private:
    std::filesystem::path path_;
};

// The bytes of a file; empty when it is missing or not a regular file.
Bytes ReadAll(const std::string& path);

}  // namespace velinor::test

namespace velinor::test {

// Writes `name` in `dir` with the real encoder: "dvvideo" (720x576 PAL DV with PCM audio, type 2),
// "mjpeg" or "mpeg4" (64x48, no audio); five frames. Returns an empty string when ffmpeg is
// not installed or fails.
std::string FfmpegAvi(const ScratchDir& dir, const std::string& name, const std::string& codec);

}  // namespace velinor::test
