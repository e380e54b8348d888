#pragma once
// A writer of DV AVI files: type 1 (one "iavs" stream) or type 2 ("vids" + optional "auds" PCM),
// OpenDML (RIFF AVIX forms, indx super-indexes, ix## indexes) beyond the first form, idx1 for
// the first form, and an INFO list. It writes a temporary file beside the target and renames it
// when finished. Owned and used by one thread at a time.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>
#include "platform/atomic_file.h"

namespace velinor {

using DvInfo = std::array<uint8_t, 32>;

// DVINFO of a DV frame: dwDVAAuxSrc, dwDVAAuxCtl (first audio half), dwDVAAuxSrc1, dwDVAAuxCtl1
// (second half), dwDVVAuxSrc, dwDVVAuxCtl, 2 reserved. Each is the 4 payload bytes of the pack
// (0x50, 0x51, 0x60, 0x61) as found in the frame; absent packs give 0xFFFFFFFF.
DvInfo DvInfoFromFrame(std::span<const uint8_t> frame);

struct AviWriterSettings {
    enum class Kind { DvType1, DvType2 };
    Kind Type = Kind::DvType2;
    uint32_t Rate = 25;  // frame rate Rate/Scale: 25/1 or 30000/1001
    uint32_t Scale = 1;
    uint32_t Width = 720;
    uint32_t Height = 576;
    uint32_t VideoHandler = 0x64737664;  // "dvsd"
    DvInfo DvInfoBlock{};                // type 1 stream format
    // Type 2 audio: PCM 16-bit; no audio stream when Channels is 0.
    uint16_t Channels = 2;
    uint32_t SampleRate = 48'000;
    // INFO entries: four-character code and text ("IMRV", "ISFT", ...).
    std::vector<std::pair<std::string, std::string>> Info;
    // Size after which a new RIFF form is started. Readers of AVI 1.0 see the first form only.
    uint64_t FormLimit = 1'000'000'000;
    bool ReplaceExisting = false;  // otherwise finish() refuses to overwrite an existing file
};

class AviWriter {
public:
    // Creates the temporary file beside `path`. Throws MediaError when it cannot (read-only
    // folder), or when `path` exists and ReplaceExisting is false.
    AviWriter(std::string path, AviWriterSettings settings);
    // Finishes the file when finish() was not called and nothing failed (a stopped run still
    // leaves a readable file); errors are swallowed there and the temporary file removed.
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // One video frame (type 2) or one interleaved DV frame (type 1). Throws MediaError when the
    // write fails; the temporary file is then removed.
    void WriteVideo(std::span<const uint8_t> frame);
    // PCM bytes (interleaved 16-bit samples) of type 2 audio, in any chunk length.
    void WriteAudio(std::span<const uint8_t> pcm);
    // Completes the indexes and headers and renames the file to its name. Throws MediaError
    // on failure, after removing the temporary file.
    void Finish();
    // Drops everything written: the temporary file is removed.
    void Abandon() noexcept;

    int64_t VideoFrames() const { return videoFrames_; }
    const std::string& TemporaryPath() const { return file_.temporaryPath(); }

private:
    struct Entry {
        uint64_t DataPos;  // absolute position of the chunk's data
        uint32_t Size;
    };
    struct SuperEntry {
        uint64_t Pos;       // the ix## chunk
        uint32_t Size;      // header included
        uint32_t Duration;  // ticks it covers
    };
    struct Stream {
        uint32_t ChunkId = 0;            // "00dc", "01wb"
        uint32_t IndexId = 0;            // "ix00"
        uint32_t BlockAlign = 0;         // audio: bytes per tick; 0 for video
        std::vector<Entry> FormEntries;  // chunks of the current form
        std::vector<SuperEntry> Super;
        uint32_t MaxChunk = 0;
        uint64_t Ticks = 0;
        uint64_t FormTicks = 0;
    };

    std::vector<uint8_t> buildHeader() const;
    void writeChunk(size_t stream, std::span<const uint8_t> data);
    void closeForm();
    void openForm();
    void append(const void* data, size_t n);
    void flush();
    void patch(uint64_t pos, const void* data, size_t n);
    [[noreturn]] void failWrite(const char* what, int err);
    uint64_t pendingIndexBytes() const;

    std::string path_;
    AviWriterSettings settings_;
    AtomicFile file_;
    bool finished_ = false;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
    uint64_t written_ = 0;  // bytes handed to the file (buffered included)
    std::vector<Stream> streams_;
    size_t headerBytes_ = 0;
    uint64_t formStart_ = 0;  // position of the current "RIFF"
    uint64_t moviStart_ = 0;  // position of the current "LIST" movi
    int forms_ = 0;
    int64_t videoFrames_ = 0;
    int64_t firstFormFrames_ = 0;
    std::vector<uint8_t> idx1_;  // first-form idx1 entries, 16 bytes each
    bool inFirstForm_ = true;
    uint32_t firstFormSize_ = 0;
    uint32_t firstMoviSize_ = 0;
    uint64_t maxBytesPerSec_ = 0;
};

}  // namespace velinor
