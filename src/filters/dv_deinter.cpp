#include "filters/dv_deinter.h"

#include <cstring>

#include "graph/dv_codec.h"

namespace velinor {

bool Tdv_deinter::StartStreaming(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    width_ = width;
    height_ = height;
    stride_ = BgrPicture::StrideFor(width);
    input_.resize(stride_ * static_cast<size_t>(height));
    return true;
}

bool Tdv_deinter::Transform(std::span<uint8_t> picture) {
    const size_t bytes = stride_ * static_cast<size_t>(height_);
    if (width_ <= 0 || picture.size() < bytes) return false;
    std::memcpy(input_.data(), picture.data(), bytes);
    deinterlacer_.DeinterlaceRows(input_.data(), picture.data(), width_, height_, stride_);
    return true;
}

}  // namespace velinor
