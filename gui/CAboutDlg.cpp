#include "CAboutDlg.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "Artwork.h"
#include "DialogBuilder.h"
#include "FixedDialog.h"
#include "LinkRules.h"
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
    SetLinkColors();
    controls.at(res::kIdOk)->setFocus();
    // The version line keeps the template's text; the full version record is at hand on it.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->text().startsWith(QStringLiteral("PellumarSearch version")))
            label->setToolTip(QStringLiteral("Version " PELLUMAR_VERSION));
    }
}

CAboutDlg::~CAboutDlg() = default;

// The described colours where they read on the window's background; on a dark theme, the
// theme's own colours of the same roles, made to read.
void CAboutDlg::SetLinkColors() {
    const auto rgb = [](const QColor& c) { return Rgb{c.red(), c.green(), c.blue()}; };
    const auto color = [](Rgb c) { return QColor(c.r, c.g, c.b); };
    const QPalette& colors = palette();  // the window's: its children follow it later
    const Rgb background = rgb(colors.color(QPalette::Window));
    m_link.SetTextColors(
        color(ReadableLinkColor({0, 0, 238}, rgb(colors.color(QPalette::Link)), background)),
        color(
            ReadableLinkColor({85, 26, 139}, rgb(colors.color(QPalette::LinkVisited)), background)),
        color(ReadableLinkColor({238, 0, 0}, rgb(colors.color(QPalette::Highlight)), background)));
}

void CAboutDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        SetLinkColors();
}

QWidget* CAboutDlg::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

}  // namespace pellumar
