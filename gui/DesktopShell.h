#pragma once

#include "Shell.h"

namespace pellumar {

// The address of a file, its path's bytes percent-encoded: a name that is not UTF-8 still names
// its file.
QByteArray FileUrl(const QByteArray& path);

// The desktop's own handlers (xdg-open on Linux).
class DesktopShell final : public Shell {
  public:
    bool OpenDocument(const QByteArray& path) override;
    bool OpenUrl(const QString& url) override;
    QString HtmlHandlerCommand() override;
    bool StartProgram(const QString& program, const QStringList& arguments,
                      const QString& folder) override;
    bool StartViewer(const QString& program, const QByteArrayList& arguments,
                     const QByteArray& folder) override;
    QString LastFailure() const override { return m_strFailure; }

  private:
    // Opens a file or an address with xdg-open, which is given a moment to say that it could not.
    bool OpenWithDesktop(const QByteArray& target);

    QString m_strFailure;
};

// How long xdg-open is given to say that it could not open something, in milliseconds.
inline constexpr int kDesktopWaitMs = 500;

// Why xdg-open could not open something, from its exit status.
QString DesktopOpenFailure(int exitStatus);

}  // namespace pellumar
