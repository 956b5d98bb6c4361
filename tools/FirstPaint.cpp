// Starts a window and ends at its first paint, for bench/run's start-up case:
//   pellumar_first_paint            the main window, as the program starts it
//   pellumar_first_paint --minimal  an empty Qt window of the same size: what any Qt program pays
// The caller times the whole process, from its start to its end.
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstring>

#include "CSearchApp.h"
#include "CSearchDlg.h"
#include "DesktopShell.h"
#include "MessageBoxPrompter.h"
#include "QtSettingsStore.h"

namespace {

// Ends the program when the watched window has painted.
class FirstPaint final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    FirstPaint ending;
    if (argc > 1 && std::strcmp(argv[1], "--minimal") == 0) {
        QWidget window;
        window.resize(560, 460);
        window.installEventFilter(&ending);
        window.show();
        return application.exec();
    }
    using namespace pellumar;
    // The settings the program reads at its start: the caller chooses where they are.
    const QString name = QStringLiteral("PellumarSearch");
    QCoreApplication::setOrganizationName(CSearchApp::kCompany);
    QCoreApplication::setApplicationName(name);
    QtSettingsStore store(CSearchApp::kCompany, name);
    MessageBoxPrompter prompter;
    DesktopShell shell;
    CSearchDlg dialog(store, prompter, shell);
    prompter.SetOwner(&dialog);
    dialog.installEventFilter(&ending);
    dialog.show();
    return application.exec();
}
