#include "media/dv_frame_source.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "media/media_error.h"
#include "media/raw_dv.h"

namespace velinor {

std::unique_ptr<DvFrameSource> OpenDvFrameSource(const std::string& path) {
    // Only a regular file is read: opening a FIFO or a device would wait for a writer, or read
    // without end. A file that cannot be opened here is left to the raw reader, which says why.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw MediaError(path, "ce n'est pas un fichier");
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() == sizeof magic && std::memcmp(magic, "RIFF", 4) == 0) return OpenAviDvFrameSource(path);
    return std::make_unique<RawDvReader>(path);
}

}  // namespace velinor
