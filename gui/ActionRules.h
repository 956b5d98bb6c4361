#pragma once

#include <cstdint>

#include <QStringList>

namespace pellumar {

// The edit box and Browse are enabled exactly when the action is "open with a program" (2).
bool ProgramChosen(std::int32_t action);
// The action of a radio button of the Double-Click Action dialog, by its control id.
std::int32_t RadioAction(int id);
// The filters offered when browsing for a program, the selected one first; the first takes
// every file that may be run (the chooser keeps the others out).
QStringList ProgramFilters();

}  // namespace pellumar
