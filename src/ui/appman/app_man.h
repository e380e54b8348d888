#pragma once
// The application manager `TMvAppliMan` of the main window: the three full-window pages
// (options, about, custom) switched by caOptions, caAbout and caCustom, each with its close
// link; the help window (caHelp) and the script window (caScript). The pages cover the window's
// client area while shown; opening one sets the window's minimum width, closing it gives the
// width back and re-applies the view. GUI thread only.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/main_catalogue.h"

class QLabel;
class QMainWindow;
class QWidget;

namespace velinor {

class THelpForm;
class TScriptForm;

// The about page's frame: title, version, date, the maker's texts and addresses.
class TAboutFrame;

class TMvAppliMan : public QObject {
public:
    // `scriptLists` are the lists scripts may call.
    TMvAppliMan(QMainWindow& window, TMainCatalogue& catalogue, std::vector<TMvActionList*> scriptLists);
    ~TMvAppliMan() override;

    static constexpr int kPageMinimumWidth = 930;

    // The frames of the pages; a page without a frame shows nothing. The manager does not own
    // the frames' lifetime beyond Qt's parenting: they become children of their panel.
    void SetOptionsFrame(QWidget* frame);
    void SetCustomFrame(QWidget* frame);
    QWidget* OptionsFrame() const { return options_.frame; }
    QWidget* AboutFrame() const;
    // The close link of the options page (the column editor hides it while it edits).
    void SetOptionsCloseVisible(bool visible);

    THelpForm& HelpForm() { return *help_; }
    TScriptForm& ScriptForm() { return *script_; }
    QWidget* OptionsPanel() const { return options_.panel; }
    QWidget* AboutPanel() const { return about_.panel; }
    QWidget* CustomPanel() const { return custom_.panel; }
    QLabel* OptionsCloseLink() const { return options_.link; }
    QLabel* AboutCloseLink() const { return about_.link; }

    // A link of a close box was clicked: "closeAbout" or "closeOptions".
    void LinkClicked(const QString& link);

    // Run after a page closes; without it iaVue is applied again, which restores the view.
    std::function<void()> OnPageClosed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Page {
        QWidget* panel = nullptr;
        QWidget* frame = nullptr;
        QLabel* link = nullptr;
    };
    void makePage(Page& page, const char* name, const QColor& colour);
    void setFrame(Page& page, QWidget* frame, const char* key, const char* link);
    void show(Page& page);
    void hide(Page& page);
    void placePages();
    void centre(Page& page);

    QMainWindow& window_;
    TMainCatalogue& catalogue_;
    Page options_, about_, custom_;
    THelpForm* help_ = nullptr;
    TScriptForm* script_ = nullptr;
    int minimumWidthBefore_ = -1;
};

}  // namespace velinor
