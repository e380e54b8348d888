// Reads arbitrary bytes as a playlist: every encoding, line end and trimming path.
#include <cstddef>
#include <cstdint>
#include <string>

#include "filelist/thread_open.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto paths =
        velinor::PlaylistPathsFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& p : paths)
        if (p.empty() || p[0] == '#') __builtin_trap();  // empty and comment lines are skipped
    return 0;
}
