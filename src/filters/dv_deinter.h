#pragma once
// Removes combing from 24-bit BGR pictures, or from the DV codec's planes, in place. StartStreaming on the
// controlling thread, Transform on the streaming thread.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "filters/deinterlace.h"

namespace velinor {

class Tdv_deinter {
public:
    static constexpr const char* kName = "Morvane dv_deinter";

    // False when the size is not positive (no picture format on the connection).
    bool StartStreaming(int width, int height);
    // Pictures in the DV codec's planes instead.
    void StartStreamingPlanes(const DvYuvLayout& layout);
    // `picture` is width x height, rows bottom-up and padded to 4 bytes, or planes of the layout
    // given. False when it is too short.
    bool Transform(std::span<uint8_t> picture);

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_ = 0;
    int height_ = 0;
    size_t stride_ = 0;
    std::optional<DvYuvLayout> planes_;
    std::vector<uint8_t> input_;
    Deinterlacer deinterlacer_;
};

}  // namespace velinor
