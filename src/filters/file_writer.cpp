#include "filters/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace velinor {

FileWriterFilter::FileWriterFilter() : RendererFilter("File writer") {
    addInput("in");
}

FileWriterFilter::~FileWriterFilter() {
    Abandon();
}

bool FileWriterFilter::checkInputType(const graph::InputPin&, const graph::MediaType& type) {
    return type.major == graph::MajorType::Stream;
}

bool FileWriterFilter::startStreaming(std::string& error) {
    Abandon();
    if (target_.empty()) {
        error = "Aucun fichier de destination";
        return false;
    }
    std::vector<char> name(target_.begin(), target_.end());
    const std::string suffix = ".part-XXXXXX";
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) {
        error = "Impossible de créer le fichier « " + target_ + " » : " + std::strerror(errno);
        return false;
    }
    temporary_ = name.data();
    appendAt_ = 0;
    failed_ = false;
    return true;
}

bool FileWriterFilter::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            failed_ = true;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

graph::Flow FileWriterFilter::render(graph::InputPin&, const graph::SamplePtr& sample) {
    const uint64_t offset =
        sample->hasTime && sample->start >= 0 ? static_cast<uint64_t>(sample->start) : appendAt_;
    if (!WriteAt(offset, sample->data))
        return reportError("Erreur d'écriture dans le fichier « " + target_ + " » : " + std::strerror(errno));
    appendAt_ = offset + sample->data.size();
    return graph::Flow::Ok;
}

void FileWriterFilter::CloseFile() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool FileWriterFilter::Commit(std::string& error) {
    if (fd_ < 0) {
        error = "Aucun fichier en cours d'écriture pour « " + target_ + " »";
        return false;
    }
    if (failed_ || fsync(fd_) != 0) {
        error = "Erreur d'écriture dans le fichier « " + target_ + " »";
        Abandon();
        return false;
    }
    // mkstemp creates the file readable by its owner only; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    CloseFile();
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = "Impossible de renommer le fichier en « " + target_ + " » : " + std::strerror(errno);
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void FileWriterFilter::Abandon() {
    CloseFile();
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

}  // namespace velinor
