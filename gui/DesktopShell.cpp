#include "DesktopShell.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace pellumar {

QByteArray FileUrl(const QByteArray& path) {
    return "file://" + path.toPercentEncoding("/");
}

bool DesktopShell::OpenDocument(const QByteArray& path) {
    return QDesktopServices::openUrl(QUrl::fromEncoded(FileUrl(path)));
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

#ifndef _WIN32
// A program's arguments are text to QProcess: a path that is not UTF-8 would reach the program
// changed. It is started here with the bytes themselves, as QProcess starts a detached program:
// through a child that ends at once, so that no child is left to wait for, and a pipe that
// tells whether the program could be started.
bool DesktopShell::StartViewer(const QString& program, const QByteArray& file,
                               const QByteArray& folder) {
    QByteArray name = QFile::encodeName(program);
    QByteArray argument = file;
    char* argv[] = {name.data(), argument.data(), nullptr};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::fork() == 0) {
            ::setsid();
            if (folder.isEmpty() || ::chdir(folder.constData()) == 0)
                ::execvp(argv[0], argv);
            const int error = errno;
            [[maybe_unused]] const ssize_t told = ::write(report[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int error = 0;
    const ssize_t told = child > 0 ? ::read(report[0], &error, sizeof error) : -1;
    ::close(report[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return child > 0 && told == 0;
}
#else
bool DesktopShell::StartViewer(const QString& program, const QByteArray& file,
                               const QByteArray& folder) {
    return QProcess::startDetached(program, {QFile::decodeName(file)}, QFile::decodeName(folder));
}
#endif

}  // namespace pellumar
