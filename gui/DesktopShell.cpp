#include "DesktopShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace pellumar {

bool DesktopShell::OpenDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShell::StartProgram(const QString& program, const QStringList& arguments,
                                const QString& folder) {
    return QProcess::startDetached(program, arguments, folder);
}

}  // namespace pellumar
