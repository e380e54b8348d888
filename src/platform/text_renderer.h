#pragma once
// Text drawn with FreeType on 24-bit BGR pictures, fonts chosen through fontconfig. A Font may be
// shared by threads: measuring and drawing take its own lock, and opening a font takes the
// process-wide one, so filters draw on their streaming threads while the UI measures.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velinor {

// No font file could be found or opened for a family.
class FontError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A font as the settings describe it. `Height` is in pixels with the sign convention of the
// Windows font API: positive counts the whole character cell (ascent + descent), negative the
// em height only.
struct FontChoice {
    std::string Family = "Arial";
    int Height = 16;
    uint32_t Color = 0xFFFFFF;  // 0xRRGGBB
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    bool operator==(const FontChoice&) const = default;
};

// The pixel height for a size in points at 96 pixels per inch, rounded as the Windows API does:
// a negative size (a cell in points) gives a positive height (a cell in pixels), so -21 gives 28.
int FontHeightForSize(int points);

// A picture the renderer draws on: 3 bytes B, G, R per pixel, `stride` bytes per row (at least
// 3 x width), rows bottom-up in memory unless `topDown`. Coordinates are always from the top.
struct BgrImageView {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
    bool topDown = false;

    uint8_t* row(int yFromTop) const {
        const int memoryRow = topDown ? yFromTop : height - 1 - yFromTop;
        return pixels + stride * static_cast<size_t>(memoryRow);
    }
};

// One line of text rendered once into a coverage mask, to be drawn many times (outlines).
struct TextMask {
    int originX = 0;  // where mask column 0 falls, relative to the x the text is drawn at
    int originY = 0;  // where mask row 0 falls, relative to the top of the character cell
    int width = 0;
    int height = 0;
    int advance = 0;                // the text's width, as measured
    std::vector<uint8_t> coverage;  // width x height, rows top-down, 0 transparent to 255 opaque
    std::string text;               // what was rendered, so callers can keep the mask while it matches
};

class Font {
public:
    // Resolves the family through fontconfig ("Arial" gives the metric-compatible Liberation
    // Sans) with the requested weight and slant. Throws FontError.
    explicit Font(const FontChoice& recipe);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const FontChoice& recipe() const { return spec_; }
    const std::string& fileName() const { return file_; }
    const std::string& familyName() const { return family_; }

    // The character cell: ascent + descent, in pixels; the baseline lies `ascent()` below the top.
    int lineHeight() const { return ascent_ + descent_; }
    int ascent() const { return ascent_; }

    // Sum of the glyph advances of UTF-8 text, in whole pixels (no kerning, like the platform's
    // text extent). Invalid UTF-8 bytes count as U+FFFD.
    int textWidth(std::string_view utf8) const;

    // Renders `utf8`, underline and strike-out included, into `mask`, reusing its buffer.
    void renderMask(std::string_view utf8, TextMask& mask) const;

    // Blends `mask` in `color` (0xRRGGBB) with the top-left of its cell at (x, y); what falls
    // outside the picture is clipped. The background is left as it is.
    static void drawMask(const BgrImageView& picture, int x, int y, const TextMask& mask, uint32_t color);

    // Renders and draws in the font's colour in one go.
    void draw(const BgrImageView& picture, int x, int y, std::string_view utf8) const;

private:
    struct Glyph;
    struct Impl;
    const Glyph& glyph(char32_t codepoint) const;  // with mutex_ held

    FontChoice spec_;
    std::string file_;
    std::string family_;
    int ascent_ = 0;
    int descent_ = 0;
    int underlinePosition_ = 0;  // below the baseline, pixels
    int strikePosition_ = 0;     // above the baseline, pixels
    int lineThickness_ = 1;
    mutable std::mutex mutex_;
    std::unique_ptr<Impl> impl_;
};

// Code points of UTF-8 text; an invalid byte gives U+FFFD and decoding goes on after it.
std::u32string DecodeUtf8(std::string_view utf8);

}  // namespace velinor
