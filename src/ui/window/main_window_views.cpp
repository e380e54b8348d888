// TUIForm: the four views and the layout of the areas in each.
#include <QBoxLayout>
#include <algorithm>

#include "commands/scene_editor.h"
#include "ui/info/info_panel.h"
#include "ui/list/list_frame.h"
#include "ui/options/options_frame.h"
#include "ui/preview/vide_frame.h"
#include "ui/preview/vue_frame.h"
#include "ui/scenes/scene_editor_frame.h"
#include "ui/window/main_window.h"

namespace velinor {

namespace {

constexpr int kSideColumnWidth = 296;

}  // namespace

bool TUIForm::checked(const char* name) const {
    const auto* check = dynamic_cast<const TCheckAction*>(Action(name));
    return check && check->Checked();
}

int TUIForm::currentViewFromChecks() const {
    if (checked("caVideoSeule")) return 2;
    if (checked("caVueReduite")) return 3;
    return 0;
}

// An empty list shows the empty-list page; otherwise the view the checks ask for.
void TUIForm::setViewFromList() {
    const int view = lf_.Count() == 0 ? 1 : currentViewFromChecks();
    if (auto* vue = dynamic_cast<TIntegerAction*>(Action("iaVue")))
        vue->SetValue(view);
    else
        SetView(view);
}

void TUIForm::SetView(int view) {
    if (view < 0 || view > 3) return;
    const int was = view_;
    view_ = view;
    layoutViews();
    // The reduced view narrows the client area to the side column; leaving it gives the width back.
    if (view == 3 && was != 3) {
        widthBeforeReduced_ = width();
        resize(kSideColumnWidth, height());
    } else if (view != 3 && was == 3 && widthBeforeReduced_ > width()) {
        resize(widthBeforeReduced_, height());
    }
}

void TUIForm::layoutViews() {
    auto* row = static_cast<QHBoxLayout*>(centralWidget()->layout());
    auto* side = static_cast<QVBoxLayout*>(sideColumn_->layout());
    const bool reduced = view_ == 3;
    // In the reduced view the preview sits in the side column, under the info panel.
    if (reduced && vueFrame_->parentWidget() != sideColumn_) {
        row->removeWidget(vueFrame_);
        vueFrame_->setParent(sideColumn_);
        side->insertWidget(1, vueFrame_, 1);
    } else if (!reduced && vueFrame_->parentWidget() == sideColumn_) {
        side->removeWidget(vueFrame_);
        vueFrame_->setParent(centralWidget());
        row->insertWidget(1, vueFrame_, 1);
    }
    videPanel_->setVisible(view_ == 1);
    sideColumn_->setVisible(view_ == 0 || view_ == 3);
    const bool scenes = sceneEditor_ && sceneEditor_->IsOpen();
    lframe_->setVisible(view_ == 0 && !scenes);
    if (sceneFrame_) sceneFrame_->setVisible(view_ == 0 && scenes);
    baseFrame_->setVisible(view_ == 0 || view_ == 3);
    vueFrame_->setVisible(view_ != 1);
    switch (view_) {
        case 0:
            setMinimumSize(740, 550);
            break;
        case 1:
            setMinimumSize(videPanel_->minimumSizeHint().width() + 20,
                           videPanel_->minimumSizeHint().height() + 80);
            break;
        case 2:
            setMinimumSize(300, 200);
            break;
        case 3:
            setMinimumSize(kSideColumnWidth, 550);
            break;
        default:
            break;
    }
    // The options page needs its width whatever the view under it.
    if (optionsFrame_ && optionsFrame_->isVisible()) setMinimumWidth(std::max(minimumWidth(), 930));
    // With files, the list and video buttons show; an empty list has nothing for them to act on,
    // and no scenes.
    if (menus_.window) {
        const bool files = view_ != 1;
        menus_.groupVisible[static_cast<size_t>(ToolGroup::Video)] = files;
        menus_.groupVisible[static_cast<size_t>(ToolGroup::List)] = files && !scenes;
        menus_.groupVisible[static_cast<size_t>(ToolGroup::Scene)] = files && scenes;
        menus_.ApplyGroups();
    }
    // The side column at the left (the default) or at the right.
    row->setDirection(checked("caListeGauche") || !Action("caListeGauche") ? QBoxLayout::LeftToRight
                                                                           : QBoxLayout::RightToLeft);
}

}  // namespace velinor
