#pragma once

#include <QString>

namespace pellumar {

class Prompter;
class Shell;

// Runs the program: prepares the settings store, runs the main window until it closes and
// then destroys it, which writes the recent lists and the options. F1 opens the read-me text.
class CSearchApp {
  public:
    CSearchApp(Shell& shell, const QString& executablePath);

    // Runs the whole program; the process's exit status.
    int InitInstance();
    // Opens the read-me text beside the executable; nothing when it is missing. Where the desktop
    // cannot open it, says why.
    void OnHelp();

    const QString& ApplicationName() const { return m_strAppName; }

    static constexpr const char* kCompany = "KVT";
    // The launcher entry's name, without ".desktop".
    static constexpr const char* kDesktopEntry = "org.example.PellumarSearch";

  private:
    Shell& m_shell;
    Prompter* m_pPrompter = nullptr;  // while the window runs
    QString m_strAppName;
    QString m_strHelpPath;
};

}  // namespace pellumar
