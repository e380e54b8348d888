#pragma once
// Binds typed actions to QActions both ways: caption, hint, shortcuts, check state, enabled and
// visible states and image follow the typed action, and a change made on the QAction is written
// back to it. Triggering the QAction executes the typed action. UI thread only.
#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "actions/actions.h"
#include "actions/actions_list.h"

namespace velinor {

// A portable key text of a typed action ("Ctrl+Shift+X", "Num++") as a key sequence; empty when
// the text names no key.
QKeySequence KeySequenceFromText(const std::string& text);
std::string KeySequenceText(const QKeySequence& keys);

// The drawn image of a catalogue image index (CatalogueImage); a null icon for -1 or an unknown
// index. Drawn once per index and size, then cached.
QIcon CatalogueIcon(int imageIndex);

class ActionBinder : public QObject {
public:
    explicit ActionBinder(QObject* parent = nullptr);
    // Detaches from every bound action: the typed actions must outlive the binder, or be unbound.
    ~ActionBinder() override;

    // The QAction of `action`, made on first call. The binder owns it.
    QAction* Bind(TCustomAbstractAction& action);
    // Binds every action of a list, in list order.
    void BindList(const TCustomMvActionList& list);
    // Stops following the action and deletes its QAction.
    void Unbind(TCustomAbstractAction& action);

    QAction* Find(const TCustomAbstractAction& action) const;
    // The QAction of the bound action whose InternalId is `internalId`, or null.
    QAction* Find(std::string_view internalId) const;
    TCustomAbstractAction* ActionOf(const QAction* action) const;
    // Every QAction, in binding order.
    QList<QAction*> Actions() const;

    // Re-reads every property of the action; needed after a change that sends no notice
    // (SecondaryShortcuts is a plain field).
    void Refresh(TCustomAbstractAction& action);

    // Told when executing an action threw; the QAction's state is put back from the typed action.
    std::function<void(TCustomAbstractAction& action, const std::string& what)> OnError;

private:
    struct Binding;

    Binding* bindingOf(const TCustomAbstractAction& action) const;
    void showProperty(Binding& b, ActionProperty what);
    void showAll(Binding& b);
    void takeFromQAction(Binding& b);
    void onTriggered(Binding& b);
    void onToggled(Binding& b, bool checked);
    void execute(Binding& b);
    // Gives every key to one action only: a main shortcut before an additional one, then the
    // action bound first. Qt would otherwise run neither of two actions sharing a key.
    void resolveShortcuts();

    std::vector<std::unique_ptr<Binding>> bindings_;
    std::unordered_map<const TCustomAbstractAction*, Binding*> byAction_;
    std::unordered_map<const QAction*, Binding*> byQAction_;
};

}  // namespace velinor
