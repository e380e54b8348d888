#include "media/dv_frame_source.h"

#include <cstring>
#include <fstream>

#include "media/raw_dv.h"

namespace velinor {

std::unique_ptr<DvFrameSource> OpenDvFrameSource(const std::string& path) {
    // A file that cannot be opened here is left to the raw reader, which says why.
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() == sizeof magic && std::memcmp(magic, "RIFF", 4) == 0) return OpenAviDvFrameSource(path);
    return std::make_unique<RawDvReader>(path);
}

}  // namespace velinor
