#pragma once
// The frames of a DV AVI file decoded as the preview shows them, for the scene export tests.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/datecode.h"

namespace velinor::test {

struct DecodedFrame {
    std::optional<Datecode> datecode;
    std::optional<int> tcHours, tcMinutes, tcSeconds, tcFrames;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // 24-bit BGR, bottom-up, rows padded to 4 bytes
};

// Every frame of the file, decoded. Throws when it cannot be read.
std::vector<DecodedFrame> DecodeDvAvi(const std::string& path);

}  // namespace velinor::test
