#include "platform/text_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace velinor {

namespace {

// FreeType needs face creation and release serialised on its library object; fontconfig's
// matching is not documented as thread-safe either. One lock covers both.
std::mutex& LibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0) throw FontError("FreeType ne peut pas démarrer");
        return created;
    }();
    return library;
}

int Round26_6(FT_Pos value) {
    return static_cast<int>(std::lround(static_cast<double>(value) / 64.0));
}

struct Match {
    std::string file;
    int index = 0;
    std::string family;
};

// The process's font configuration, loaded once and released at exit.
FcConfig* Config() {
    static FcConfig* config = [] {
        FcConfig* loaded = FcInitLoadConfigAndFonts();
        if (loaded)
            std::atexit([] {
                FcConfigDestroy(Config());
                FcFini();
            });
        return loaded;
    }();
    return config;
}

Match MatchFont(const FontChoice& recipe) {
    FcConfig* config = Config();
    if (!config) throw FontError("fontconfig ne peut pas démarrer");
    FcPattern* pattern = FcPatternCreate();
    const std::string family = recipe.Family.empty() ? std::string("sans-serif") : recipe.Family;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, recipe.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, recipe.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!found) throw FontError("aucune police pour « " + family + " »");
    Match match;
    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch)
        match.file = reinterpret_cast<char*>(file);
    if (FcPatternGetString(found, FC_FAMILY, 0, &name) == FcResultMatch)
        match.family = reinterpret_cast<char*>(name);
    FcPatternGetInteger(found, FC_INDEX, 0, &match.index);
    FcPatternDestroy(found);
    if (match.file.empty()) throw FontError("aucune police pour « " + family + " »");
    return match;
}

}  // namespace

struct Font::Glyph {
    int left = 0;  // from the pen to the bitmap's first column
    int top = 0;   // from the baseline up to the bitmap's first row
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<uint8_t> bitmap;  // width x rows, top-down
};

struct Font::Impl {
    FT_Face face = nullptr;
    std::unordered_map<char32_t, Glyph> glyphs;
    std::u32string scratch;
};

int FontHeightForSize(int points) {
    // MulDiv(points, 96, 72) rounds half away from zero.
    const long long scaled = static_cast<long long>(points) * 96;
    const long long rounded = scaled >= 0 ? (scaled + 36) / 72 : (scaled - 36) / 72;
    return static_cast<int>(-rounded);
}

std::u32string DecodeUtf8(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + static_cast<size_t>(extra) >= utf8.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

Font::Font(const FontChoice& recipe) : spec_(recipe), impl_(std::make_unique<Impl>()) {
    std::lock_guard lock(LibraryMutex());
    const Match match = MatchFont(recipe);
    file_ = match.file;
    family_ = match.family;
    if (FT_New_Face(Library(), file_.c_str(), match.index, &impl_->face) != 0)
        throw FontError("police illisible : " + file_);
    FT_Face face = impl_->face;
    const int height = recipe.Height == 0 ? 16 : std::abs(recipe.Height);
    FT_Size_RequestRec request{};
    request.type = recipe.Height > 0 ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
    request.height = static_cast<FT_Long>(height) * 64;
    if (FT_Request_Size(face, &request) != 0) {
        FT_Done_Face(face);
        impl_->face = nullptr;
        throw FontError("taille de police refusée : " + file_);
    }
    const FT_Size_Metrics& metrics = face->size->metrics;
    const FT_Fixed yScale = metrics.y_scale;
    ascent_ = Round26_6(FT_MulFix(face->ascender, yScale));
    const int cell =
        recipe.Height > 0 ? height : Round26_6(FT_MulFix(face->ascender - face->descender, yScale));
    descent_ = std::max(0, cell - ascent_);
    lineThickness_ = std::max(1, Round26_6(FT_MulFix(face->underline_thickness, yScale)));
    underlinePosition_ = std::max(1, Round26_6(FT_MulFix(-face->underline_position, yScale)));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    strikePosition_ = os2 && os2->yStrikeoutPosition > 0
                          ? Round26_6(FT_MulFix(os2->yStrikeoutPosition, yScale))
                          : ascent_ / 3;
}

Font::~Font() {
    if (impl_ && impl_->face) {
        std::lock_guard lock(LibraryMutex());
        FT_Done_Face(impl_->face);
    }
}

const Font::Glyph& Font::glyph(char32_t codepoint) const {
    auto found = impl_->glyphs.find(codepoint);
    if (found != impl_->glyphs.end()) return found->second;
    Glyph glyph;
    FT_Face face = impl_->face;
    if (FT_Load_Char(face, codepoint, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.advance = Round26_6(slot->advance.x);
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.buffer) {
            glyph.width = static_cast<int>(bitmap.width);
            glyph.rows = static_cast<int>(bitmap.rows);
            glyph.bitmap.resize(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.rows));
            for (int r = 0; r < glyph.rows; ++r) {
                const unsigned char* source =
                    bitmap.pitch >= 0
                        ? bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch
                        : bitmap.buffer + static_cast<ptrdiff_t>(glyph.rows - 1 - r) * -bitmap.pitch;
                std::memcpy(glyph.bitmap.data() + static_cast<size_t>(r) * static_cast<size_t>(glyph.width),
                            source, static_cast<size_t>(glyph.width));
            }
        }
    }
    return impl_->glyphs.emplace(codepoint, std::move(glyph)).first->second;
}

int Font::textWidth(std::string_view utf8) const {
    std::lock_guard lock(mutex_);
    impl_->scratch = DecodeUtf8(utf8);
    int width = 0;
    for (const char32_t cp : impl_->scratch) width += glyph(cp).advance;
    return width;
}

void Font::renderMask(std::string_view utf8, TextMask& mask) const {
    std::lock_guard lock(mutex_);
    impl_->scratch = DecodeUtf8(utf8);
    const std::u32string& text = impl_->scratch;
    // Extent first: the cell, every glyph's bitmap and the lines.
    int minX = 0, maxX = 0, minY = 0, maxY = lineHeight();
    int pen = 0;
    for (const char32_t cp : text) {
        const Glyph& g = glyph(cp);
        if (g.width > 0 && g.rows > 0) {
            minX = std::min(minX, pen + g.left);
            maxX = std::max(maxX, pen + g.left + g.width);
            minY = std::min(minY, ascent_ - g.top);
            maxY = std::max(maxY, ascent_ - g.top + g.rows);
        }
        pen += g.advance;
    }
    maxX = std::max(maxX, pen);
    if (spec_.Underline) maxY = std::max(maxY, ascent_ + underlinePosition_ + lineThickness_);
    mask.originX = minX;
    mask.originY = minY;
    mask.width = maxX - minX;
    mask.height = maxY - minY;
    mask.advance = pen;
    mask.text.assign(utf8);
    mask.coverage.assign(static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height), 0);
    const auto at = [&mask](int x, int y) -> uint8_t& {
        return mask.coverage[static_cast<size_t>(y - mask.originY) * static_cast<size_t>(mask.width) +
                             static_cast<size_t>(x - mask.originX)];
    };
    pen = 0;
    for (const char32_t cp : text) {
        const Glyph& g = glyph(cp);
        for (int r = 0; r < g.rows; ++r) {
            const uint8_t* source = g.bitmap.data() + static_cast<size_t>(r) * static_cast<size_t>(g.width);
            for (int c = 0; c < g.width; ++c) {
                uint8_t& cell = at(pen + g.left + c, ascent_ - g.top + r);
                cell = std::max(cell, source[c]);
            }
        }
        pen += g.advance;
    }
    const auto line = [&](int top) {
        for (int y = top; y < top + lineThickness_; ++y) {
            if (y < mask.originY || y >= mask.originY + mask.height) continue;
            for (int x = 0; x < pen; ++x) at(x, y) = 255;
        }
    };
    if (spec_.Underline) line(ascent_ + underlinePosition_ - lineThickness_ / 2);
    if (spec_.StrikeOut) line(ascent_ - strikePosition_ - lineThickness_ / 2);
}

void Font::drawMask(const BgrImageView& picture, int x, int y, const TextMask& mask, uint32_t color) {
    const int blue = static_cast<int>(color & 0xFF);
    const int green = static_cast<int>((color >> 8) & 0xFF);
    const int red = static_cast<int>((color >> 16) & 0xFF);
    const int left = x + mask.originX;
    const int top = y + mask.originY;
    const int c0 = std::max(0, -left);
    const int c1 = std::min(mask.width, picture.width - left);
    const int r0 = std::max(0, -top);
    const int r1 = std::min(mask.height, picture.height - top);
    for (int r = r0; r < r1; ++r) {
        const uint8_t* coverage =
            mask.coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(mask.width);
        uint8_t* row = picture.row(top + r);
        for (int c = c0; c < c1; ++c) {
            const int a = coverage[c];
            if (a == 0) continue;
            uint8_t* pixel = row + 3 * static_cast<size_t>(left + c);
            if (a == 255) {
                pixel[0] = static_cast<uint8_t>(blue);
                pixel[1] = static_cast<uint8_t>(green);
                pixel[2] = static_cast<uint8_t>(red);
                continue;
            }
            const int keep = 255 - a;
            pixel[0] = static_cast<uint8_t>((pixel[0] * keep + blue * a + 127) / 255);
            pixel[1] = static_cast<uint8_t>((pixel[1] * keep + green * a + 127) / 255);
            pixel[2] = static_cast<uint8_t>((pixel[2] * keep + red * a + 127) / 255);
        }
    }
}

void Font::draw(const BgrImageView& picture, int x, int y, std::string_view utf8) const {
    TextMask mask;
    renderMask(utf8, mask);
    drawMask(picture, x, y, mask, spec_.Color);
}

}  // namespace velinor
