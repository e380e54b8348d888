#pragma once
// The record cache: one record per path, owned here for the whole run, so re-opening a path
// returns the record built the first time. UI thread only.
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "filelist/list_fichier.h"

namespace velinor {

class TFichierList {
public:
    // Builds the record of a path; the cache calls it once per path.
    using RecordClass = std::function<std::unique_ptr<TAbstractListFichier>(const std::string& path)>;

    TFichierList();
    explicit TFichierList(RecordClass recordClass);

    void SetRecordClass(RecordClass recordClass) { recordClass_ = std::move(recordClass); }

    // The record of exactly this path (two paths that differ in case are two files), built on
    // first use.
    TAbstractListFichier* FindOrCreate(const std::string& path);
    TAbstractListFichier* Find(const std::string& path) const;
    // Takes a record built elsewhere (a command's output). A record already cached under its
    // path stays the one the path finds.
    TAbstractListFichier* Adopt(std::unique_ptr<TAbstractListFichier> record);
    // `replacement` takes `old`'s place for `old`'s path. `old` stays alive until FreeAll, since
    // callers may still hold it.
    TAbstractListFichier* Replace(const TAbstractListFichier* old,
                                  std::unique_ptr<TAbstractListFichier> replacement);

    size_t Count() const { return byPath_.size(); }
    void FreeAll();

private:
    RecordClass recordClass_;
    std::unordered_map<std::string, TAbstractListFichier*> byPath_;
    std::vector<std::unique_ptr<TAbstractListFichier>> owned_;
};

}  // namespace velinor
