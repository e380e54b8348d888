#pragma once
// Right-click menus. UI thread only.
class QMenu;
class QWidget;

namespace velinor {

// A right click (or the menu key) on `widget` pops `menu` up where it was asked for. A widget of
// a scroll area gets it on its viewport too.
void AttachContextMenu(QWidget& widget, QMenu& menu);

}  // namespace velinor
