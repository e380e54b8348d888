// TUIForm: the options page over the client area.
#include <QEvent>
#include <algorithm>

#include "ui/options/options_frame.h"
#include "ui/window/main_window.h"

namespace velinor {

namespace {

template <class T>
T* As(TCustomAbstractAction* action) {
    return dynamic_cast<T*>(action);
}

// Keeps a page over the whole of its parent.
class TCoverParent final : public QObject {
public:
    explicit TCoverParent(QWidget& page) : QObject(&page), page_(page) {
        page.parentWidget()->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == page_.parentWidget())
            page_.setGeometry(page_.parentWidget()->rect());
        return false;
    }

private:
    QWidget& page_;
};

constexpr int kOptionsMinimumWidth = 930;

}  // namespace

void TUIForm::buildOptions() {
    optionsFrame_ = new TOptionsFrame(set_, gp_, centralWidget());
    optionsFrame_->hide();
    new TCoverParent(*optionsFrame_);
    if (auto* options = As<TCheckAction>(Action("caOptions"))) {
        options->OnAfterTrueApply = [this] { showOptions(true); };
        options->OnAfterFalseApply = [this] { showOptions(false); };
    }
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

void TUIForm::showOptions(bool open) {
    auto* ctrl = As<TCheckAction>(Action("caCTRLShortcuts"));
    if (open) {
        if (optionsFrame_->isVisible()) return;
        setMinimumWidth(kOptionsMinimumWidth);
        if (width() < kOptionsMinimumWidth) resize(kOptionsMinimumWidth, height());
        optionsFrame_->setGeometry(centralWidget()->rect());
        optionsFrame_->RefreshExamples();
        optionsFrame_->raise();
        optionsFrame_->show();
        if (ctrl) ctrl->SetChecked(true);
        setMinimumWidth(std::max(minimumWidth(), kOptionsMinimumWidth));
        return;
    }
    if (!optionsFrame_->isVisible()) return;
    optionsFrame_->hide();
    if (ctrl) ctrl->SetChecked(false);
    setViewFromList();
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
