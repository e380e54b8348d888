#pragma once
// A sequential reader of the DV frames of a file: raw DV streams (.dv) and AVI files.
// Owned and used by one thread at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velinor {

class DvFrameSource {
public:
    virtual ~DvFrameSource() = default;
    // Reads the next frame into `frame` (resized to the frame's length, reusing its storage).
    // Returns false at the end of the stream. A frame that is not whole is never returned.
    virtual bool next(std::vector<uint8_t>& frame) = 0;
};

// Opens `path` as the right kind of source for its content. Throws MediaError when the file
// cannot be opened or holds no DV.
std::unique_ptr<DvFrameSource> OpenDvFrameSource(const std::string& path);

// Reads the DV frames of a type 1 or type 2 AVI file in order. Throws MediaError when the file
// is not an AVI file or holds no DV stream.
std::unique_ptr<DvFrameSource> OpenAviDvFrameSource(const std::string& path);

}  // namespace velinor
