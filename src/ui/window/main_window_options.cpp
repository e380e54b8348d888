// TUIForm: the options page, one of the application manager's pages.
#include <algorithm>

#include "ui/options/options_frame.h"
#include "ui/window/main_window.h"

namespace velinor {

namespace {

template <class T>
T* As(TCustomAbstractAction* action) {
    return dynamic_cast<T*>(action);
}

}  // namespace

void TUIForm::buildOptions() {
    optionsFrame_ = new TOptionsFrame(set_, gp_, centralWidget());
    optionsFrame_->hide();
    // The application manager shows the page (buildAppliMan).
}

// The page is bound to the set's actions and follows the preferences, and the set may outlive
// the window: nothing of it calls back into the window or the page once they go.
void TUIForm::releaseOptions() {
    if (auto* options = As<TCheckAction>(Action("caOptions"))) {
        options->OnAfterTrueApply = nullptr;
        options->OnAfterFalseApply = nullptr;
    }
    delete optionsFrame_;
    optionsFrame_ = nullptr;
}

// The export columns' example box shows the active file's values.
void TUIForm::showOptionsExample() {
    if (!optionsFrame_) return;
    std::vector<std::string> values(std::size(kExportColumnIds));
    if (const TaviFichier* record = ActiveRecord()) {
        const ExportedFile file = ExportedFileOf(*record);
        for (size_t i = 0; i < values.size(); ++i) values[i] = ExportColumnValue(file, int(i) + 1);
    }
    optionsFrame_->SetExampleValues(std::move(values));
}

}  // namespace velinor
