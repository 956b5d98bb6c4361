#include <QApplication>

#include "CSearchApp.h"
#include "DesktopShell.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    pellumar::DesktopShell shell;
    pellumar::CSearchApp app(shell, QCoreApplication::applicationFilePath());
    return app.InitInstance();
}
