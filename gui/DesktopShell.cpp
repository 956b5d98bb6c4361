#include "DesktopShell.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace pellumar {

bool DesktopShell::OpenDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShell::OpenUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

// The desktop entry that xdg-mime names for web pages, and the Exec line of that entry.
QString DesktopShell::HtmlHandlerCommand() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {"query", "default", "text/html"});
    if (!query.waitForFinished(5000) || query.exitCode() != 0)
        return {};
    const QString entry = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (entry.isEmpty())
        return {};
    QFile file(QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('['))
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
        if (inMainGroup && line.startsWith(QStringLiteral("Exec=")))
            return line.mid(5);
    }
    return {};
}

bool DesktopShell::StartProgram(const QString& program, const QStringList& arguments,
                                const QString& folder) {
    return QProcess::startDetached(program, arguments, folder);
}

}  // namespace pellumar
