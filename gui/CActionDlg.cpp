#include "CActionDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ActionRules.h"
#include "FixedDialog.h"
#include "Prompter.h"
#include "ResourceIds.h"

namespace pellumar {
namespace {

using namespace res;
constexpr int kRadios[] = {kIdActionNothing, kIdActionDefault, kIdActionProgram};

}  // namespace

CActionDlg::CActionDlg(Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter) {
    const ControlMap controls = BuildFixedDialog(this, ActionDialogTemplate(), {});
    connect(static_cast<QPushButton*>(controls.at(kIdOk)), &QPushButton::clicked, this,
            &CActionDlg::accept);
    connect(static_cast<QPushButton*>(controls.at(kIdCancel)), &QPushButton::clicked, this,
            &QDialog::reject);
    connect(static_cast<QPushButton*>(controls.at(kIdViewerBrowse)), &QPushButton::clicked, this,
            &CActionDlg::OnBrowse);
    for (int id : kRadios)
        connect(static_cast<QRadioButton*>(controls.at(id)), &QRadioButton::clicked, this,
                [this, id] { OnRadioClicked(id); });
}

CActionDlg::~CActionDlg() = default;

QWidget* CActionDlg::Control(int id) const {
    return findChild<QWidget*>(QString::number(id));
}

int CActionDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CActionDlg::OnInitDialog() {
    UpdateData(false);
    const bool program = ProgramChosen(m_nAction);
    Control(kIdViewer)->setEnabled(program);
    Control(kIdViewerBrowse)->setEnabled(program);
    Control(kIdOk)->setFocus();
}

void CActionDlg::UpdateData(bool bSaveAndValidate) {
    auto* viewer = static_cast<QLineEdit*>(Control(kIdViewer));
    if (bSaveAndValidate) {
        m_nAction = -1;
        for (int position = 0; position < static_cast<int>(std::size(kRadios)); ++position)
            if (static_cast<QRadioButton*>(Control(kRadios[position]))->isChecked())
                m_nAction = position;
        m_strViewer = viewer->text();
        return;
    }
    for (int position = 0; position < static_cast<int>(std::size(kRadios)); ++position) {
        auto* radio = static_cast<QRadioButton*>(Control(kRadios[position]));
        // An exclusive group cannot be emptied, so the buttons are set one by one.
        radio->setAutoExclusive(false);
        radio->setChecked(position == m_nAction);
        radio->setAutoExclusive(true);
    }
    viewer->setText(m_strViewer);
}

void CActionDlg::OnRadioClicked(int id) {
    const bool program = ProgramChosen(RadioAction(id));
    Control(kIdViewer)->setEnabled(program);
    Control(kIdViewerBrowse)->setEnabled(program);
}

// The chosen program shows in the box; the buttons stay as the user set them, and Cancel
// still leaves the fields as they were.
void CActionDlg::OnBrowse() {
    const QString program = m_prompter.ChooseProgram(this);
    if (!program.isEmpty())
        static_cast<QLineEdit*>(Control(kIdViewer))->setText(program);
}

void CActionDlg::accept() {
    UpdateData(true);
    QDialog::accept();
}

}  // namespace pellumar
