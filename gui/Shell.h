#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace pellumar {

// What the program asks of the desktop. Tests put a recording one in its place.
class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a file with the desktop's default handler for its type; false when it cannot. The
    // path is the file's own bytes, whether or not they are UTF-8.
    virtual bool OpenDocument(const QByteArray& path) = 0;
    // Opens a web address with the desktop's handler; false when it cannot.
    virtual bool OpenUrl(const QString& url) = 0;
    // The command line of the desktop's web page handler, or "" when there is none.
    virtual QString HtmlHandlerCommand() = 0;
    // Starts a program with its arguments, each passed as it is, never through a shell.
    virtual bool StartProgram(const QString& program, const QStringList& arguments,
                              const QString& folder) = 0;
    // Starts a program on a file in `folder`: the arguments, the file's path among them, go byte
    // for byte, never parsed by a shell.
    virtual bool StartViewer(const QString& program, const QByteArrayList& arguments,
                             const QByteArray& folder) = 0;
    // Why the last of these calls that returned false failed, in words; "" when it is not known.
    virtual QString LastFailure() const = 0;
};

// What a box says when something did not open: "Cannot open WHAT:\nREASON.", the shell's reason
// or, when it gave none, that it gave none.
inline QString OpenFailureText(const QString& what, const QString& reason) {
    return QStringLiteral("Cannot open %1:\n%2.")
        .arg(what, reason.isEmpty() ? QStringLiteral("the desktop gave no reason") : reason);
}

}  // namespace pellumar
