#include "CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "Artwork.h"
#include "DialogBuilder.h"
#include "FixedDialog.h"
#include "ResourceIds.h"

namespace pellumar {

CAboutDlg::CAboutDlg(Shell& shell, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_link(shell, prompter) {
    const ControlMap controls =
        BuildFixedDialog(this, res::AboutDialogTemplate(), {{res::kIdLink, &m_link}});
    connect(static_cast<QPushButton*>(controls.at(res::kIdOk)), &QPushButton::clicked, this,
            &QDialog::accept);
    m_link.SetUp();
    m_link.SetHoverCursor(res::LinkCursor());
    m_link.SetTextColors(QColor(0, 0, 238), QColor(85, 26, 139), QColor(238, 0, 0));
    controls.at(res::kIdOk)->setFocus();
    // The version line keeps the template's text; the full version record is at hand on it.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->text().startsWith(QStringLiteral("PellumarSearch version")))
            label->setToolTip(QStringLiteral("Version " PELLUMAR_VERSION));
    }
}

CAboutDlg::~CAboutDlg() = default;

QWidget* CAboutDlg::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

}  // namespace pellumar
