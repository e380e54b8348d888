#include "ui/appman/app_man.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QVBoxLayout>

#include "commands/app_manager.h"
#include "platform/product.h"
#include "ui/appman/help_form.h"
#include "ui/kit/qt_text.h"
#include "ui/script/script_form.h"

namespace velinor {

namespace {

QLabel* MakeCloseLink(QWidget* frame, const char* key, const char* link, TMvAppliMan& manager) {
    auto* label = new QLabel(frame);
    label->setObjectName(QString("close_") + link);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label->setWordWrap(true);
    label->setText(Q(CloseLinkText(key, link)));
    label->setToolTip(Q(kCloseLinkHint));
    QFont font = label->font();
    font.setPointSize(8);
    font.setBold(true);
    font.setItalic(true);
    label->setFont(font);
    label->setStyleSheet("color: maroon; background: transparent");
    label->resize(180, 40);
    QObject::connect(label, &QLabel::linkActivated, &manager,
                     [&manager](const QString& l) { manager.LinkClicked(l); });
    return label;
}

}  // namespace

// The about page: who makes the program and where to reach them.
class TAboutFrame : public QWidget {
public:
    explicit TAboutFrame(QWidget* parent) : QWidget(parent) {
        setObjectName("AboutFrame");
        setFixedSize(520, 360);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(255, 255, 255));
        setPalette(p);
        const AboutTexts t = AboutPageTexts();
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(24, 20, 24, 64);
        auto add = [&](const char* name, const QString& text, int size, bool bold, bool link = false) {
            auto* label = new QLabel(text, this);
            label->setObjectName(name);
            QFont f = label->font();
            f.setPointSize(size);
            f.setBold(bold);
            label->setFont(f);
            label->setAlignment(Qt::AlignHCenter);
            if (link) {
                label->setTextFormat(Qt::RichText);
                label->setOpenExternalLinks(true);
            }
            column->addWidget(label);
            return label;
        };
        add("labTitre", Q(t.Title), 24, true);
        add("labVersion", Q(t.Version), 12, false);
        add("labDate", Q(t.Date), 10, false);
        column->addSpacing(12);
        add("labAuteur", Q(t.Maker), 11, true);
        add("labEMail", Q("<a href=\"mailto:" + t.Contact + "\">" + t.Contact + "</a>"), 10, false, true);
        add("labWeb", Q("<a href=\"" + t.Web + "\">" + t.Web + "</a>"), 10, false, true);
        add("labBlog", Q("<a href=\"" + t.Blog + "\">" + t.Blog + "</a>"), 10, false, true);
        column->addStretch(1);
    }
};

TMvAppliMan::TMvAppliMan(QMainWindow& window, TMainCatalogue& catalogue,
                         std::vector<TMvActionList*> scriptLists)
    : QObject(&window), window_(window), catalogue_(catalogue) {
    setObjectName("am");
    const QColor silver(192, 192, 192);
    makePage(options_, "pnlOptions", silver);
    makePage(custom_, "pnlCustom", silver);
    makePage(about_, "pnlAbout", window.palette().color(QPalette::Dark));
    setFrame(about_, new TAboutFrame(about_.panel), "F11", "closeAbout");
    if (QWidget* central = window.centralWidget()) central->installEventFilter(this);

    help_ = new THelpForm(&window);
    script_ = new TScriptForm(std::move(scriptLists), &window);
    script_->setWindowTitle(Q("Script pour " + std::string(product::kWindowTitle)));
    help_->OnClosed = [this] {
        if (catalogue_.Get("caHelp").Checked()) catalogue_.Get<TCheckAction>("caHelp").SetChecked(false);
    };
    script_->OnClosed = [this] {
        if (catalogue_.Get("caScript").Checked()) catalogue_.Get<TCheckAction>("caScript").SetChecked(false);
    };

    // Hints built from the product's names where the catalogue gives none.
    const std::pair<const char*, std::string> hints[] = {
        {"naQuit", std::string("Quitter ") + product::kName},
        {"naEMail", std::string("Envoyer un e-mail à ") + product::kMaker},
        {"naHomePage", std::string("Ouvrir la Page d'Accueil de ") + product::kName}};
    for (const auto& [name, hint] : hints) {
        TCustomAbstractAction& action = catalogue_.Get(name);
        if (action.Hint().empty() || action.Hint() == "###") action.SetHint(hint);
    }
    // Without a stored rectangle the window keeps its size, centred on the screen.
    catalogue_.Get<TRectAction>("raFormSave").InternalDefault = [this](TRect& r) {
        const QRect screen =
            window_.screen() ? window_.screen()->availableGeometry() : QRect(0, 0, 1280, 900);
        const int left = screen.left() + (screen.width() - window_.width()) / 2;
        const int top = screen.top() + (screen.height() - window_.height()) / 2;
        r = TRect{left, top, left + window_.width(), top + window_.height()};
        return true;
    };

    auto& caScript = catalogue_.Get<TCheckAction>("caScript");
    caScript.OnAfterTrueApply = [this] {
        script_->show();
        script_->raise();
        script_->activateWindow();
    };
    caScript.OnAfterFalseApply = [this] { script_->hide(); };
    auto& caHelp = catalogue_.Get<TCheckAction>("caHelp");
    caHelp.OnAfterTrueApply = [this] {
        help_->show();
        help_->raise();
        help_->activateWindow();
    };
    caHelp.OnAfterFalseApply = [this] { help_->hide(); };

    // The pages exclude each other (the catalogue unchecks the others first); showing one needs
    // the width of the option frames, leaving it gives the view back.
    auto& caOptions = catalogue_.Get<TCheckAction>("caOptions");
    caOptions.OnAfterTrueApply = [this] {
        show(options_);
        catalogue_.Get<TCheckAction>("caCTRLShortcuts").SetChecked(true);
    };
    caOptions.OnAfterFalseApply = [this] {
        hide(options_);
        catalogue_.Get<TCheckAction>("caCTRLShortcuts").SetChecked(false);
    };
    auto& caAbout = catalogue_.Get<TCheckAction>("caAbout");
    caAbout.OnAfterTrueApply = [this] { show(about_); };
    caAbout.OnAfterFalseApply = [this] { hide(about_); };
    auto& caCustom = catalogue_.Get<TCheckAction>("caCustom");
    caCustom.OnAfterTrueApply = [this] { show(custom_); };
    caCustom.OnAfterFalseApply = [this] { hide(custom_); };
}

TMvAppliMan::~TMvAppliMan() {
    // The windows refer to the catalogue's lists, which may go before the main window's children.
    delete script_;
    delete help_;
    // The catalogue may outlive the window.
    for (const char* name : {"caScript", "caHelp", "caOptions", "caAbout", "caCustom"}) {
        auto& check = catalogue_.Get<TCheckAction>(name);
        check.OnAfterTrueApply = nullptr;
        check.OnAfterFalseApply = nullptr;
    }
    catalogue_.Get<TRectAction>("raFormSave").InternalDefault = nullptr;
}

QWidget* TMvAppliMan::AboutFrame() const {
    return about_.frame;
}

void TMvAppliMan::makePage(Page& page, const char* name, const QColor& colour) {
    QWidget* host = window_.centralWidget() ? window_.centralWidget() : &window_;
    page.panel = new QWidget(host);
    page.panel->setObjectName(name);
    page.panel->setAutoFillBackground(true);
    QPalette p = page.panel->palette();
    p.setColor(QPalette::Window, colour);
    page.panel->setPalette(p);
    page.panel->hide();
    page.panel->installEventFilter(this);
}

void TMvAppliMan::setFrame(Page& page, QWidget* frame, const char* key, const char* link) {
    page.frame = frame;
    if (!frame) return;
    frame->setParent(page.panel);
    if (key) {
        page.link = MakeCloseLink(frame, key, link, *this);
        page.link->move(frame->width() - page.link->width() - 16, frame->height() - page.link->height() - 16);
        page.link->raise();
        frame->installEventFilter(this);
    }
    frame->show();
    centre(page);
}

void TMvAppliMan::SetOptionsFrame(QWidget* frame) {
    setFrame(options_, frame, "F10", "closeOptions");
}

void TMvAppliMan::SetCustomFrame(QWidget* frame) {
    setFrame(custom_, frame, nullptr, nullptr);
}

void TMvAppliMan::SetOptionsCloseVisible(bool visible) {
    if (options_.link) options_.link->setVisible(visible);
}

void TMvAppliMan::LinkClicked(const QString& link) {
    if (link == "closeAbout") catalogue_.Get<TCheckAction>("caAbout").SetChecked(false);
    if (link == "closeOptions") catalogue_.Get<TCheckAction>("caOptions").SetChecked(false);
}

void TMvAppliMan::show(Page& page) {
    if (!page.frame) return;  // a page without a frame shows nothing
    if (!options_.panel->isVisible() && !about_.panel->isVisible() && !custom_.panel->isVisible())
        minimumWidthBefore_ = window_.minimumWidth();
    window_.setMinimumWidth(kPageMinimumWidth);
    placePages();
    page.panel->show();
    page.panel->raise();
    centre(page);
}

void TMvAppliMan::hide(Page& page) {
    const bool wasShown = page.panel->isVisible();
    page.panel->hide();
    if (!wasShown) return;
    if (!options_.panel->isVisible() && !about_.panel->isVisible() && !custom_.panel->isVisible() &&
        minimumWidthBefore_ >= 0) {
        window_.setMinimumWidth(minimumWidthBefore_);
        minimumWidthBefore_ = -1;
    }
    if (OnPageClosed)
        OnPageClosed();
    else
        catalogue_.Get("iaVue").Apply();
}

void TMvAppliMan::placePages() {
    QWidget* host = options_.panel->parentWidget();
    for (Page* page : {&options_, &about_, &custom_}) page->panel->setGeometry(host->rect());
}

void TMvAppliMan::centre(Page& page) {
    if (!page.frame) return;
    const QSize room = page.panel->size() - page.frame->size();
    page.frame->move(room.width() / 2, room.height() / 2);
}

bool TMvAppliMan::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == window_.centralWidget()) placePages();
        for (Page* page : {&options_, &about_, &custom_}) {
            if (watched == page->panel) centre(*page);
            if (watched == page->frame && page->link)
                page->link->move(page->frame->width() - page->link->width() - 16,
                                 page->frame->height() - page->link->height() - 16);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velinor
