#pragma once
// The one exception family for opening and parsing outside data. It carries the path and,
// where known, the byte offset at which the data went wrong. Messages are in French, as the
// program shows them.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace velinor {

class MediaError : public std::runtime_error {
public:
    static constexpr int64_t kNoOffset = -1;

    MediaError(std::string path, std::string message, int64_t offset = kNoOffset)
        : std::runtime_error(compose(path, message, offset)),
          path_(std::move(path)),
          message_(std::move(message)),
          offset_(offset) {}

    const std::string& path() const { return path_; }
    const std::string& message() const { return message_; }
    int64_t offset() const { return offset_; }

private:
    static std::string compose(const std::string& path, const std::string& message, int64_t offset) {
        std::string text = path.empty() ? message : path + " : " + message;
        if (offset != kNoOffset) text += " (octet " + std::to_string(offset) + ")";
        return text;
    }

    std::string path_;
    std::string message_;
    int64_t offset_;
};

}  // namespace velinor
