#include "filters/dv_superposer.h"

#include <algorithm>
#include <climits>
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

uint8_t Clamp8(int value) {
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// BT.601 studio range, as the DV codec's planes are.
void YuvToBgr(int y, int cb, int cr, uint8_t* bgr) {
    const int c = 298 * (y - 16), d = cb - 128, e = cr - 128;
    bgr[0] = Clamp8((c + 516 * d + 128) >> 8);
    bgr[1] = Clamp8((c - 100 * d - 208 * e + 128) >> 8);
    bgr[2] = Clamp8((c + 409 * e + 128) >> 8);
}
int LumaOf(const uint8_t* bgr) {
    return ((66 * bgr[2] + 129 * bgr[1] + 25 * bgr[0] + 128) >> 8) + 16;
}
int CbOf(int b, int g, int r) {
    return ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
}
int CrOf(int b, int g, int r) {
    return ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
}

// The planes of `layout` as a bottom-up BGR picture of the same size (chroma of the nearest sample).
void PlanesToBgr(std::span<const uint8_t> planes, const DvYuvLayout& layout, BgrPicture& picture) {
    if (picture.width != layout.width || picture.height != layout.height)
        picture.resize(layout.width, layout.height);
    const int sx = layout.width / layout.chromaWidth, sy = layout.height / layout.chromaHeight;
    const uint8_t* luma = planes.data();
    const uint8_t* cb = luma + layout.lumaBytes();
    const uint8_t* cr = cb + layout.chromaBytes();
    for (int y = 0; y < layout.height; ++y) {
        uint8_t* row = picture.rowFromTop(y);
        const size_t chromaRow = static_cast<size_t>(y / sy) * static_cast<size_t>(layout.chromaWidth);
        for (int x = 0; x < layout.width; ++x) {
            const size_t c = chromaRow + static_cast<size_t>(x / sx);
            YuvToBgr(
                luma[static_cast<size_t>(y) * static_cast<size_t>(layout.width) + static_cast<size_t>(x)],
                cb[c], cr[c], row + 3 * static_cast<size_t>(x));
        }
    }
}

// Puts back into the planes the pixels that `changed` holds differently from `original` (both
// BGR of the planes' size): their luma, and the chroma of every sample one of them falls in,
// from the mean of the sample's pixels. The other samples keep their exact values.
void WriteBackChanges(const BgrPicture& original, const BgrPicture& changed, const DvYuvLayout& layout,
                      std::span<uint8_t> planes) {
    const int sx = layout.width / layout.chromaWidth, sy = layout.height / layout.chromaHeight;
    uint8_t* luma = planes.data();
    uint8_t* cb = luma + layout.lumaBytes();
    uint8_t* cr = cb + layout.chromaBytes();
    for (int cy = 0; cy < layout.chromaHeight; ++cy)
        for (int cx = 0; cx < layout.chromaWidth; ++cx) {
            bool touched = false;
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < sy; ++dy) {
                const int y = cy * sy + dy;
                const uint8_t* before = original.rowFromTop(y);
                const uint8_t* after = changed.rowFromTop(y);
                for (int dx = 0; dx < sx; ++dx) {
                    const int x = cx * sx + dx;
                    const uint8_t* a = after + 3 * static_cast<size_t>(x);
                    for (int ch = 0; ch < 3; ++ch) sum[ch] += a[ch];
                    if (std::memcmp(before + 3 * static_cast<size_t>(x), a, 3) == 0) continue;
                    touched = true;
                    luma[static_cast<size_t>(y) * static_cast<size_t>(layout.width) +
                         static_cast<size_t>(x)] = Clamp8(LumaOf(a));
                }
            }
            if (!touched) continue;
            const int n = sx * sy;
            const size_t c =
                static_cast<size_t>(cy) * static_cast<size_t>(layout.chromaWidth) + static_cast<size_t>(cx);
            const int b = (sum[0] + n / 2) / n, g = (sum[1] + n / 2) / n, r = (sum[2] + n / 2) / n;
            cb[c] = Clamp8(CbOf(b, g, r));
            cr[c] = Clamp8(CrOf(b, g, r));
        }
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

OverlayInk InkOf(const TextMask& mask, int lineHeight) {
    OverlayInk ink{0, mask.advance, 0, lineHeight};
    if (mask.width > 0 && mask.height > 0) {
        ink.Left = std::min(ink.Left, mask.originX);
        ink.Right = std::max(ink.Right, mask.originX + mask.width);
        ink.Top = std::min(ink.Top, mask.originY);
        ink.Bottom = std::max(ink.Bottom, mask.originY + mask.height);
    }
    return ink;
}

OverlayGeometry KeepOverlayInside(OverlayGeometry g, int width, int height, const OverlayInk& ink1,
                                  const OverlayInk& ink2, int border) {
    const bool has1 = ink1.Right > ink1.Left, has2 = ink2.Right > ink2.Left;
    if (!has1 && !has2) return g;
    int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
    if (has1) {
        left = g.X1 + ink1.Left, right = g.X1 + ink1.Right;
        top = g.Y1 + ink1.Top, bottom = g.Y1 + ink1.Bottom;
    }
    if (has2) {
        left = std::min(left, g.X2 + ink2.Left), right = std::max(right, g.X2 + ink2.Right);
        top = std::min(top, g.Y2 + ink2.Top), bottom = std::max(bottom, g.Y2 + ink2.Bottom);
    }
    left -= border, right += border, top -= border, bottom += border;
    int dx = 0, dy = 0;
    if (right > width) dx = width - right;
    if (left + dx < 0) dx = -left;
    if (bottom > height) dy = height - bottom;
    if (top + dy < 0) dy = -top;
    g.X1 += dx, g.X2 += dx, g.Y1 += dy, g.Y2 += dy;
    return g;
}

Tdv_Superposer::Tdv_Superposer(Tdv_sceneDetect& detector, OverlayTextSettingsStore* settings)
    : detector_(detector), settingsStore_(settings) {
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
bool Tdv_Superposer::ShowText() const {
    std::lock_guard lock(mutex_);
    return showText_;
}
int Tdv_Superposer::DisplayMode() const {
    std::lock_guard lock(mutex_);
    return displayMode_;
}
std::optional<int> Tdv_Superposer::DisplaySeconds() const {
    std::lock_guard lock(mutex_);
    return displaySeconds_;
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

bool Tdv_Superposer::StartStreaming(int width, int height, int64_t frameDuration100ns,
                                    std::optional<DvYuvLayout> planes) {
    bool resize = false;
    {
        std::lock_guard lock(mutex_);
        sampleCount_ = 0;
        if (width <= 0 || height <= 0) return false;
        if (planes && (planes->width != width || planes->height != height || planes->chromaWidth <= 0 ||
                       planes->chromaHeight <= 0 || width % planes->chromaWidth != 0 ||
                       height % planes->chromaHeight != 0))
            return false;
        width_ = width;
        height_ = height;
        planes_ = planes;
        layer1_ = LineLayer{};
        layer2_ = LineLayer{};
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

std::optional<std::array<OverlayBox, 2>> Tdv_Superposer::ChangedBoxes() const {
    std::lock_guard lock(mutex_);
    return changedBoxes_;
}

size_t Tdv_Superposer::PictureBytes() const {
    std::lock_guard lock(mutex_);
    return planes_ ? planes_->bytes() : work_.stride * static_cast<size_t>(std::max(height_, 0));
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

void DrawTextOutline(const BgrImageView& picture, int x, int y, const TextMask& mask, int size,
                     uint32_t color) {
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
        return mask
            .coverage[static_cast<size_t>(r) * static_cast<size_t>(mask.width) + static_cast<size_t>(c)];
    };
    const int c0 = std::max(0, left - size), c1 = std::min(picture.width, left + mask.width + size);
    const int r0 = std::max(0, top - size), r1 = std::min(picture.height, top + mask.height + size);
    for (int py = r0; py < r1; ++py) {
        uint8_t* row = picture.row(py);
        const uint8_t* most =
            grown.data() + static_cast<size_t>(py - top + size) * static_cast<size_t>(boxWidth);
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
                    for (int ch = 0; ch < 3; ++ch)
                        value[ch] = (value[ch] * (255 - a) + channel[ch] * a + 127) / 255;
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

bool Tdv_Superposer::PrepareLines(const TDVFrameInfo& frame) {
    ApplyDisplayRules(frame);
    if (!showText_ || (displayMode_ != 0 && countdown_ <= 0)) return false;
    texts_.build(settings_, frame, line1_, line2_);
    if (!drawFont_) return false;
    const bool stale = maskGeneration_ != fontGeneration_;
    if (stale || mask1_.text != line1_) drawFont_->renderMask(line1_, mask1_);
    if (stale || mask2_.text != line2_) drawFont_->renderMask(line2_, mask2_);
    maskGeneration_ = fontGeneration_;
    const int h = std::abs(FontHeightForSize(fontSize_));
    geometry_ = OverlayLinePositions(layout_, width_, height_, horizontal_, vertical_, h, mask1_.advance,
                                     mask2_.advance);
    // The block stays inside the picture, outline included, in the preview and the burn-in alike.
    const int border = borderSize_ > 0 ? std::min(borderSize_, 5) : 0;
    geometry_ = KeepOverlayInside(geometry_, width_, height_, InkOf(mask1_, h), InkOf(mask2_, h), border);
    return true;
}

// The line is drawn, outline and text, once over black and once over white: the black drawing
// is what the text adds to each pixel, the difference between the two how much of the picture
// stays. Blending is linear, so the same holds in YUV, where chroma takes the mean of the
// pixels each sample covers.
void Tdv_Superposer::BuildLayer(LineLayer& layer, const TextMask& mask, int x, int y) {
    const int border = borderSize_ > 0 ? std::min(borderSize_, 5) : 0;
    if (layer.generation == maskGeneration_ && layer.text == mask.text && layer.x == x && layer.y == y &&
        layer.border == border && layer.color == font_.Color)
        return;
    layer.text = mask.text;
    layer.generation = maskGeneration_;
    layer.x = x;
    layer.y = y;
    layer.border = border;
    layer.color = font_.Color;
    const DvYuvLayout& p = *planes_;
    const int sx = p.width / p.chromaWidth, sy = p.height / p.chromaHeight;
    const auto down = [](int v, int step) {
        return v >= 0 ? v / step * step : -((-v + step - 1) / step) * step;
    };
    int left = down(x + mask.originX - border, sx);
    int top = down(y + mask.originY - border, sy);
    int right = -down(-(x + mask.originX + mask.width + border), sx);
    int bottom = -down(-(y + mask.originY + mask.height + border), sy);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, p.width);
    bottom = std::min(bottom, p.height);
    layer.left = left;
    layer.top = top;
    layer.width = std::max(right - left, 0);
    layer.height = std::max(bottom - top, 0);
    if (mask.width <= 0 || mask.height <= 0 || layer.width == 0 || layer.height == 0) {
        layer.width = layer.height = 0;
        return;
    }
    BgrPicture black, white;
    black.resize(layer.width, layer.height);
    white.resize(layer.width, layer.height);
    std::fill(white.pixels.begin(), white.pixels.end(), uint8_t{255});
    for (BgrPicture* picture : {&black, &white}) {
        const BgrImageView view{picture->pixels.data(), picture->width, picture->height, picture->stride,
                                false};
        if (border > 0) DrawTextOutline(view, x - left, y - top, mask, border, kBorderColor);
        velinor::Font::drawMask(view, x - left, y - top, mask, font_.Color);
    }
    const size_t pixels = static_cast<size_t>(layer.width) * static_cast<size_t>(layer.height);
    layer.keepY.assign(pixels, 255);
    layer.addY.assign(pixels, 0);
    const int cw = layer.width / sx, ch = layer.height / sy;
    const size_t samples = static_cast<size_t>(cw) * static_cast<size_t>(ch);
    layer.keepC.assign(samples, 255);
    layer.addCb.assign(samples, 0);
    layer.addCr.assign(samples, 0);
    for (int cy = 0; cy < ch; ++cy)
        for (int cx = 0; cx < cw; ++cx) {
            int keepSum = 0;
            double sum[3] = {0, 0, 0};
            for (int dy = 0; dy < sy; ++dy) {
                const int row = cy * sy + dy;
                const uint8_t* b = black.rowFromTop(row);
                const uint8_t* w = white.rowFromTop(row);
                for (int dx = 0; dx < sx; ++dx) {
                    const int col = cx * sx + dx;
                    const size_t at = 3 * static_cast<size_t>(col);
                    // Every channel keeps the same share of the picture; green is the reference.
                    const int keep = std::clamp(w[at + 1] - b[at + 1], 0, 255);
                    const double luma = 219.0 * (0.299 * b[at + 2] + 0.587 * b[at + 1] + 0.114 * b[at]);
                    const size_t i = static_cast<size_t>(row) * static_cast<size_t>(layer.width) +
                                     static_cast<size_t>(col);
                    layer.keepY[i] = static_cast<uint8_t>(keep);
                    layer.addY[i] = 16 * (255 - keep) + static_cast<int32_t>(std::lround(luma));
                    keepSum += keep;
                    for (int c = 0; c < 3; ++c) sum[c] += b[at + static_cast<size_t>(c)];
                }
            }
            const int n = sx * sy;
            const int keep = (keepSum + n / 2) / n;
            const double blue = sum[0] / n, green = sum[1] / n, red = sum[2] / n;
            const size_t i = static_cast<size_t>(cy) * static_cast<size_t>(cw) + static_cast<size_t>(cx);
            layer.keepC[i] = static_cast<uint8_t>(keep);
            layer.addCb[i] =
                128 * (255 - keep) +
                static_cast<int32_t>(std::lround(224.0 * (-0.168736 * red - 0.331264 * green + 0.5 * blue)));
            layer.addCr[i] =
                128 * (255 - keep) +
                static_cast<int32_t>(std::lround(224.0 * (0.5 * red - 0.418688 * green - 0.081312 * blue)));
        }
}

void Tdv_Superposer::ApplyLayer(const LineLayer& layer, std::span<uint8_t> planes) const {
    if (layer.width == 0 || layer.height == 0) return;
    const DvYuvLayout& p = *planes_;
    const int sx = p.width / p.chromaWidth, sy = p.height / p.chromaHeight;
    const auto blend = [](uint8_t& sample, int keep, int32_t add) {
        if (keep == 255 && add == 0) return;
        sample = static_cast<uint8_t>(std::clamp((sample * keep + add + 127) / 255, 0, 255));
    };
    uint8_t* luma = planes.data();
    for (int r = 0; r < layer.height; ++r) {
        uint8_t* row = luma + static_cast<size_t>(layer.top + r) * static_cast<size_t>(p.width) +
                       static_cast<size_t>(layer.left);
        const size_t at = static_cast<size_t>(r) * static_cast<size_t>(layer.width);
        for (int c = 0; c < layer.width; ++c)
            blend(row[c], layer.keepY[at + static_cast<size_t>(c)], layer.addY[at + static_cast<size_t>(c)]);
    }
    const int cw = layer.width / sx, ch = layer.height / sy;
    uint8_t* cb = luma + p.lumaBytes();
    uint8_t* cr = cb + p.chromaBytes();
    for (int r = 0; r < ch; ++r) {
        const size_t offset = static_cast<size_t>(layer.top / sy + r) * static_cast<size_t>(p.chromaWidth) +
                              static_cast<size_t>(layer.left / sx);
        const size_t at = static_cast<size_t>(r) * static_cast<size_t>(cw);
        for (int c = 0; c < cw; ++c) {
            const size_t i = at + static_cast<size_t>(c);
            blend(cb[offset + static_cast<size_t>(c)], layer.keepC[i], layer.addCb[i]);
            blend(cr[offset + static_cast<size_t>(c)], layer.keepC[i], layer.addCr[i]);
        }
    }
}

bool Tdv_Superposer::Transform(std::span<const uint8_t> input, std::span<uint8_t> output) {
    const TDVFrameInfo frame = detector_.ReadLastFrame();
    if (settingsStore_->generation() != settingsGeneration_ || !settings_) {
        settingsGeneration_ = settingsStore_->generation();
        settings_ = settingsStore_->snapshot();
    }
    std::lock_guard lock(mutex_);
    if (planes_) return TransformPlanes(input, output, frame);
    bool ok = false;
    const size_t bytes = work_.stride * static_cast<size_t>(std::max(height_, 0));
    if (width_ > 0 && input.size() >= bytes && output.size() >= bytes) {
        std::memcpy(work_.pixels.data(), input.data(), bytes);
        hasPicture_ = true;
        if (PrepareLines(frame)) {
            DrawLine(mask1_, geometry_.X1, geometry_.Y1);
            DrawLine(mask2_, geometry_.X2, geometry_.Y2);
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

// The text is blended into the planes in place; the picture goes through BGR only to remove
// combing or for a preview that waits for it, and only the pixels combing changed come back.
bool Tdv_Superposer::TransformPlanes(std::span<const uint8_t> input, std::span<uint8_t> output,
                                     const TDVFrameInfo& frame) {
    const DvYuvLayout& p = *planes_;
    const size_t bytes = p.bytes();
    const bool ok = input.size() >= bytes && output.size() >= bytes;
    const bool waited = !frameShown_.load(std::memory_order_acquire);
    changedBoxes_.reset();
    if (ok) {
        if (output.data() != input.data()) std::memcpy(output.data(), input.data(), bytes);
        const std::span<uint8_t> planes = output.first(bytes);
        std::array<OverlayBox, 2> boxes{};
        if (PrepareLines(frame)) {
            BuildLayer(layer1_, mask1_, geometry_.X1, geometry_.Y1);
            BuildLayer(layer2_, mask2_, geometry_.X2, geometry_.Y2);
            ApplyLayer(layer1_, planes);
            ApplyLayer(layer2_, planes);
            boxes[0] = {layer1_.left, layer1_.top, layer1_.width, layer1_.height};
            boxes[1] = {layer2_.left, layer2_.top, layer2_.width, layer2_.height};
        }
        if (!deinterlace_) changedBoxes_ = boxes;
        if (deinterlace_ || waited) {
            PlanesToBgr(planes, p, work_);
            hasPicture_ = true;
            deinterlacer_.DeinterlaceBitmap(work_, snapshot_);
            if (deinterlace_) WriteBackChanges(work_, snapshot_, p, planes);
        }
    }
    if (waited) frameShown_.store(true, std::memory_order_release);
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
