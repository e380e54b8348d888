#include "filters/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/error_text.h"

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
    if (!file_.Open(target_)) {
        error = "Impossible de créer le fichier « " + target_ + " » : " + ErrorText(file_.errorNumber());
        return false;
    }
    appendAt_ = 0;
    failed_ = false;
    return true;
}

bool FileWriterFilter::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (!file_.isOpen()) return false;
    if (file_.WriteAt(offset, bytes)) return true;
    failed_ = true;
    return false;
}

graph::Flow FileWriterFilter::render(graph::InputPin&, const graph::SamplePtr& sample) {
    const uint64_t offset =
        sample->hasTime && sample->start >= 0 ? static_cast<uint64_t>(sample->start) : appendAt_;
    if (!WriteAt(offset, sample->data))
        return reportError("Erreur d'écriture dans le fichier « " + target_ +
                           " » : " + ErrorText(file_.errorNumber()));
    appendAt_ = offset + sample->data.size();
    return graph::Flow::Ok;
}

bool FileWriterFilter::Commit(std::string& error) {
    if (failed_) {
        error = "Erreur d'écriture dans le fichier « " + target_ + " »";
        Abandon();
        return false;
    }
    if (!file_.isOpen()) {
        error = "Aucun fichier en cours d'écriture pour « " + target_ + " »";
        return false;
    }
    if (!file_.Commit()) {
        error = "Impossible de terminer le fichier « " + target_ + " » : " + ErrorText(file_.errorNumber());
        return false;
    }
    return true;
}

void FileWriterFilter::Abandon() {
    file_.Discard();
}

}  // namespace velinor
