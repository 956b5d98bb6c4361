#pragma once

#include "DialogBuilder.h"

class QDialog;

namespace pellumar {

// Lays a template out on a small fixed-size dialog: its caption, its controls at their places
// (`provided` as in BuildControls), and no resizing.
ControlMap BuildFixedDialog(QDialog* dialog, const res::DialogTemplate& layout,
                            const ControlMap& provided);

}  // namespace pellumar
