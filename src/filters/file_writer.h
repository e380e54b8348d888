#pragma once
// A renderer that writes a byte stream into a file at the positions its samples carry (start and
// stop times are byte offsets), and lets the filter upstream patch bytes once streaming stopped
// (a header whose sizes are known only at the end). The file is built under a temporary name
// beside the target and takes the target's name only through Commit, so a failed or abandoned run
// never leaves half a file under the user's name. Negotiation, Commit and Abandon on the
// controlling thread; rendering on the streaming thread.
#include <cstdint>
#include <span>
#include <string>

#include "graph/filter.h"
#include "platform/atomic_file.h"

namespace velinor {

// Random access to the stream a filter delivers into, for the filter upstream of a file writer.
class ByteStreamTarget {
public:
    virtual ~ByteStreamTarget() = default;
    // Controlling thread, after streaming stopped. False when the bytes could not be written.
    virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
};

class FileWriterFilter : public graph::RendererFilter, public ByteStreamTarget {
public:
    FileWriterFilter();
    ~FileWriterFilter() override;

    void SetFileName(std::string path) { target_ = std::move(path); }
    const std::string& FileName() const { return target_; }
    // The temporary file being written; empty outside a run.
    const std::string& TemporaryName() const { return file_.temporaryPath(); }

    bool checkInputType(const graph::InputPin& pin, const graph::MediaType& type) override;
    bool startStreaming(std::string& error) override;
    graph::Flow render(graph::InputPin& pin, const graph::SamplePtr& sample) override;
    bool waitsForSampleTime() const override { return false; }
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;

    // Gives the file its name, replacing what was there. False (and `error` in French) when a
    // write failed or the file cannot be completed; the temporary file is removed then.
    bool Commit(std::string& error);
    // Removes the temporary file.
    void Abandon();

private:
    std::string target_;
    AtomicFile file_;
    uint64_t appendAt_ = 0;
    bool failed_ = false;
};

}  // namespace velinor
