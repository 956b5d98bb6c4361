#include "CSearchApp.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "CSearchDlg.h"
#include "EndSignals.h"
#include "HelpKey.h"
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
        const HelpKey help([this] { OnHelp(); });
        const EndSignals ending([&dialog](int) { dialog.OnEndRequested(); });
        dialog.DoModal();
        if (ending.Received() != 0)
            return 128 + ending.Received();  // as a program the signal ended
    }
    return 0;
}

void CSearchApp::OnHelp() {
    if (QFileInfo(m_strHelpPath).isFile())
        m_shell.OpenDocument(m_strHelpPath);
}

}  // namespace pellumar
