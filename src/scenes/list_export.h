#pragma once
// The exports of the file list: a CSV file and a spreadsheet, one row per listed video in list
// order, with the columns the user chose. Run by the UI thread (or velinor-cli's) after the
// output path is chosen.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/datecode.h"

namespace velinor {

// What the exports read of a video file record.
struct ExportedFile {
    std::string BaseName;  // file name without extension
    std::string FileName;  // full path
    std::string Folder;    // folder with its trailing "/"
    Datecode Created = 0;
    Datecode Modified = 0;
    uint64_t Size = 0;
    Datecode DatecodeValue = 0;  // 0 when the file has none
    std::string Codec;           // the FourCC as read
    bool IsDV = false;
    int DVType = 0;
    bool Iavs = false;
    std::string ImageText;
    std::string AspectText;
    std::string DurationText;
    int64_t Duration = 0;  // 100 ns units
    double Fps = 0;
    uint32_t FrameCount = 0;
    std::string AudioText;
    std::string AudioFormatText;
    double Decalage = 0;  // days
    std::string DecalageText;
    bool HasScn = false;
    bool HasSrt = false;
    std::string TimecodeText;
    std::string ListTimestamp;  // set by ComputeListTimestamps
};

// The 18 column identifiers, index 1 to 18 (what the column settings store and the headings show).
extern const char* const kExportColumnIds[18];

// The value of column `index` (1-18) for one file.
std::string ExportColumnValue(const ExportedFile& file, int index);

// The spreadsheet name of the column `index` from 0: A ... Z, AA ... AZ, BA ...
std::string SpreadsheetColumnName(int index);

// "1 234 567": the size with no-break spaces between thousands.
std::string GroupedSize(uint64_t size);

// Each file's position if the list were played in order, when every file with a frame rate has
// the same one; otherwise every ListTimestamp is cleared.
void ComputeListTimestamps(const std::vector<ExportedFile*>& files);

// The last folder name shared by every file, or empty.
std::string CommonFolderName(const std::vector<const ExportedFile*>& files);

// "Velinor Export de [X] dd-mm-yyyy" with a common folder name X, else
// "Excel Export de Velinor dd-mm-yyyy" (without extension).
std::string DefaultExportName(const std::vector<const ExportedFile*>& files, Datecode now);

// The first of base_001.ext, base_002.ext ... that does not exist.
std::string NumberedName(const std::string& path);

// An export: Start, then Row per file (false stops the rows), then Finish, which writes the file
// under a temporary name and puts it in place. error() tells why an operation answered false.
class TExportMode {
public:
    // `selected`: the column identifiers in order; unknown ones are skipped, duplicates repeated.
    TExportMode(std::string path, const std::vector<std::string>& selected);
    virtual ~TExportMode() = default;
    virtual bool Start() = 0;
    virtual bool Row(const ExportedFile& file) = 0;
    virtual bool Finish() = 0;

    const std::vector<int>& columns() const { return columns_; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // The name of the last exported spreadsheet column (columns start at B).
    std::string lastColumnName() const { return SpreadsheetColumnName(int(columns_.size())); }

protected:
    std::string path_;
    std::vector<int> columns_;
    std::string error_;
};

// CSV, UTF-8 with CR LF; a field holding a comma, a double quote or a line break is quoted with
// its quotes doubled.
class TCSVExportMode : public TExportMode {
public:
    using TExportMode::TExportMode;
    bool Start() override;
    bool Row(const ExportedFile& file) override;
    bool Finish() override;

private:
    std::vector<std::string> lines_;
};

// An .xlsx workbook: the title in the page header, the headings on row 7 from column B, text
// cells, every second row grey, videos shorter than a second pink.
class TExcelExportMode : public TExportMode {
public:
    TExcelExportMode(std::string path, const std::vector<std::string>& selected, Datecode now);
    bool Start() override;
    bool Row(const ExportedFile& file) override;
    bool Finish() override;

private:
    Datecode now_;
    bool started_ = false;
    std::vector<std::vector<std::string>> rows_;
    std::vector<bool> short_;
};

// Start, every row in order (stopping at the first false), Finish. False with `error` when the
// export could not be written.
bool RunListExport(TExportMode& mode, const std::vector<const ExportedFile*>& files, std::string& error);

}  // namespace velinor
