#pragma once

#include "Shell.h"

namespace pellumar {

// The desktop's own handlers (xdg-open on Linux).
class DesktopShell final : public Shell {
  public:
    bool OpenDocument(const QString& path) override;
    bool OpenUrl(const QString& url) override;
    QString HtmlHandlerCommand() override;
    bool StartProgram(const QString& program, const QStringList& arguments,
                      const QString& folder) override;
};

}  // namespace pellumar
