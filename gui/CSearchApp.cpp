#include "CSearchApp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QShortcut>

#include "CSearchDlg.h"
#include "MessageBoxPrompter.h"
#include "QtSettingsStore.h"
#include "Shell.h"
#include "WindowRules.h"

namespace pellumar {

CSearchApp::CSearchApp(Shell& shell, const QString& executablePath)
    : m_shell(shell),
      m_strAppName(QtSettingsStore::ApplicationNameFor(executablePath)),
      m_strHelpPath(QString::fromStdString(HelpFilePath(executablePath.toStdString()))) {}

int CSearchApp::InitInstance() {
    QCoreApplication::setOrganizationName(kCompany);
    QCoreApplication::setApplicationName(m_strAppName);
    QtSettingsStore store(kCompany, m_strAppName);
    {
        MessageBoxPrompter prompter;
        CSearchDlg dialog(store, prompter, m_shell);
        prompter.SetOwner(&dialog);
        // F1 in any window of the program, with no Shift, Ctrl or Alt.
        QShortcut help(QKeySequence(Qt::Key_F1), &dialog);
        help.setContext(Qt::ApplicationShortcut);
        QObject::connect(&help, &QShortcut::activated, [this] { OnHelp(); });
        dialog.DoModal();
    }
    return 0;
}

void CSearchApp::OnHelp() {
    if (QFileInfo(m_strHelpPath).isFile())
        m_shell.OpenDocument(m_strHelpPath);
}

}  // namespace pellumar
