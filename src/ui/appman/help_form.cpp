#include "ui/appman/help_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/kit/qt_text.h"

namespace velinor {

namespace {

constexpr int kActionRole = Qt::UserRole + 1;

QString Escaped(const std::string& text) {
    return Q(text).toHtmlEscaped();
}

}  // namespace

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpForm");
    setWindowTitle("Aide pour Raccourcis, Script et Macros");
    resize(620, 560);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("TabControl1");
    auto* details = new QWidget(this);
    auto* column = new QVBoxLayout(details);
    title_ = new QLabel(details);
    title_->setObjectName("labTitre");
    QFont big = title_->font();
    big.setPointSize(12);
    title_->setFont(big);
    title_->setStyleSheet("color: black");
    title_->setTextFormat(Qt::PlainText);
    hint_ = new QLabel(details);
    hint_->setObjectName("labHint");
    hint_->setWordWrap(true);
    hint_->setTextFormat(Qt::PlainText);
    syntax_ = new QPlainTextEdit(details);
    syntax_->setObjectName("SynSyntax");
    syntax_->setReadOnly(true);
    syntax_->setMaximumHeight(70);
    switch_ = new QLabel(details);
    switch_->setObjectName("labSwitch");
    switch_->setTextFormat(Qt::RichText);
    comments_ = new QLabel(details);
    comments_->setObjectName("labComments");
    comments_->setWordWrap(true);
    comments_->setTextFormat(Qt::PlainText);
    column->addWidget(title_);
    column->addWidget(hint_);
    column->addWidget(syntax_);
    column->addWidget(switch_);
    column->addWidget(comments_, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(tabs_);
    split->addWidget(details);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split);

    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) {
        if (QListWidget* list = List(tab))
            if (TCustomAbstractAction* a = ActionOf(list->currentItem())) ShowDetails(*a);
    });
}

QListWidget* THelpForm::List(int tab) const {
    return tab >= 0 && tab < tabs_->count() ? qobject_cast<QListWidget*>(tabs_->widget(tab)) : nullptr;
}

TCustomAbstractAction* THelpForm::ActionOf(const QListWidgetItem* item) const {
    if (!item) return nullptr;
    return static_cast<TCustomAbstractAction*>(item->data(kActionRole).value<void*>());
}

void THelpForm::AddHelpPage(const std::string& group, const TCustomMvActionList& actions) {
    QListWidget* list = nullptr;
    for (int i = 0; i < tabs_->count(); ++i)
        if (tabs_->tabText(i) == Q(group)) list = List(i);
    if (!list) {
        list = new QListWidget(tabs_);
        list->setObjectName(QString("lb%1").arg(tabs_->count()));
        list->setToolTip("Cliquez avec le bouton droit pour trier");
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QListWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
            QMenu menu(this);
            const std::pair<const char*, HelpOrder> entries[] = {
                {"Ordre alphabétique", HelpOrder::Alpha},
                {"Trier par Raccourcis", HelpOrder::Shortcut},
                {"Trier par Switch", HelpOrder::Switch}};
            for (const auto& [caption, order] : entries) {
                QAction* entry = menu.addAction(caption);
                connect(entry, &QAction::triggered, this, [this, order = order] { SortBy(order); });
            }
            menu.exec(list->viewport()->mapToGlobal(at));
        });
        connect(list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
            if (TCustomAbstractAction* a = ActionOf(item)) ShowDetails(*a);
        });
        connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
            if (TCustomAbstractAction* a = ActionOf(item)) a->Execute();
        });
        tabs_->addTab(list, Q(group));
        lists_.push_back({list, {}});
    }
    for (auto& [widget, entries] : lists_)
        if (widget == list) entries.insert(entries.end(), actions.Actions().begin(), actions.Actions().end());
    fill(*list);
    if (list->count() > 0) {
        {
            const QSignalBlocker quiet(list);
            list->setCurrentRow(0);
        }
        // The details are those of the tab in view.
        if (tabs_->currentWidget() == list)
            if (TCustomAbstractAction* a = ActionOf(list->item(0))) ShowDetails(*a);
    }
}

void THelpForm::fill(QListWidget& list) {
    TCustomAbstractAction* current = ActionOf(list.currentItem());
    for (auto& [widget, entries] : lists_) {
        if (widget != &list) continue;
        const QSignalBlocker quiet(list);
        list.clear();
        for (TCustomAbstractAction* action : HelpSorted(entries, order_)) {
            auto* item = new QListWidgetItem(Q(HelpItemText(*action)), &list);
            item->setData(kActionRole, QVariant::fromValue(static_cast<void*>(action)));
            item->setToolTip(Q(action->Hint()));
            if (action == current) list.setCurrentItem(item);
        }
    }
}

void THelpForm::SortBy(HelpOrder order) {
    order_ = order;
    for (auto& entry : lists_) fill(*entry.first);
}

void THelpForm::ShowDetails(const TCustomAbstractAction& action) {
    const HelpDetails d = HelpDetailsOf(action);
    title_->setText(Q(d.Title));
    hint_->setText(Q(d.Hint));
    syntax_->setPlainText(Q(d.Syntax));
    switch_->setText("<i>Switch:&nbsp;&nbsp;&nbsp;&nbsp;</i><b><span style=\"color:navy; font-size:10pt\">" +
                     Escaped(d.Switch) + "</span></b>");
    comments_->setText(Q(d.Comments));
}

void THelpForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (OnClosed) OnClosed();
}

}  // namespace velinor
