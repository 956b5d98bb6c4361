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
    bool StartViewer(const QString& program, const QByteArray& file,
                     const QByteArray& folder) override;
};

}  // namespace pellumar
