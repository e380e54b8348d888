#pragma once
// A file written under a temporary name beside its target and renamed over the target only when
// complete, so that a failed or abandoned write never leaves half a file under the user's name
// and never loses the old one. Used by one thread at a time.
#include <cstdint>
#include <span>
#include <string>

namespace velinor {

class AtomicFile {
public:
    AtomicFile() = default;
    // Discards the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `target`. False (with error()) when it cannot be created.
    bool Open(const std::string& target);
    bool Write(std::span<const uint8_t> bytes);
    bool Write(const std::string& text);
    // Writes at `offset` without moving the running position.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Closes the temporary file but keeps its name, for libraries that write the file by name.
    bool CloseForNamedWrite();
    // Flushes, closes and renames over the target.
    bool Commit();
    // Closes and removes the temporary file.
    void Discard();

    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temp_; }

private:
    bool fail(const std::string& what, int err);

    int fd_ = -1;
    std::string target_;
    std::string temp_;
    std::string error_;
};

// The path with its extension (after the last "." of the file name) replaced by `extension`,
// or with `extension` appended when the name has none.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

}  // namespace velinor
