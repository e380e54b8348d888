#pragma once
// The datecode overlay: draws the two text lines of the current DV frame on each decoded picture,
// optionally removes combing, and keeps a snapshot of a recent picture for thumbnails and copies.
// Pictures are 24-bit BGR, or the DV codec's own YUV planes, so that a burn-in that goes from the
// decoder to the encoder converts no colours and leaves every pixel outside the text as it was.
//
// Transform runs on the streaming thread. The setters, StartStreaming, the snapshot copies and
// FrameShown may be called from any thread: every one of them takes the instance's lock, which
// Transform holds for the whole picture, so drawing and copying never interleave.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "filters/deinterlace.h"
#include "filters/dv_scene_detect.h"
#include "filters/overlay_texts.h"
#include "graph/dv_codec.h"
#include "platform/text_renderer.h"

namespace velinor {

// The overlay font as the settings hold it: `Size` in points, negative for a character cell
// (Windows convention), so -21 is a 28-pixel cell.
struct OverlayFont {
    std::string Name = "Arial";
    int Size = -21;
    uint32_t Color = 0xFFFFFF;  // 0xRRGGBB
    bool Bold = true;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    bool operator==(const OverlayFont&) const = default;
};

// Where the two lines went on the latest picture: top-left corners of their cells, from the top.
struct OverlayGeometry {
    int LineHeight = 0;
    int X1 = 0, Y1 = 0, W1 = 0;
    int X2 = 0, Y2 = 0, W2 = 0;
};

// A rectangle of the picture, from the top.
struct OverlayBox {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// The two line positions for a picture of `width` x `height`, the anchor in per mille, the line
// height and the two text widths.
OverlayGeometry OverlayLinePositions(int layout, int width, int height, int horizontal, int vertical,
                                     int lineHeight, int width1, int width2);

// The extent of a line's ink around the top-left corner of its cell: columns [Left, Right) and
// rows [Top, Bottom), the outline not included.
struct OverlayInk {
    int Left = 0, Right = 0, Top = 0, Bottom = 0;
};
// The ink of a rendered line whose cell is `lineHeight` high: its mask, or its advance when that
// reaches further.
OverlayInk InkOf(const TextMask& mask, int lineHeight);
// Moves both lines together, left or up (right or down at the other edges), just enough for
// their ink and `border` pixels of outline to stay inside a picture of `width` x `height`. A
// block that fits is left where it is; one wider or taller than the picture starts at its left
// or top edge.
OverlayGeometry KeepOverlayInside(OverlayGeometry g, int width, int height, const OverlayInk& ink1,
                                  const OverlayInk& ink2, int border);

// Draws `mask` in `color` at every offset up to `size` pixels across and down from (x, y), the
// outline behind a line of text. The pixels are those of drawing the mask (size x 2 + 1)^2
// times, rows of offsets from the top, each row from the left, in one pass over the picture.
void DrawTextOutline(const BgrImageView& picture, int x, int y, const TextMask& mask, int size,
                     uint32_t color);

class Tdv_Superposer {
public:
    static constexpr const char* kName = "Morvane cf_Superposer";
    static constexpr uint32_t kBorderColor = 0x000000;

    // `detector` sits upstream on the same graph and outlives this filter.
    explicit Tdv_Superposer(Tdv_sceneDetect& detector,
                            OverlayTextSettingsStore* settings = &SharedOverlayTextSettings());
    Tdv_Superposer(const Tdv_Superposer&) = delete;
    Tdv_Superposer& operator=(const Tdv_Superposer&) = delete;

    // Copies the font; AutoFontSize becomes (font size < 0). Returns AutoFontSize. A font that
    // cannot be opened keeps the previous one for drawing.
    bool SetFont(const OverlayFont& font);
    void SetLayout(int layout);        // 0 left, 1 centred, 2 right, 3 centred on the picture
    void SetHorizontal(int perMille);  // clamped to 0-1000; layout 3 becomes 1
    void SetVertical(int perMille);    // clamped to 0-1000
    void SetShowText(bool show);
    void SetDisplayMode(int mode);
    void SetDisplaySeconds(int seconds);
    void SetBorderSize(int pixels);  // 0-5; other values are ignored
    void SetAutoFontSize(bool automatic);
    void SetDeinterlace(bool deinterlace);

    OverlayFont Font() const;
    int Layout() const;
    bool ShowText() const;
    int DisplayMode() const;
    std::optional<int> DisplaySeconds() const;
    int Horizontal() const;
    int Vertical() const;
    int BorderSize() const;
    bool AutoFontSize() const;
    int DisplayFrames() const;
    int Countdown() const;
    std::string Line1() const;
    std::string Line2() const;
    OverlayGeometry Geometry() const;
    int32_t SampleCount() const;

    // Pictures are 24-bit BGR, bottom-up, rows padded to 4 bytes, or with `planes` the DV planes
    // of that layout (then `width` and `height` must be the layout's). False when the size is not
    // positive (the connection has no picture format). `frameDuration100ns` 0 when unknown.
    bool StartStreaming(int width, int height, int64_t frameDuration100ns,
                        std::optional<DvYuvLayout> planes = std::nullopt);
    // One picture from `input` to `output`, each at least PictureBytes(). False when a picture is
    // too short (nothing is drawn); the snapshot step and the count still run. With planes, the
    // snapshot is taken only of the pictures a preview waits for (ClearFrameShown).
    bool Transform(std::span<const uint8_t> input, std::span<uint8_t> output);
    size_t PictureBytes() const;
    // With planes: the boxes outside which the latest picture is unchanged (empty when no text
    // was drawn), or nothing when it may have changed anywhere (combing removed, no picture).
    std::optional<std::array<OverlayBox, 2>> ChangedBoxes() const;

    // Stretches the snapshot over `target`'s own size (nearest pixel). False before any picture.
    bool CopySnapshot(BgrPicture& target) const;
    // Deinterlaces the current picture into the snapshot first.
    bool CopyDeinterlaced(BgrPicture& target);

    // The preview clears it and waits until a new picture went through.
    bool FrameShown() const { return frameShown_.load(std::memory_order_acquire); }
    void ClearFrameShown() { frameShown_.store(false, std::memory_order_release); }

private:
    // What drawing one line does to the pixels of its box, in YUV: each sample becomes
    // (sample x keep + add + 127) / 255. Made again when the text, font, place or colours change.
    struct LineLayer {
        std::string text;
        uint64_t generation = ~uint64_t{0};
        int x = 0, y = 0, border = 0;
        uint32_t color = 0;
        int left = 0, top = 0, width = 0, height = 0;  // luma box, from the top
        std::vector<uint8_t> keepY;
        std::vector<int32_t> addY;
        std::vector<uint8_t> keepC;  // chroma box: width / sx by height / sy
        std::vector<int32_t> addCb, addCr;
    };

    void UpdateDisplayFrames();
    void ApplyDisplayRules(const TDVFrameInfo& frame);
    void RebuildFont();
    bool PrepareLines(const TDVFrameInfo& frame);
    void DrawLine(const TextMask& mask, int x, int y);
    bool TransformPlanes(std::span<const uint8_t> input, std::span<uint8_t> output,
                         const TDVFrameInfo& frame);
    void BuildLayer(LineLayer& layer, const TextMask& mask, int x, int y);
    void ApplyLayer(const LineLayer& layer, std::span<uint8_t> planes) const;
    static void Stretch(const BgrPicture& from, BgrPicture& to);

    Tdv_sceneDetect& detector_;
    OverlayTextSettingsStore* settingsStore_;
    std::shared_ptr<const OverlayTextSettings> settings_;
    uint64_t settingsGeneration_ = 0;
    OverlayTextBuilder texts_;

    mutable std::mutex mutex_;
    OverlayFont font_;
    int fontSize_ = -21;  // the size drawn with: the font's, or the one following the width
    std::shared_ptr<velinor::Font> drawFont_;
    bool autoFontSize_ = false;
    int layout_ = 2;
    int horizontal_ = 900;
    int vertical_ = 900;
    int borderSize_ = 0;
    bool showText_ = true;
    bool deinterlace_ = false;

    int displayMode_ = 0;
    int32_t displayFrames_ = 125;
    int32_t countdown_ = 0;
    double lastDatecode_ = 0;
    std::optional<int> displaySeconds_;

    int width_ = 0;
    int height_ = 0;
    int64_t frameDuration_ = 0;
    int32_t sampleCount_ = 0;
    std::string line1_, line2_;
    TextMask mask1_, mask2_;
    uint64_t fontGeneration_ = 0;  // grows with every font swap, so masks of an older font are redrawn
    uint64_t maskGeneration_ = ~uint64_t{0};
    OverlayGeometry geometry_;

    std::optional<DvYuvLayout> planes_;
    LineLayer layer1_, layer2_;
    std::optional<std::array<OverlayBox, 2>> changedBoxes_;
    BgrPicture work_;
    BgrPicture snapshot_;
    bool hasPicture_ = false;
    Deinterlacer deinterlacer_;
    std::atomic<bool> frameShown_{false};
};

}  // namespace velinor
