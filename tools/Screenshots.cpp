// Takes a picture of each page of the main window, without a display:
//   pellumar_screenshots OUTPUT_FOLDER
// writes query.png, results.png, about.png and action.png there. Settings come from memory,
// never the user's own.
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>

#include "CAboutDlg.h"
#include "CActionDlg.h"
#include "CSearchDlg.h"
#include "DesktopShell.h"
#include "MemorySettingsStore.h"
#include "MessageBoxPrompter.h"
#include "ResourceIds.h"

namespace {

bool Save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath("."))
        return 1;

    pellumar::MemorySettingsStore store;
    store.WriteProfileString("Look In Folders MRU", "dir1", "/home/ann/projects");
    store.WriteProfileString("Filters MRU", "filter1", "*.txt");
    pellumar::MessageBoxPrompter prompter;
    pellumar::DesktopShell shell;
    pellumar::CSearchDlg dialog(store, prompter, shell);
    dialog.show();
    bool ok = Save(dialog, folder.filePath("query.png"));
    static_cast<QTabWidget*>(dialog.Control(pellumar::res::kIdTabPages))->setCurrentIndex(1);
    ok = Save(dialog, folder.filePath("results.png")) && ok;
    pellumar::CAboutDlg about(shell, prompter, &dialog);
    about.show();
    ok = Save(about, folder.filePath("about.png")) && ok;
    pellumar::CActionDlg action(prompter, &dialog);
    action.m_nAction = 2;
    action.m_strViewer = "xdg-open";
    action.OnInitDialog();
    action.show();
    ok = Save(action, folder.filePath("action.png")) && ok;
    return ok ? 0 : 1;
}
