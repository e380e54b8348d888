#include "ui/kit/context_menu.h"

#include <QAbstractScrollArea>
#include <QMenu>
#include <QPointer>
#include <QWidget>

namespace velinor {

void AttachContextMenu(QWidget& widget, QMenu& menu) {
    widget.setContextMenuPolicy(Qt::CustomContextMenu);
    QPointer<QMenu> target(&menu);
    QWidget* origin = &widget;
    // A scroll area reports positions in its viewport's coordinates.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(&widget)) origin = area->viewport();
    QObject::connect(&widget, &QWidget::customContextMenuRequested, &menu,
                     [target, origin](const QPoint& at) {
                         if (target) target->popup(origin->mapToGlobal(at));
                     });
}

}  // namespace velinor
