#pragma once
// Line-oriented text files of the scene exports and subtitles: UTF-8 without a byte-order mark,
// CR LF line ends, written under a temporary name and put in place on Finish. One thread at a time.
#include <string>

#include "platform/atomic_file.h"

namespace velinor {

class TwriteFile {
public:
    explicit TwriteFile(const std::string& path);
    virtual ~TwriteFile() = default;
    TwriteFile(const TwriteFile&) = delete;
    TwriteFile& operator=(const TwriteFile&) = delete;

    // Writes the text and CR LF; false once anything failed.
    bool WriteLine(const std::string& text);
    // Puts the complete file in place of any old one. Destroying an unfinished writer discards it.
    bool Finish();

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

protected:
    bool fail(std::string message);
    // Puts `prefix` before the message of the failure that happened.
    void prefixError(const std::string& prefix) { error_ = prefix + error_; }

private:
    std::string path_;
    AtomicFile file_;
    std::string error_;
};

// The subtitle writer: turns runs of identical text, reported frame by frame, into the entries
// of a SubRip file beside the video. Fed by one streaming thread; no lock.
class TWriteSrt : public TwriteFile {
public:
    // Refuses a rate that is not a positive finite number.
    TWriteSrt(const std::string& videoPath, double fps);

    // From `frame` on the text is (line1, line2); two empty lines mean no text from there on.
    bool ChangeText(int32_t frame, const std::string& line1, const std::string& line2);

    int32_t EntryStart = 0;
    int32_t EntryCount = 0;
    bool Pending = false;
    std::string Line1;
    std::string Line2;

private:
    double fps_;
};

}  // namespace velinor
