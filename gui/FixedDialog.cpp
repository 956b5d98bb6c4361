#include "FixedDialog.h"

#include <QDialog>

namespace pellumar {

ControlMap BuildFixedDialog(QDialog* dialog, const res::DialogTemplate& layout,
                            const ControlMap& provided) {
    dialog->setWindowTitle(QString::fromUtf8(layout.caption));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(ClientSize(layout, BaseUnitsOf(dialog->font())));
    return BuildControls(dialog, layout, provided);
}

}  // namespace pellumar
