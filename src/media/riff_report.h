#pragma once
// The RIFF structure report of an AVI file: an indented listing of every chunk with its code and
// size, the decoded headers and the anomalies, as lines of text with an inline markup, and its
// saving as plain or rich text.
// A RiffReport belongs to the thread that analyses (the UI thread); only Cancel may be called
// from elsewhere.
#include <atomic>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include "platform/product.h"

#include "media/avi_param.h"

namespace velinor {

// The markup understood by the rich viewer. Tags do not need to close on the line that opens them.
namespace markup {
inline constexpr std::string_view kBlue = "<COLOR Blue>";
inline constexpr std::string_view kRed = "<COLOR Red>";
inline constexpr std::string_view kGreen = "<COLOR Green>";
inline constexpr std::string_view kEndColor = "</COLOR>";
inline constexpr std::string_view kBold = "<B>";
inline constexpr std::string_view kEndBold = "</B>";
inline constexpr std::string_view kItalic = "<i>";
inline constexpr std::string_view kEndItalic = "</i>";
}  // namespace markup

class RiffReport {
public:
    // Chunks listed before the walk gives up on a file made of countless tiny chunks.
    static constexpr size_t kMaxChunks = 100'000;
    // Lists nested deeper than this are not opened.
    static constexpr int kMaxDepth = 64;
    // Bytes of one text chunk shown at most.
    static constexpr size_t kMaxTextBytes = 65'536;

    // Shown in the header of every listing.
    std::string AppTitle = product::kFullTitle;
    std::string WebAddress = product::kWebAddress;
    // The moment shown as the analysis date; the current time when empty.
    std::function<std::time_t()> Clock;
    // Called at every chunk so that the caller can keep its window responsive and cancel.
    std::function<void()> ProcessMessages;

    // Builds the listing of the file at `path`. Returns false, leaving the lines as they were,
    // when called while an analysis runs (from ProcessMessages). A file that is missing or
    // cannot be read leaves no lines and throws MediaError.
    bool AnalyseFile(const std::string& path);
    // The same over any bytes; `path` is the name shown.
    bool Analyse(const RiffSource& source, const std::string& path);

    // Stops the running analysis at the next chunk. Any thread.
    void Cancel() { cancelled_ = true; }

    const std::vector<std::string>& Lines() const { return lines_; }
    bool Cancelled() const { return cancelled_; }
    bool UnexpectedEnd() const { return unexpectedEnd_; }
    // The last analysed path, proposed when saving.
    const std::string& LastPath() const { return lastPath_; }

private:
    class Walker;

    std::vector<std::string> lines_;
    std::string lastPath_;
    std::atomic<bool> cancelled_ = false;
    bool unexpectedEnd_ = false;
    bool running_ = false;
};

// A banner: prefix, then `title` centred in a 50-character field by `fill` on both sides, in
// bold blue.
std::string Banner(std::string_view prefix, char fill, std::string_view title);

// The line without its markup.
std::string PlainText(std::string_view line);

// The listing as plain text (UTF-8, CR LF) or as rich text with its colours, bold and italics.
std::string ReportPlainText(const std::vector<std::string>& lines);
std::string ReportRichText(const std::vector<std::string>& lines);

// Saves the listing as rich text (".rtf") or plain text (".txt"): `chosenPath` takes that extension.
// Writes a temporary file beside the target and renames it over the target. Returns the path
// written; throws MediaError, leaving any existing target as it was, on failure.
std::string SaveReport(const std::vector<std::string>& lines, const std::string& chosenPath, bool richText);

}  // namespace velinor
