#include "DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

namespace pellumar {

bool DesktopShell::OpenDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace pellumar
