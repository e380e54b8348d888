#include "ui/binding/action_binding.h"

#include <QDebug>
#include <QPointer>

#include <exception>
#include <map>
#include <utility>

namespace velinor {

namespace {

QString ToQt(const std::string& s) {
    return QString::fromStdString(s);
}

// A caption is plain text; a QAction reads "&" as the mnemonic mark.
QString MenuText(const std::string& caption) {
    return ToQt(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}
std::string PlainCaption(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out.toStdString();
}

}  // namespace

QKeySequence KeySequenceFromText(const std::string& text) {
    if (text.empty()) return {};
    return QKeySequence::fromString(ToQt(text), QKeySequence::PortableText);
}

std::string KeySequenceText(const QKeySequence& keys) {
    return keys.toString(QKeySequence::PortableText).toStdString();
}

struct ActionBinder::Binding {
    TCustomAbstractAction* action = nullptr;
    QAction* qaction = nullptr;
    int listener = -1;
    size_t order = 0;
    // The keys this action won, as last given to the QAction.
    QList<QKeySequence> applied;
    // Set while the binder itself writes to the QAction, so that the echo is not taken back.
    bool updating = false;
};

ActionBinder::ActionBinder(QObject* parent) : QObject(parent) {}

ActionBinder::~ActionBinder() {
    for (auto& b : bindings_) b->action->RemoveChangeListener(b->listener);
}

ActionBinder::Binding* ActionBinder::bindingOf(const TCustomAbstractAction& action) const {
    const auto it = byAction_.find(&action);
    return it == byAction_.end() ? nullptr : it->second;
}

QAction* ActionBinder::Bind(TCustomAbstractAction& action) {
    if (Binding* existing = bindingOf(action)) return existing->qaction;
    auto owned = std::make_unique<Binding>();
    Binding& b = *owned;
    b.action = &action;
    b.order = bindings_.empty() ? 0 : bindings_.back()->order + 1;
    b.qaction = new QAction(this);
    b.qaction->setObjectName(ToQt(action.InternalId.empty() ? action.Name() : action.InternalId));
    b.qaction->setCheckable(dynamic_cast<TCheckAction*>(&action) != nullptr);
    bindings_.push_back(std::move(owned));
    byAction_[&action] = &b;
    byQAction_[b.qaction] = &b;

    b.listener = action.AddChangeListener(
        [this, &b](TCustomAbstractAction&, ActionProperty what) { showProperty(b, what); });
    connect(b.qaction, &QAction::triggered, this, [this, &b] { onTriggered(b); });
    connect(b.qaction, &QAction::toggled, this, [this, &b](bool checked) { onToggled(b, checked); });
    connect(b.qaction, &QAction::changed, this, [this, &b] { takeFromQAction(b); });
    showAll(b);
    resolveShortcuts();
    return b.qaction;
}

void ActionBinder::BindList(const TCustomMvActionList& list) {
    for (TCustomAbstractAction* action : list.Actions()) Bind(*action);
}

void ActionBinder::Unbind(TCustomAbstractAction& action) {
    Binding* b = bindingOf(action);
    if (!b) return;
    action.RemoveChangeListener(b->listener);
    byAction_.erase(&action);
    byQAction_.erase(b->qaction);
    delete b->qaction;
    std::erase_if(bindings_, [b](const std::unique_ptr<Binding>& p) { return p.get() == b; });
    resolveShortcuts();
}

QAction* ActionBinder::Find(const TCustomAbstractAction& action) const {
    Binding* b = bindingOf(action);
    return b ? b->qaction : nullptr;
}

QAction* ActionBinder::Find(std::string_view internalId) const {
    for (const auto& b : bindings_)
        if (b->action->InternalId == internalId) return b->qaction;
    return nullptr;
}

TCustomAbstractAction* ActionBinder::ActionOf(const QAction* action) const {
    const auto it = byQAction_.find(action);
    return it == byQAction_.end() ? nullptr : it->second->action;
}

QList<QAction*> ActionBinder::Actions() const {
    QList<QAction*> out;
    for (const auto& b : bindings_) out.append(b->qaction);
    return out;
}

void ActionBinder::Refresh(TCustomAbstractAction& action) {
    if (Binding* b = bindingOf(action)) {
        showAll(*b);
        resolveShortcuts();
    }
}

void ActionBinder::showAll(Binding& b) {
    for (ActionProperty p : {ActionProperty::Caption, ActionProperty::Hint, ActionProperty::Visible,
                             ActionProperty::Enabled, ActionProperty::Checked, ActionProperty::ImageIndex})
        showProperty(b, p);
}

void ActionBinder::showProperty(Binding& b, ActionProperty what) {
    TCustomAbstractAction& a = *b.action;
    QAction& q = *b.qaction;
    const bool was = b.updating;
    b.updating = true;
    switch (what) {
        case ActionProperty::Caption:
        case ActionProperty::Hint:
            q.setText(MenuText(a.Caption()));
            q.setStatusTip(ToQt(a.Hint()));
            // A toolbar button without a hint shows the caption.
            q.setToolTip(ToQt(a.Hint().empty() ? a.Caption() : a.Hint()));
            break;
        case ActionProperty::ShortCut:
            b.updating = was;
            resolveShortcuts();
            return;
        case ActionProperty::Visible:
            q.setVisible(a.Visible());
            break;
        case ActionProperty::Enabled:
            q.setEnabled(a.Enabled());
            break;
        case ActionProperty::Checked:
            if (q.isCheckable()) q.setChecked(a.Checked());
            break;
        case ActionProperty::ImageIndex:
            q.setIcon(CatalogueIcon(a.ImageIndex()));
            break;
        case ActionProperty::Value:
            break;
    }
    b.updating = was;
}

void ActionBinder::resolveShortcuts() {
    // key text -> (rank, order) of the action that holds it
    std::map<QString, std::pair<int, size_t>> owner;
    auto claim = [&](const std::string& text, int rank, size_t order) {
        const QKeySequence keys = KeySequenceFromText(text);
        if (keys.isEmpty()) return;
        const QString id = keys.toString(QKeySequence::PortableText);
        const auto it = owner.find(id);
        if (it == owner.end() || std::make_pair(rank, order) < it->second) owner[id] = {rank, order};
    };
    for (const auto& b : bindings_) {
        claim(b->action->ShortCut(), 0, b->order);
        for (const std::string& s : b->action->SecondaryShortcuts) claim(s, 1, b->order);
    }
    for (const auto& b : bindings_) {
        QList<QKeySequence> won;
        auto take = [&](const std::string& text, int rank) {
            const QKeySequence keys = KeySequenceFromText(text);
            if (keys.isEmpty()) return;
            const auto it = owner.find(keys.toString(QKeySequence::PortableText));
            if (it != owner.end() && it->second == std::make_pair(rank, b->order) && !won.contains(keys))
                won.append(keys);
        };
        take(b->action->ShortCut(), 0);
        for (const std::string& s : b->action->SecondaryShortcuts) take(s, 1);
        if (won == b->applied && b->qaction->shortcuts() == won) continue;
        b->applied = won;
        const bool was = b->updating;
        b->updating = true;
        b->qaction->setShortcuts(won);
        b->updating = was;
    }
}

void ActionBinder::takeFromQAction(Binding& b) {
    if (b.updating) return;
    TCustomAbstractAction& a = *b.action;
    QAction& q = *b.qaction;
    b.updating = true;
    auto* check = dynamic_cast<TCheckAction*>(&a);
    const std::string caption = PlainCaption(q.text());
    if (caption != a.Caption()) {
        if (check && check->Checked())
            check->SetTrueCaption(caption);
        else if (check)
            check->SetFalseCaption(caption);
        else
            a.SetCaption(caption);
    }
    const std::string hint = q.statusTip().toStdString();
    if (hint != a.Hint()) {
        if (check && check->Checked())
            check->SetTrueHint(hint);
        else if (check)
            check->SetFalseHint(hint);
        else
            a.SetHint(hint);
    }
    a.SetEnabled(q.isEnabled());
    a.SetVisible(q.isVisible());
    const QList<QKeySequence> keys = q.shortcuts();
    const bool keysChanged = keys != b.applied;
    if (keysChanged) {
        b.applied = keys;
        a.SecondaryShortcuts.clear();
        for (qsizetype i = 1; i < keys.size(); ++i) a.SecondaryShortcuts.push_back(KeySequenceText(keys[i]));
        a.SetShortCut(keys.isEmpty() ? std::string() : KeySequenceText(keys.first()));
    }
    b.updating = false;
    if (keysChanged) resolveShortcuts();
}

void ActionBinder::onTriggered(Binding& b) {
    // A checkable QAction has already toggled; its toggled signal ran the action.
    if (b.updating || b.qaction->isCheckable()) return;
    execute(b);
}

void ActionBinder::onToggled(Binding& b, bool checked) {
    if (b.updating || checked == b.action->Checked()) return;
    execute(b);
}

void ActionBinder::execute(Binding& b) {
    QPointer<QAction> alive(b.qaction);
    TCustomAbstractAction& action = *b.action;
    std::string failure;
    try {
        action.Execute();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "erreur inconnue";
    }
    // The action may have been unbound, or the binder destroyed, by what it ran.
    if (!alive) return;
    if (Binding* still = bindingOf(action); still == &b) showProperty(b, ActionProperty::Checked);
    if (!failure.empty()) {
        if (OnError)
            OnError(action, failure);
        else
            qWarning("%s: %s", action.Name().c_str(), failure.c_str());
    }
}

}  // namespace velinor
