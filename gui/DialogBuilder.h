#pragma once

#include <QSize>
#include <functional>
#include <map>
#include <span>

#include "DialogLayout.h"
#include "DialogTemplate.h"

class QFont;
class QMenuBar;
class QWidget;

namespace pellumar {

using ControlMap = std::map<int, QWidget*>;

// The dialog font's base units in pixels.
BaseUnits BaseUnitsOf(const QFont& font);

// Places the controls of a template on `client` in tab order: the widgets in `provided` as
// they are, a widget of the control's kind for every other control. Each widget's objectName
// is its control id. Returns every control that has an id, by id.
ControlMap BuildControls(QWidget* client, const res::DialogTemplate& dialog,
                         const ControlMap& provided);

// The client area's size in pixels.
QSize ClientSize(const res::DialogTemplate& dialog, BaseUnits units);

// A menu bar with the items of the template; each item's objectName is its command id, and
// choosing one calls `onCommand` with that id. Items with a check mark are checkable.
QMenuBar* BuildMenuBar(std::span<const res::MenuTemplate> menus, QWidget* parent,
                       const std::function<void(int)>& onCommand);

}  // namespace pellumar
