#pragma once
// Pieces shared by the document writers: XML text escaping, PNG encoding of thumbnails, and a
// zip package written under a temporary name and put in place when complete. Reentrant; a
// package is used by one thread.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"
#include "scenes/scene.h"

struct zip;

namespace velinor {

// Text for XML content and attribute values; characters XML 1.0 forbids are dropped.
std::string XmlEscape(std::string_view text);

// A PNG (8-bit RGB, no interlace) of a bottom-up BGR picture.
std::vector<uint8_t> EncodePng(const ScenePicture& picture);

// Lower case of a UTF-8 text (Latin, Greek and Cyrillic letters).
std::string LowerCaseText(std::string_view text);

// The file name of a path with or without its extension.
std::string FileNameOf(const std::string& path, bool withExtension);

class ZipPackage {
public:
    ZipPackage() = default;
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    bool Open(const std::string& target);
    // `stored` keeps the entry uncompressed (the OpenDocument mimetype must be).
    bool Add(const std::string& name, std::string bytes, bool stored = false);
    bool Add(const std::string& name, const std::vector<uint8_t>& bytes);
    // Writes the archive and puts it in place of the target.
    bool Commit();

    const std::string& error() const { return error_; }

private:
    bool fail(std::string message);

    AtomicFile file_;
    zip* archive_ = nullptr;
    std::deque<std::string> contents_;  // kept alive until the archive is written
    std::string error_;
};

}  // namespace velinor
