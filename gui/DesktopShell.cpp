#include "DesktopShell.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#endif

#include <vector>

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
    enum Step { kStarted, kProcess, kFolder, kProgram };
    int step = kStarted;  // the step that failed, or kStarted
    int error = 0;        // then, its errno
    bool ended = false;   // it ended within the time waited
    int status = 0;       // then, its wait status
};

// Runs in the forked child that starts the program, so it calls only what is safe there: the
// signals the window catches are set back, the program starts with none blocked.
[[noreturn]] void RunProgram(char* const argv[], const char* folder, int report) {
    ::setsid();
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int told[2] = {Launched::kFolder, 0};
    if (*folder == '\0' || ::chdir(folder) == 0) {
        ::execv(argv[0], argv);
        told[0] = Launched::kProgram;
    }
    told[1] = errno;
    [[maybe_unused]] const ssize_t written = ::write(report, told, sizeof told);
    ::_exit(127);
}

// The child between the window and the program: it starts the program, waits at most `waitMs`
// for it to end, tells the window how it went and leaves.
[[noreturn]] void StartAndWatch(char* const argv[], const char* folder, int waitMs, int report) {
    for (const int caught : {SIGTERM, SIGHUP, SIGINT})
        ::signal(caught, SIG_DFL);
    Launched result;
    int started[2];
    const pid_t runner = ::pipe2(started, O_CLOEXEC) == 0 ? ::fork() : -1;
    if (runner == 0)
        RunProgram(argv, folder, started[1]);
    if (runner < 0) {
        result.step = Launched::kProcess;
        result.error = errno;
    } else {
        ::close(started[1]);
        int told[2];
        if (::read(started[0], told, sizeof told) == static_cast<ssize_t>(sizeof told)) {
            result.step = told[0];
            result.error = told[1];
            ::waitpid(runner, nullptr, 0);
        } else {
            for (int waited = 0; waited <= waitMs && !result.ended; waited += 20) {
                result.ended = ::waitpid(runner, &result.status, WNOHANG) == runner;
                if (!result.ended && waitMs > 0)
                    ::usleep(20000);
            }
        }
    }
    [[maybe_unused]] const ssize_t written = ::write(report, &result, sizeof result);
    ::_exit(0);
}

// Starts a program on its arguments, in a session of its own, in `folder` (or the current one),
// and waits at most `waitMs` for it to end. The child between this process and the program
// leaves once it has told how it went, so that the program is nobody's to wait for.
Launched Launch(const QString& program, QByteArrayList arguments, const QByteArray& folder,
                int waitMs) {
    Launched launched;
    // Looked up here: after a fork, a threaded program may not search the path.
    QByteArray path = QFile::encodeName(
        program.contains('/') ? program : QStandardPaths::findExecutable(program));
    if (path.isEmpty()) {
        launched.step = Launched::kProgram;
        launched.error = ENOENT;
        return launched;
    }
    std::vector<char*> argv{path.data()};
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int report[2];
    const pid_t child = ::pipe2(report, O_CLOEXEC) == 0 ? ::fork() : -1;
    if (child == 0)
        StartAndWatch(argv.data(), folder.constData(), waitMs, report[1]);
    if (child < 0) {
        launched.step = Launched::kProcess;
        launched.error = errno;
        return launched;
    }
    ::close(report[1]);
    if (::read(report[0], &launched, sizeof launched) != static_cast<ssize_t>(sizeof launched))
        launched = {Launched::kProcess, EIO, false, 0};
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    return launched;
}

// Why a program could not be started, or "" when it was.
QString StartFailure(const QString& program, const QByteArray& folder, const Launched& launched) {
    const QString reason = QString::fromLocal8Bit(::strerror(launched.error));
    switch (launched.step) {
        case Launched::kProgram:
            return launched.error == ENOENT
                       ? QStringLiteral("%1 is not installed").arg(program)
                       : QStringLiteral("%1 could not be started: %2").arg(program, reason);
        case Launched::kFolder:
            return QStringLiteral("its folder %1 cannot be entered: %2")
                .arg(QFile::decodeName(folder), reason);
        case Launched::kProcess:
            return QStringLiteral("no process could be made to start %1: %2").arg(program, reason);
        default:
            return {};
    }
}

}  // namespace

// A failure of xdg-open takes it a moment to tell; a program it starts and then waits for is
// not waited for here beyond that moment.
bool DesktopShell::OpenWithDesktop(const QByteArray& target) {
    const QString program = QStringLiteral("xdg-open");
    const Launched launched = Launch(program, {target}, {}, kDesktopWaitMs);
    m_strFailure = StartFailure(program, {}, launched);
    if (m_strFailure.isEmpty() && launched.ended) {
        if (WIFSIGNALED(launched.status))
            m_strFailure =
                QStringLiteral("xdg-open ended by signal %1").arg(WTERMSIG(launched.status));
        else if (WEXITSTATUS(launched.status) != 0)
            m_strFailure = DesktopOpenFailure(WEXITSTATUS(launched.status));
    }
    return m_strFailure.isEmpty();
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
bool DesktopShell::StartViewer(const QString& program, const QByteArrayList& arguments,
                               const QByteArray& folder) {
    m_strFailure = StartFailure(program, folder, Launch(program, arguments, folder, 0));
    return m_strFailure.isEmpty();
}
#else
bool DesktopShell::StartViewer(const QString& program, const QByteArrayList& arguments,
                               const QByteArray& folder) {
    QStringList decoded;
    for (const QByteArray& argument : arguments)
        decoded << QFile::decodeName(argument);
    return QProcess::startDetached(program, decoded, QFile::decodeName(folder));
}
#endif

}  // namespace pellumar
