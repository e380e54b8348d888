#include "filters/dv_superposer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velinor {

namespace {

constexpr double kDisplayRetriggerGap = 2 * kOneSecond;
constexpr int kReferenceWidth = 720;  // the default size -21 belongs to this width
constexpr int kReferenceSize = 21;

int FloorHalf(int value) {
    return value >= 0 ? value / 2 : -((-value + 1) / 2);
}

FontChoice ChoiceFor(const OverlayFont& font, int size) {
    FontChoice recipe;
    recipe.Family = font.Name;
    recipe.Height = FontHeightForSize(size);
    recipe.Color = font.Color;
    recipe.Bold = font.Bold;
    recipe.Italic = font.Italic;
    recipe.Underline = font.Underline;
    recipe.StrikeOut = font.StrikeOut;
    return recipe;
}

}  // namespace

OverlayGeometry OverlayLinePositions(int layout, int width, int height, int horizontal, int vertical,
                                     int lineHeight, int width1, int width2) {
    const int x = width * horizontal / 1000;
    const int y = height * vertical / 1000;
    OverlayGeometry g{
        .LineHeight = lineHeight, .Y1 = y - 2 * lineHeight, .W1 = width1, .Y2 = y - lineHeight, .W2 = width2};
    // Line 2 is centred on the anchor and line 1 aligned to it, except when centred on the picture.
    switch (layout) {
        case 0:
            g.X1 = x - width2 / 2, g.X2 = x - width2 / 2;
            break;
        case 1:
            g.X1 = x - width1 / 2, g.X2 = x - width2 / 2;
            break;
        case 2:
            g.X1 = x - width1 + width2 / 2, g.X2 = x - width2 / 2;
            break;
        default:
            g.X1 = FloorHalf(width - width1), g.X2 = FloorHalf(width - width2);
            break;
    }
    return g;
}

Tdv_Superposer::Tdv_Superposer(Tdv_sceneDetect& detector, OverlayTextSettingsStore* settings)
    : detector_(detector), settingsStore_(settings) {
    settingsStore_->setDateFormats("ddddd", "tt");
    RebuildFont();
}

void Tdv_Superposer::RebuildFont() {
    OverlayFont font;
    int size = 0;
    {
        std::lock_guard lock(mutex_);
        font = font_;
        size = fontSize_;
    }
    std::shared_ptr<velinor::Font> created;
    try {
        created = std::make_shared<velinor::Font>(ChoiceFor(font, size));
    } catch (const FontError&) {
        return;  // keep drawing with the previous font
    }
    std::lock_guard lock(mutex_);
    if (font_ == font && fontSize_ == size) {
        drawFont_ = std::move(created);
        ++fontGeneration_;
    }
}

bool Tdv_Superposer::SetFont(const OverlayFont& font) {
    bool automatic = false;
    {
        std::lock_guard lock(mutex_);
        font_ = font;
        autoFontSize_ = automatic = font.Size < 0;
        fontSize_ = font.Size;
        if (autoFontSize_ && width_ > 0) fontSize_ = -(width_ * kReferenceSize / kReferenceWidth);
    }
    RebuildFont();
    return automatic;
}

void Tdv_Superposer::SetLayout(int layout) {
    std::lock_guard lock(mutex_);
    layout_ = std::clamp(layout, 0, 3);
}

void Tdv_Superposer::SetHorizontal(int perMille) {
    std::lock_guard lock(mutex_);
    horizontal_ = std::clamp(perMille, 0, 1000);
    if (layout_ == 3) layout_ = 1;
}

void Tdv_Superposer::SetVertical(int perMille) {
    std::lock_guard lock(mutex_);
    vertical_ = std::clamp(perMille, 0, 1000);
}

void Tdv_Superposer::SetShowText(bool show) {
    std::lock_guard lock(mutex_);
    showText_ = show;
}

void Tdv_Superposer::SetDisplayMode(int mode) {
    std::lock_guard lock(mutex_);
    displayMode_ = mode;
    countdown_ = displayFrames_ - 1;
}

void Tdv_Superposer::SetDisplaySeconds(int seconds) {
    std::lock_guard lock(mutex_);
    displaySeconds_ = seconds;
    UpdateDisplayFrames();
    countdown_ = displayFrames_ - 1;
}

// The period is set in seconds but counted in pictures of the running stream.
void Tdv_Superposer::UpdateDisplayFrames() {
    if (displaySeconds_ && frameDuration_ > 0)
        displayFrames_ =
            static_cast<int32_t>(std::lround(*displaySeconds_ * 10'000'000.0 / double(frameDuration_)));
}

void Tdv_Superposer::SetBorderSize(int pixels) {
    if (pixels < 0 || pixels > 5) return;
    std::lock_guard lock(mutex_);
    borderSize_ = pixels;
}

void Tdv_Superposer::SetAutoFontSize(bool automatic) {
    {
        std::lock_guard lock(mutex_);
        autoFontSize_ = automatic;
        if (automatic && width_ > 0) fontSize_ = -(width_ * kReferenceSize / kReferenceWidth);
        if (!automatic) fontSize_ = font_.Size;
    }
    RebuildFont();
}

void Tdv_Superposer::SetDeinterlace(bool deinterlace) {
    std::lock_guard lock(mutex_);
    deinterlace_ = deinterlace;
}

OverlayFont Tdv_Superposer::Font() const {
    std::lock_guard lock(mutex_);
    OverlayFont font = font_;
    font.Size = fontSize_;
    return font;
}
int Tdv_Superposer::Layout() const {
    std::lock_guard lock(mutex_);
    return layout_;
}
int Tdv_Superposer::Horizontal() const {
    std::lock_guard lock(mutex_);
    return horizontal_;
}
int Tdv_Superposer::Vertical() const {
    std::lock_guard lock(mutex_);
    return vertical_;
}
int Tdv_Superposer::BorderSize() const {
    std::lock_guard lock(mutex_);
    return borderSize_;
}
bool Tdv_Superposer::AutoFontSize() const {
    std::lock_guard lock(mutex_);
    return autoFontSize_;
}
int Tdv_Superposer::DisplayFrames() const {
    std::lock_guard lock(mutex_);
    return displayFrames_;
}
int Tdv_Superposer::Countdown() const {
    std::lock_guard lock(mutex_);
    return countdown_;
}
std::string Tdv_Superposer::Line1() const {
    std::lock_guard lock(mutex_);
    return line1_;
}
std::string Tdv_Superposer::Line2() const {
    std::lock_guard lock(mutex_);
    return line2_;
}
OverlayGeometry Tdv_Superposer::Geometry() const {
    std::lock_guard lock(mutex_);
    return geometry_;
}
int32_t Tdv_Superposer::SampleCount() const {
    std::lock_guard lock(mutex_);
    return sampleCount_;
}

bool Tdv_Superposer::StartStreaming(int width, int height, int64_t frameDuration100ns) {
    bool resize = false;
    {
        std::lock_guard lock(mutex_);
        sampleCount_ = 0;
        if (width <= 0 || height <= 0) return false;
        width_ = width;
        height_ = height;
        work_.resize(width, height);
        snapshot_.resize(width, height);
        hasPicture_ = false;
        if (autoFontSize_) {
            const int size = -(width * kReferenceSize / kReferenceWidth);
            resize = size != fontSize_;
            fontSize_ = size;
        }
        frameDuration_ = frameDuration100ns > 0 ? frameDuration100ns : 0;
        UpdateDisplayFrames();
        countdown_ = displayFrames_ - 1;
    }
    if (resize) RebuildFont();
    return true;
}

void Tdv_Superposer::ApplyDisplayRules(const TDVFrameInfo& frame) {
    if (countdown_ > 0) --countdown_;
    if (frame.DatecodeValid) {
        if (displayMode_ == 2) {
            if (frame.Datecode - lastDatecode_ > kDisplayRetriggerGap || frame.Datecode < lastDatecode_)
                countdown_ = displayFrames_;
        } else if (displayMode_ == 3) {
            if (DecodeDatecode(frame.Datecode).Day != DecodeDatecode(lastDatecode_).Day ||
                std::fabs(frame.Datecode - lastDatecode_) > 1.0)
                countdown_ = displayFrames_;
        }
    }
    lastDatecode_ = frame.Datecode;
}

void DrawTextOutline(const BgrImageView& picture, int x, int y, const TextMask& mask, int size, uint32_t color) {
    if (size <= 0 || mask.width <= 0 || mask.height <= 0) return;
    const int channel[3] = {static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                            static_cast<int>((color >> 16) & 0xFF)};
    const int left = x + mask.originX;
    const int top = y + mask.originY;
    // The largest coverage any offset brings to each pixel of the grown box (mask plus `size` on
    // every side), the maximum across then down. Kept per thread, so no picture allocates it.
    const int boxWidth = mask.width + 2 * size;
    const int boxHeight = mask.height + 2 * size;
    thread_local std::vector<uint8_t> across, grown;
    across.assign(static_cast<size_t>(boxWidth) * static_cast<size_t>(mask.height), 0);
    grown.assign(static_cast<size_t>(boxWidth) * static_cast<size_t>(boxHeight), 0);
    for (int r = 0; r < mask.height; ++r) {
        const uint8_t* in = mask.coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(mask.width);
        uint8_t* out = across.data() + static_cast<size_t>(r) * static_cast<size_t>(boxWidth);
        for (int c = 0; c < mask.width; ++c)
            if (in[c] != 0)
                for (int b = c; b <= c + 2 * size; ++b) out[b] = std::max(out[b], in[c]);
    }
    for (int r = 0; r < mask.height; ++r) {
        const uint8_t* in = across.data() + static_cast<size_t>(r) * static_cast<size_t>(boxWidth);
        for (int b = r; b <= r + 2 * size; ++b) {
            uint8_t* out = grown.data() + static_cast<size_t>(b) * static_cast<size_t>(boxWidth);
            for (int c = 0; c < boxWidth; ++c) out[c] = std::max(out[c], in[c]);
        }
    }
    auto coverageAt = [&](int c, int r) -> int {
        if (c < 0 || r < 0 || c >= mask.width || r >= mask.height) return 0;
        return mask.coverage[static_cast<size_t>(r) * static_cast<size_t>(mask.width) + static_cast<size_t>(c)];
    };
    const int c0 = std::max(0, left - size), c1 = std::min(picture.width, left + mask.width + size);
    const int r0 = std::max(0, top - size), r1 = std::min(picture.height, top + mask.height + size);
    for (int py = r0; py < r1; ++py) {
        uint8_t* row = picture.row(py);
        const uint8_t* most = grown.data() + static_cast<size_t>(py - top + size) * static_cast<size_t>(boxWidth);
        for (int px = c0; px < c1; ++px) {
            const int m = most[px - left + size];
            if (m == 0) continue;
            uint8_t* pixel = row + 3 * static_cast<size_t>(px);
            // Once one offset covers the pixel fully it holds the colour, and blending the colour
            // over itself keeps it.
            if (m == 255) {
                for (int ch = 0; ch < 3; ++ch) pixel[ch] = static_cast<uint8_t>(channel[ch]);
                continue;
            }
            // Only partial coverages: they blend in drawing order.
            int value[3] = {pixel[0], pixel[1], pixel[2]};
            for (int dy = -size; dy <= size; ++dy)
                for (int dx = -size; dx <= size; ++dx) {
                    const int a = coverageAt(px - left - dx, py - top - dy);
                    if (a == 0) continue;
                    for (int ch = 0; ch < 3; ++ch) value[ch] = (value[ch] * (255 - a) + channel[ch] * a + 127) / 255;
                }
            for (int ch = 0; ch < 3; ++ch) pixel[ch] = static_cast<uint8_t>(value[ch]);
        }
    }
}

void Tdv_Superposer::DrawLine(const TextMask& mask, int x, int y) {
    const BgrImageView view{work_.pixels.data(), work_.width, work_.height, work_.stride, false};
    if (borderSize_ > 0) DrawTextOutline(view, x, y, mask, std::min(borderSize_, 5), kBorderColor);
    velinor::Font::drawMask(view, x, y, mask, font_.Color);
}

bool Tdv_Superposer::Transform(std::span<const uint8_t> input, std::span<uint8_t> output) {
    const TDVFrameInfo frame = detector_.ReadLastFrame();
    if (settingsStore_->generation() != settingsGeneration_ || !settings_) {
        settingsGeneration_ = settingsStore_->generation();
        settings_ = settingsStore_->snapshot();
    }
    std::lock_guard lock(mutex_);
    bool ok = false;
    const size_t bytes = work_.stride * static_cast<size_t>(std::max(height_, 0));
    if (width_ > 0 && input.size() >= bytes && output.size() >= bytes) {
        std::memcpy(work_.pixels.data(), input.data(), bytes);
        hasPicture_ = true;
        ApplyDisplayRules(frame);
        if (showText_ && (displayMode_ == 0 || countdown_ > 0)) {
            texts_.build(settings_, frame, line1_, line2_);
            if (drawFont_) {
                const bool stale = maskGeneration_ != fontGeneration_;
                if (stale || mask1_.text != line1_) drawFont_->renderMask(line1_, mask1_);
                if (stale || mask2_.text != line2_) drawFont_->renderMask(line2_, mask2_);
                maskGeneration_ = fontGeneration_;
                const int h = std::abs(FontHeightForSize(fontSize_));
                const OverlayGeometry g = OverlayLinePositions(layout_, width_, height_, horizontal_,
                                                               vertical_, h, mask1_.advance, mask2_.advance);
                geometry_ = g;
                DrawLine(mask1_, g.X1, g.Y1);
                DrawLine(mask2_, g.X2, g.Y2);
            }
        }
        if (deinterlace_) {
            deinterlacer_.DeinterlaceBitmap(work_, snapshot_);
            std::memcpy(output.data(), snapshot_.pixels.data(), bytes);
        } else {
            std::memcpy(output.data(), work_.pixels.data(), bytes);
        }
        ok = true;
    }
    if (!frameShown_.load(std::memory_order_acquire)) {
        if (!(deinterlace_ && ok) && hasPicture_) deinterlacer_.DeinterlaceBitmap(work_, snapshot_);
        frameShown_.store(true, std::memory_order_release);
    }
    ++sampleCount_;
    return ok;
}

void Tdv_Superposer::Stretch(const BgrPicture& from, BgrPicture& to) {
    if (to.width <= 0 || to.height <= 0) return;
    if (to.stride != BgrPicture::StrideFor(to.width) || to.pixels.size() < to.stride * size_t(to.height))
        to.resize(to.width, to.height);
    for (int y = 0; y < to.height; ++y) {
        const int sy = static_cast<int>(int64_t(y) * from.height / to.height);
        const uint8_t* source = from.rowFromTop(sy);
        uint8_t* target = to.rowFromTop(y);
        for (int x = 0; x < to.width; ++x) {
            const int sx = static_cast<int>(int64_t(x) * from.width / to.width);
            std::memcpy(target + 3 * size_t(x), source + 3 * size_t(sx), 3);
        }
    }
}

bool Tdv_Superposer::CopySnapshot(BgrPicture& target) const {
    std::lock_guard lock(mutex_);
    if (!hasPicture_) return false;
    Stretch(snapshot_, target);
    return true;
}

bool Tdv_Superposer::CopyDeinterlaced(BgrPicture& target) {
    std::lock_guard lock(mutex_);
    if (!hasPicture_) return false;
    deinterlacer_.DeinterlaceBitmap(work_, snapshot_);
    Stretch(snapshot_, target);
    return true;
}

}  // namespace velinor
