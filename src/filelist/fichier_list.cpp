#include "filelist/fichier_list.h"

namespace velinor {

TFichierList::TFichierList()
    : TFichierList([](const std::string& path) { return std::make_unique<TSRFichier>(path); }) {}

TFichierList::TFichierList(RecordClass recordClass) : recordClass_(std::move(recordClass)) {}

TAbstractListFichier* TFichierList::Find(const std::string& path) const {
    const auto it = byPath_.find(path);
    return it == byPath_.end() ? nullptr : it->second;
}

TAbstractListFichier* TFichierList::FindOrCreate(const std::string& path) {
    if (auto* found = Find(path)) return found;
    owned_.push_back(recordClass_(path));
    TAbstractListFichier* record = owned_.back().get();
    byPath_.emplace(path, record);
    return record;
}

TAbstractListFichier* TFichierList::Adopt(std::unique_ptr<TAbstractListFichier> record) {
    if (!record) return nullptr;
    TAbstractListFichier* raw = record.get();
    owned_.push_back(std::move(record));
    byPath_.emplace(raw->FileName, raw);
    return raw;
}

TAbstractListFichier* TFichierList::Replace(const TAbstractListFichier* old,
                                            std::unique_ptr<TAbstractListFichier> replacement) {
    if (!replacement) return nullptr;
    TAbstractListFichier* raw = replacement.get();
    owned_.push_back(std::move(replacement));
    bool placed = false;
    for (auto& [path, record] : byPath_)
        if (record == old) {
            record = raw;
            placed = true;
        }
    if (!placed) byPath_.emplace(raw->FileName, raw);
    return raw;
}

void TFichierList::FreeAll() {
    byPath_.clear();
    owned_.clear();
}

}  // namespace velinor
