#pragma once
// A list bound to a record cache, with the plain event loop as its UI thread.
#include <string>
#include <vector>

#include "filelist/list_model.h"
#include "platform/event_loop_dispatcher.h"

namespace velinor::test {

struct ListHarness {
    EventLoopDispatcher ui;
    TFichierList cache;
    TFichierListModel list{ui, [this](const std::function<bool()>& done) { ui.RunUntil(done); }};

    ListHarness() { list.SetCache(&cache); }
    explicit ListHarness(TFichierList::RecordClass recordClass) : cache(std::move(recordClass)) {
        list.SetCache(&cache);
    }

    TAbstractListFichier* Add(const std::string& path, bool select = false) {
        TAbstractListFichier* record = cache.FindOrCreate(path);
        list.AddFichier(record, select);
        return record;
    }
    // Runs the UI loop until the open job has ended.
    void Wait() {
        ui.RunUntil([this] { return !list.Busy(); });
        ui.RunPending();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i) names.push_back(list.Item(i)->Name);
        return names;
    }
    std::string ActiveName() const { return list.ItemIndex() < 0 ? "" : list.Item(list.ItemIndex())->Name; }
    std::vector<std::string> SelectedNames() const {
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i)
            if (list.Selected(i)) names.push_back(list.Item(i)->Name);
        return names;
    }
};

}  // namespace velinor::test
