#include "scenes/list_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "media/datetime_format.h"
#include "media/fpsunit.h"
#include "platform/atomic_file.h"
#include "platform/utf16.h"

namespace velinor {

const char* const kExportColumnIds[18] = {
    "ShortName",    "FileName",       "CreationDate", "ModifyDate", "FileSize", "CaptureDate",
    "CaptureTime",  "Codec",          "ImageFormat",  "Duration",   "Fps",      "AudioFormat",
    "AudioBitRate", "TimeDifference", "HasScn",       "HasSrt",     "Timecode", "VTimestamp"};

namespace {

constexpr int kFileSizeColumn = 5;
constexpr int kDurationColumn = 10;

std::string codecText(const ExportedFile& f) {
    std::string text;
    const bool printable = f.Codec.size() >= 4 && std::all_of(f.Codec.begin(), f.Codec.begin() + 4,
                                                              [](char c) { return uint8_t(c) >= 32; });
    if (printable) text = f.Codec.substr(0, 4);
    if (f.IsDV) {
        if (f.DVType == 1)
            text += " (type 1)";
        else if (f.DVType == 2)
            text += f.Iavs ? " (type 2 iavs)" : " (type 2)";
        else
            text += " (atypique)";
    }
    return text;
}

// The shortest decimal text that reads back as the same rate, with the French decimal comma.
std::string rateText(double fps) {
    char buffer[40];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, fps);
        if (std::strtod(buffer, nullptr) == fps) break;
    }
    std::string text = buffer;
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string csvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string out = "\"";
    for (const char c : value) out += (c == '"') ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string lastFolderName(const std::string& folder) {
    std::string f = folder;
    while (!f.empty() && f.back() == '/') f.pop_back();
    const auto slash = f.rfind('/');
    return slash == std::string::npos ? f : f.substr(slash + 1);
}

}  // namespace

std::string ExportColumnValue(const ExportedFile& f, int index) {
    switch (index) {
        case 1:
            return f.BaseName;
        case 2:
            return f.FileName;
        case 3:
            return FormatDateTime("ddddd tt", f.Created);
        case 4:
            return FormatDateTime("ddddd tt", f.Modified);
        case 5:
            return GroupedSize(f.Size);
        case 6:
            return f.DatecodeValue > 0 ? FormatDateTime("ddddd", f.DatecodeValue) : " - ";
        case 7:
            return f.DatecodeValue > 0 ? FormatDateTime("tt", f.DatecodeValue) : " - ";
        case 8:
            return codecText(f);
        case 9:
            return f.ImageText + f.AspectText;
        case 10:
            return f.DurationText;
        case 11:
            return f.Fps > 0 ? rateText(f.Fps) : std::string();
        case 12:
            return f.AudioText;
        case 13:
            return f.AudioFormatText;
        case 14:
            if (f.Decalage == 0) return {};
            return f.Decalage > 0 ? "+" + f.DecalageText : f.DecalageText;
        case 15:
            return f.HasScn ? "scn" : "";
        case 16:
            return f.HasSrt ? "srt" : "";
        case 17:
            return f.TimecodeText;
        case 18:
            return f.ListTimestamp.empty() ? "0:00:00:00" : f.ListTimestamp;
        default:
            return {};
    }
}

std::string SpreadsheetColumnName(int index) {
    std::string name;
    for (int n = index + 1; n > 0; n = (n - 1) / 26) name.insert(name.begin(), char('A' + (n - 1) % 26));
    return name;
}

std::string GroupedSize(uint64_t size) {
    const std::string digits = std::to_string(size);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += "\u00A0";
        out += digits[i];
    }
    return out;
}

void ComputeListTimestamps(const std::vector<ExportedFile*>& files) {
    if (files.empty()) return;
    double rate = 0;
    for (const ExportedFile* f : files) {
        if (rate == 0)
            rate = f->Fps;
        else if (rate > 0 && f->Fps != rate)
            rate = -1;
    }
    int64_t total = 0;
    for (ExportedFile* f : files) {
        if (rate > 0) {
            f->ListTimestamp = FramePositionDotted(int32_t(std::min<int64_t>(total, INT32_MAX)), rate);
            total += f->FrameCount;
        } else {
            f->ListTimestamp.clear();
        }
    }
}

std::string CommonFolderName(const std::vector<const ExportedFile*>& files) {
    if (files.empty()) return {};
    const std::string name = lastFolderName(files.front()->Folder);
    for (const ExportedFile* f : files)
        if (lastFolderName(f->Folder) != name) return {};
    return name;
}

std::string DefaultExportName(const std::vector<const ExportedFile*>& files, Datecode now) {
    const std::string date = FormatDateTime("dd-mm-yyyy", now);
    const std::string common = CommonFolderName(files);
    if (!common.empty()) return "Velinor Export de [" + common + "] " + date;
    return "Excel Export de Velinor " + date;
}

std::string NumberedName(const std::string& path) {
    const auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    const std::string base = path.substr(0, dot), extension = path.substr(dot);
    std::error_code ec;
    for (int k = 1;; ++k) {
        char number[16];
        std::snprintf(number, sizeof number, "_%.3d", k);
        const std::string candidate = base + number + extension;
        if (!std::filesystem::exists(candidate, ec)) return candidate;
    }
}

TExportMode::TExportMode(std::string path, const std::vector<std::string>& selected)
    : path_(std::move(path)) {
    for (const auto& id : selected)
        for (int i = 0; i < 18; ++i)
            if (id == kExportColumnIds[i]) columns_.push_back(i + 1);
}

bool TCSVExportMode::Start() {
    if (columns_.empty()) return true;
    std::string line;
    for (size_t i = 0; i < columns_.size(); ++i)
        line += (i ? "," : "") + csvField(kExportColumnIds[columns_[i] - 1]);
    lines_.push_back(line);
    return true;
}

bool TCSVExportMode::Row(const ExportedFile& file) {
    if (columns_.empty()) return true;
    std::string line;
    for (size_t i = 0; i < columns_.size(); ++i)
        line += (i ? "," : "") + csvField(ExportColumnValue(file, columns_[i]));
    lines_.push_back(line);
    return true;
}

bool TCSVExportMode::Finish() {
    AtomicFile file;
    bool written = file.Open(path_);
    for (const auto& line : lines_) written = written && file.Write(line + "\r\n");
    written = written && file.Commit();
    lines_.clear();
    if (!written) error_ = file.error();
    return written;
}

TExcelExportMode::TExcelExportMode(std::string path, const std::vector<std::string>& selected, Datecode now)
    : TExportMode(std::move(path), selected), now_(now) {}

bool TExcelExportMode::Start() {
    started_ = true;
    return true;
}

bool TExcelExportMode::Row(const ExportedFile& file) {
    std::vector<std::string> values;
    for (const int c : columns_) values.push_back(ExportColumnValue(file, c));
    rows_.push_back(std::move(values));
    short_.push_back(file.Duration < kUnitsPerSecond);
    return true;
}

bool TExcelExportMode::Finish() {
    if (!started_) return false;
    AtomicFile file;
    if (!file.Open(path_) || !file.CloseForNamedWrite()) {
        error_ = file.error();
        return false;
    }
    lxw_workbook* workbook = workbook_new(file.temporaryPath().c_str());
    if (workbook == nullptr) {
        error_ = "Impossible de créer le classeur " + path_;
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Feuil1");
    worksheet_set_header(sheet, "&CListe des Vidéos chargées dans Velinor");
    const std::string footer = "&LPage &P sur &T&RRéalisé le " + FormatDateTime("dddddd 'à' hh:mm:ss", now_);
    worksheet_set_footer(sheet, footer.c_str());

    // Formats by row kind (heading, plain, grey, pink) and alignment (right or left indented).
    enum Kind { Heading, Plain, Grey, Pink };
    lxw_format* formats[4][2];
    for (int kind = 0; kind < 4; ++kind)
        for (int right = 0; right < 2; ++right) {
            lxw_format* f = workbook_add_format(workbook);
            if (right) {
                format_set_align(f, LXW_ALIGN_RIGHT);
            } else {
                format_set_align(f, LXW_ALIGN_LEFT);
                format_set_indent(f, 1);
            }
            if (kind == Heading) format_set_bg_color(f, 0xFFFFCC), format_set_bold(f);
            if (kind == Grey) format_set_bg_color(f, 0xD0D0D0);
            if (kind == Pink) format_set_bg_color(f, 0xFFBEBE);
            formats[kind][right] = f;
        }
    std::vector<size_t> widths(columns_.size(), 0);
    auto write = [&](lxw_row_t row, size_t i, const std::string& text, int kind) {
        const int c = columns_[i];
        const int right = (c == kFileSizeColumn || c == kDurationColumn) ? 1 : 0;
        widths[i] = std::max(widths[i], Utf8ToUtf16(text).size());
        worksheet_write_string(sheet, row, lxw_col_t(i + 1), text.c_str(), formats[kind][right]);
    };
    for (size_t i = 0; i < columns_.size(); ++i) write(6, i, kExportColumnIds[columns_[i] - 1], Heading);
    for (size_t r = 0; r < rows_.size(); ++r) {
        const int kind = short_[r] ? Pink : (r % 2 == 1 ? Grey : Plain);
        for (size_t i = 0; i < columns_.size(); ++i) write(lxw_row_t(7 + r), i, rows_[r][i], kind);
    }
    for (size_t i = 0; i < columns_.size(); ++i)
        worksheet_set_column(sheet, lxw_col_t(i + 1), lxw_col_t(i + 1),
                             double(std::min<size_t>(widths[i], 100) + 3), nullptr);
    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR) {
        error_ = "Erreur d'écriture du classeur " + path_ + " : " + lxw_strerror(result);
        return false;
    }
    if (!file.Commit()) {
        error_ = file.error();
        return false;
    }
    return true;
}

bool RunListExport(TExportMode& mode, const std::vector<const ExportedFile*>& files, std::string& error) {
    if (!mode.Start()) {
        mode.Finish();
        error = mode.error();
        return false;
    }
    for (const ExportedFile* f : files)
        if (!mode.Row(*f)) break;
    if (!mode.Finish()) {
        error = mode.error();
        return false;
    }
    return true;
}

}  // namespace velinor
