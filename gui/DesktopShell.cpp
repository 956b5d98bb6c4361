#include "DesktopShell.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

QString DesktopOpenFailure(int exitStatus) {
    switch (exitStatus) {
        case 2:
            return QStringLiteral("it does not exist");
        case 3:
            return QStringLiteral("the desktop has no program set to open it");
        case 4:
            return QStringLiteral("the program the desktop has set to open it failed");
        default:
            return QStringLiteral(
                       "xdg-open, which asks the desktop to open it, failed (exit "
                       "status %1)")
                .arg(exitStatus);
    }
}

#ifndef _WIN32
namespace {

// How a program started by Launch went.
struct Launched {
    int startError = 0;  // errno of the program's start, or 0 when it started
    bool ended = false;  // it ended within the time waited
    int status = 0;      // then, its wait status
};

// Starts a program on one argument, in a session of its own, in `folder` (or the current one),
// and waits at most `waitMs` for it to end. A child between this process and the program waits
// for it and then leaves, so that the program is nobody's to wait for. False when not even that
// child could be made.
bool Launch(QByteArray program, QByteArray argument, const QByteArray& folder, int waitMs,
            Launched& launched) {
    char* argv[] = {program.data(), argument.data(), nullptr};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        Launched result;
        int started[2];
        if (::pipe2(started, O_CLOEXEC) == 0) {
            const pid_t runner = ::fork();
            if (runner == 0) {
                ::setsid();
                if (folder.isEmpty() || ::chdir(folder.constData()) == 0)
                    ::execvp(argv[0], argv);
                const int error = errno;
                [[maybe_unused]] const ssize_t told = ::write(started[1], &error, sizeof error);
                ::_exit(127);
            }
            ::close(started[1]);
            if (runner < 0 || ::read(started[0], &result.startError, sizeof(int)) > 0) {
                result.startError = runner < 0 ? errno : result.startError;
                if (runner > 0)
                    ::waitpid(runner, nullptr, 0);
            } else {
                for (int waited = 0; waited <= waitMs && !result.ended; waited += 20) {
                    result.ended = ::waitpid(runner, &result.status, WNOHANG) == runner;
                    if (!result.ended && waitMs > 0)
                        ::usleep(20000);
                }
            }
        }
        [[maybe_unused]] const ssize_t told = ::write(report[1], &result, sizeof result);
        ::_exit(0);
    }
    ::close(report[1]);
    const ssize_t told = child > 0 ? ::read(report[0], &launched, sizeof launched) : -1;
    ::close(report[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return told == static_cast<ssize_t>(sizeof launched);
}

QString StartFailure(const QString& program, int error) {
    return error == ENOENT ? QStringLiteral("%1 is not installed").arg(program)
                           : QStringLiteral("%1 could not be started: %2")
                                 .arg(program, QString::fromLocal8Bit(::strerror(error)));
}

}  // namespace

// A failure of xdg-open takes it a moment to tell; a program it starts and then waits for is
// not waited for here beyond that.
bool DesktopShell::OpenWithDesktop(const QByteArray& target) {
    Launched launched;
    if (!Launch("xdg-open", target, {}, 1000, launched)) {
        m_strFailure = QStringLiteral("no process could be made to open it");
        return false;
    }
    if (launched.startError != 0) {
        m_strFailure = StartFailure(QStringLiteral("xdg-open"), launched.startError);
    } else if (launched.ended && WIFSIGNALED(launched.status)) {
        m_strFailure = QStringLiteral("xdg-open ended by signal %1").arg(WTERMSIG(launched.status));
    } else if (launched.ended && WEXITSTATUS(launched.status) != 0) {
        m_strFailure = DesktopOpenFailure(WEXITSTATUS(launched.status));
    } else {
        m_strFailure.clear();
        return true;
    }
    return false;
}
bool DesktopShell::OpenDocument(const QByteArray& path) {
    return OpenWithDesktop(path);
}

bool DesktopShell::OpenUrl(const QString& url) {
    return OpenWithDesktop(url.toUtf8());
}
#else
bool DesktopShell::OpenWithDesktop(const QByteArray& address) {
    const bool opened = QDesktopServices::openUrl(QUrl::fromEncoded(address));
    m_strFailure = opened ? QString() : QStringLiteral("Windows has no program set to open it");
    return opened;
}

bool DesktopShell::OpenDocument(const QByteArray& path) {
    return OpenWithDesktop(FileUrl(path));
}

bool DesktopShell::OpenUrl(const QString& url) {
    return OpenWithDesktop(QUrl(url).toEncoded());
}
#endif

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
    const bool started = QProcess::startDetached(program, arguments, folder);
    m_strFailure = started ? QString() : QStringLiteral("%1 could not be started").arg(program);
    return started;
}

#ifndef _WIN32
// A program's arguments are text to QProcess: a path that is not UTF-8 would reach the program
// changed. It is started here with the bytes themselves, never waited for.
bool DesktopShell::StartViewer(const QString& program, const QByteArray& file,
                               const QByteArray& folder) {
    Launched launched;
    if (!Launch(QFile::encodeName(program), file, folder, 0, launched)) {
        m_strFailure = QStringLiteral("no process could be made to start it");
        return false;
    }
    m_strFailure =
        launched.startError == 0 ? QString() : StartFailure(program, launched.startError);
    return launched.startError == 0;
}
#else
bool DesktopShell::StartViewer(const QString& program, const QByteArray& file,
                               const QByteArray& folder) {
    return QProcess::startDetached(program, {QFile::decodeName(file)}, QFile::decodeName(folder));
}
#endif

}  // namespace pellumar
