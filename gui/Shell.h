#pragma once

#include <QString>

namespace pellumar {

// What the program asks of the desktop. Tests put a recording one in its place.
class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a file with the desktop's default handler for its type; false when it cannot.
    virtual bool OpenDocument(const QString& path) = 0;
};

}  // namespace pellumar
