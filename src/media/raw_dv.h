#pragma once
// Raw DV streams (.dv): whole DV frames one after another, 120 000 bytes (525/60) or 144 000
// bytes (625/50) each, with no container around them.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "media/dv_frame_source.h"
#include "platform/atomic_file.h"

namespace velinor {

// What the first bytes of a file say about a raw DV stream: the frame length, or 0 when they do
// not open a DIF header block. Needs at least 4 bytes.
size_t RawDvFrameBytes(std::span<const uint8_t> firstBytes);

// Reads the frames of a raw DV stream in order, through a large buffer. One thread at a time.
class RawDvReader : public DvFrameSource {
public:
    // Throws MediaError when the file cannot be opened, is empty, does not start with a DV frame,
    // or holds less than one whole frame.
    explicit RawDvReader(const std::string& path);
    ~RawDvReader() override;
    RawDvReader(const RawDvReader&) = delete;
    RawDvReader& operator=(const RawDvReader&) = delete;

    // Throws MediaError on a read error. A trailing partial frame ends the stream.
    bool next(std::vector<uint8_t>& frame) override;

    size_t frameBytes() const { return frameBytes_; }
    bool is525() const { return frameBytes_ == 120'000; }
    // Whole frames in the file when it was opened.
    int64_t frameCount() const { return frameCount_; }

private:
    bool fill();

    std::string path_;
    int fd_ = -1;
    size_t frameBytes_ = 0;
    int64_t frameCount_ = 0;
    int64_t fileOffset_ = 0;  // of the first byte not yet in the buffer
    std::vector<uint8_t> buffer_;
    size_t begin_ = 0, end_ = 0;  // unread bytes of the buffer
};

// Writes a raw DV stream to a temporary file beside `path`, renamed to `path` by commit(); the
// temporary file is removed when the writer goes away uncommitted. One thread at a time.
class RawDvWriter {
public:
    explicit RawDvWriter(std::string path);  // throws MediaError
    ~RawDvWriter();
    RawDvWriter(const RawDvWriter&) = delete;
    RawDvWriter& operator=(const RawDvWriter&) = delete;

    void write(std::span<const uint8_t> frame);  // throws MediaError
    void commit();                               // throws MediaError

private:
    std::string path_;
    AtomicFile file_;
    int64_t written_ = 0;
};

}  // namespace velinor
