#include "filters/dv_deinter.h"

#include <cstring>

#include "graph/dv_codec.h"

namespace velinor {

bool Tdv_deinter::StartStreaming(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    planes_.reset();
    width_ = width;
    height_ = height;
    stride_ = BgrPicture::StrideFor(width);
    input_.resize(stride_ * static_cast<size_t>(height));
    return true;
}

void Tdv_deinter::StartStreamingPlanes(const DvYuvLayout& layout) {
    planes_ = layout;
    width_ = layout.width;
    height_ = layout.height;
    stride_ = 0;
}

bool Tdv_deinter::Transform(std::span<uint8_t> picture) {
    if (planes_) {
        if (picture.size() < planes_->bytes()) return false;
        deinterlacer_.DeinterlacePlanes(picture.data(), *planes_);
        return true;
    }
    const size_t bytes = stride_ * static_cast<size_t>(height_);
    if (width_ <= 0 || picture.size() < bytes) return false;
    std::memcpy(input_.data(), picture.data(), bytes);
    deinterlacer_.DeinterlaceRows(input_.data(), picture.data(), width_, height_, stride_);
    return true;
}

}  // namespace velinor
