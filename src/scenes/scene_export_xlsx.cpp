#include <xlsxwriter.h>

#include <algorithm>
#include <map>

#include "media/datetime_format.h"
#include "platform/atomic_file.h"
#include "platform/utf16.h"
#include "scenes/office_parts.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

// Rows and columns are 0-based here: the headings are on row index 6 (sheet row 7), columns
// B to I are indexes 1 to 8.
constexpr lxw_row_t kHeadingRow = 6;
constexpr lxw_col_t kFirstColumn = 1;
constexpr lxw_col_t kLastColumn = 8;
constexpr const char* kHeadings[] = {"Numéro",   "Début",    "Fin",   "Durée",
                                     "Datecode", "Timecode", "Titre", "Sous-titre"};

// RGB values.
constexpr lxw_color_t kHeadingText = 0x0000FF;
constexpr lxw_color_t kHeadingFill = 0xFAFA80;
constexpr lxw_color_t kGreyRow = 0xD0D0D0;

// Excel's page header and footer texts: "&" introduces a code and a text holds 255 characters.
std::string headerText(const std::string& text) {
    std::string out;
    for (const char c : text) out += (c == '&') ? std::string("&&") : std::string(1, c);
    return out;
}
constexpr size_t kHeaderLimit = 255;

size_t displayLength(const std::string& text) {
    return Utf8ToUtf16(text).size();
}

class Formats {
public:
    explicit Formats(lxw_workbook* workbook) : workbook_(workbook) {}
    enum : unsigned { Heading = 1, Grey = 2, Left = 4, Right = 8, Top = 16, Bottom = 32, Wrap = 64 };
    lxw_format* get(unsigned key) {
        const auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        lxw_format* f = workbook_add_format(workbook_);
        if (key & Heading) {
            format_set_font_color(f, kHeadingText);
            format_set_bg_color(f, kHeadingFill);
            format_set_font_size(f, 12);
        }
        if (key & Grey) format_set_bg_color(f, kGreyRow);
        if (key & Left) format_set_left(f, LXW_BORDER_THIN);
        if (key & Right) format_set_right(f, LXW_BORDER_THIN);
        if (key & Top) format_set_top(f, LXW_BORDER_THIN);
        if (key & Bottom) format_set_bottom(f, LXW_BORDER_THIN);
        if (key & Wrap) format_set_text_wrap(f);
        format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
        cache_[key] = f;
        return f;
    }

private:
    lxw_workbook* workbook_;
    std::map<unsigned, lxw_format*> cache_;
};

}  // namespace

bool TWriteExcel::Finish() {
    AtomicFile file;
    if (!file.Open(outputPath_) || !file.CloseForNamedWrite()) {
        error_ = file.error();
        return false;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(file.temporaryPath().c_str(), &options);
    if (workbook == nullptr) {
        error_ = "Impossible de créer le classeur " + outputPath_;
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Feuil1");
    Formats formats(workbook);
    const std::string lowerPath = LowerCaseText(videoPath_);

    std::string header = "&C" + headerText(lowerPath);
    if (header.size() > kHeaderLimit) header = "&C" + headerText(FileNameOf(lowerPath, true));
    if (header.size() <= kHeaderLimit) worksheet_set_header(sheet, header.c_str());
    const std::string exported =
        "exportée par " + info_.programName + " version " + info_.version + " " + info_.language;
    std::string footer = "&L" + headerText("Liste des scènes du fichier:\n" + lowerPath + "\n" + exported) +
                         "&RPage &P sur &T";
    if (footer.size() > kHeaderLimit) footer = "&L" + headerText(exported) + "&RPage &P sur &T";
    worksheet_set_footer(sheet, footer.c_str());
    worksheet_set_landscape(sheet);
    worksheet_set_paper(sheet, 9);  // A4

    lxw_format* pathFormat = workbook_add_format(workbook);
    format_set_font_color(pathFormat, kHeadingText);
    format_set_font_size(pathFormat, 12);
    format_set_bold(pathFormat);
    worksheet_write_string(sheet, 3, 0, lowerPath.c_str(), pathFormat);

    const lxw_row_t lastRow = kHeadingRow + lxw_row_t(scenes_.size());
    std::vector<size_t> widths(kLastColumn + 1, 0);
    auto cellFormat = [&](lxw_row_t row, lxw_col_t col, unsigned base) {
        unsigned key = base | Formats::Left;
        if (col == kLastColumn) key |= Formats::Right | Formats::Wrap;
        if (row == kHeadingRow) key |= Formats::Top | Formats::Bottom;
        if (row == lastRow) key |= Formats::Bottom;
        return formats.get(key);
    };
    auto write = [&](lxw_row_t row, lxw_col_t col, const std::string& text, unsigned base) {
        widths[col] = std::max(widths[col], displayLength(text));
        worksheet_write_string(sheet, row, col, text.c_str(), cellFormat(row, col, base));
    };
    for (lxw_col_t c = kFirstColumn; c <= kLastColumn; ++c)
        write(kHeadingRow, c, kHeadings[c - kFirstColumn], Formats::Heading);
    // Values are text cells, so that times, dates and numbers stay as typed.
    for (size_t i = 0; i < scenes_.size(); ++i) {
        const TSceneClass& s = scenes_[i];
        const lxw_row_t row = kHeadingRow + 1 + lxw_row_t(i);
        const unsigned base = (i % 2 == 1) ? unsigned(Formats::Grey) : 0u;
        const std::string values[] = {std::to_string(s.Numero), s.TimeStamp,    s.TimeStampFin, s.Duree,
                                      s.DatecodeText,           s.TimecodeText, s.Titre,        s.SousTitre};
        for (lxw_col_t c = kFirstColumn; c <= kLastColumn; ++c) write(row, c, values[c - kFirstColumn], base);
    }
    const std::string done = "Terminé le " + FormatDateTime("dddddd 'à' hh:mm:ss", info_.now);
    worksheet_write_string(sheet, lastRow + 2, 0, done.c_str(), nullptr);
    worksheet_write_string(sheet, lastRow + 3, 0, PromotionalLine().c_str(), nullptr);
    for (lxw_col_t c = kFirstColumn; c <= kLastColumn; ++c) {
        const size_t cap = c == kLastColumn ? 60 : 100;
        worksheet_set_column(sheet, c, c, double(std::min(widths[c], cap) + 2), nullptr);
    }

    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR) {
        error_ = "Erreur d'écriture du classeur " + outputPath_ + " : " + lxw_strerror(result);
        return false;
    }
    if (!file.Commit()) {
        error_ = file.error();
        return false;
    }
    return true;
}

}  // namespace velinor
