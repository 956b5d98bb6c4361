#include "CSearchApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include "CSearchDlg.h"
#include "EndSignals.h"
#include "HelpKey.h"
#include "MessageBoxPrompter.h"
#include "Prompter.h"
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
    // The window is matched to its launcher entry (its name, and the window class it sets).
    QGuiApplication::setDesktopFileName(QString::fromUtf8(kDesktopEntry));
    QtSettingsStore store(kCompany, m_strAppName);
    {
        MessageBoxPrompter prompter;
        CSearchDlg dialog(store, prompter, m_shell);
        prompter.SetOwner(&dialog);
        m_pPrompter = &prompter;
        dialog.SetHelp([this] { OnHelp(); });
        const HelpKey help([this] { OnHelp(); });
        const EndSignals ending([&dialog](int) { dialog.OnEndRequested(); });
        dialog.DoModal();
        m_pPrompter = nullptr;
        if (ending.Received() != 0)
            return 128 + ending.Received();  // as a program the signal ended
    }
    return 0;
}

void CSearchApp::OnHelp() {
    if (!QFileInfo(m_strHelpPath).isFile())
        return;
    QApplication::setOverrideCursor(Qt::BusyCursor);  // the desktop may take a moment to answer
    const bool opened = m_shell.OpenDocument(QFile::encodeName(m_strHelpPath));
    QApplication::restoreOverrideCursor();
    if (opened)
        return;
    if (m_pPrompter != nullptr) {
        m_pPrompter->Ask(OpenFailureText("the help file " + m_strHelpPath, m_shell.LastFailure()),
                         m_strAppName, Prompter::kOk, Prompter::kExclamation);
    }
}

}  // namespace pellumar
