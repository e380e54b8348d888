#pragma once
// A file mapped read-only into memory, for copying parts of it out without a system call and a
// kernel copy per read.
//
// A mapped page that can no longer be read (the file was shortened by another program after it
// was mapped, or the disk fails to give the page back) raises SIGBUS on the access instead of
// making a read fail. Copy() catches that signal for its own copy and reports a failed read, as
// pread would; a SIGBUS anywhere else goes to the handler that was there before, or kills the
// process as it would have. The handler is installed once, by the first mapping.
//
// Nothing is ever written through the mapping (PROT_READ), and the file is never opened for
// writing. Copy() may be called from several threads at once.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace velinor {

class MappedFile {
public:
    // Maps the first `size` bytes of the open file `fd` (the descriptor may be closed afterwards).
    // Empty when the file cannot be mapped (size 0, a file system without mappings, address space
    // exhausted); the caller then reads with pread.
    static std::unique_ptr<MappedFile> Map(int fd, size_t size) noexcept;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    size_t size() const { return size_; }
    // Copies bytes [offset, offset + n) into `dst`. False when the range is outside the mapping
    // or a page of it can no longer be read; `dst` then holds unspecified bytes.
    bool Copy(uint64_t offset, void* dst, size_t n) const noexcept;

private:
    MappedFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    const uint8_t* data_;
    size_t size_;
};

}  // namespace velinor
