#include "MessageBoxPrompter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace pellumar {
namespace {

QMessageBox::StandardButtons ButtonsOf(Prompter::Buttons buttons) {
    switch (buttons) {
        case Prompter::kOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Prompter::kAbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case Prompter::kYesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Prompter::kOk:
            break;
    }
    return QMessageBox::Ok;
}

int AnswerOf(int button) {
    switch (button) {
        case QMessageBox::Ok:
            return Prompter::kIdOk;
        case QMessageBox::Abort:
            return Prompter::kIdAbort;
        case QMessageBox::Retry:
            return Prompter::kIdRetry;
        case QMessageBox::Ignore:
            return Prompter::kIdIgnore;
        case QMessageBox::Yes:
            return Prompter::kIdYes;
        case QMessageBox::No:
            return Prompter::kIdNo;
        default:
            return Prompter::kIdCancel;
    }
}

}  // namespace

int MessageBoxPrompter::Ask(const QString& text, const QString& caption, Buttons buttons,
                            Icon icon) {
    const QMessageBox::Icon shown = icon == kExclamation ? QMessageBox::Warning
                                    : icon == kQuestion  ? QMessageBox::Question
                                                         : QMessageBox::NoIcon;
    QMessageBox box(shown, caption, text, ButtonsOf(buttons), m_pOwner);
    return AnswerOf(box.exec());
}

QString MessageBoxPrompter::ChooseFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(m_pOwner, title);
}

}  // namespace pellumar
