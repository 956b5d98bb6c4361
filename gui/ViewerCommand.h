#pragma once

#include <QByteArrayList>
#include <QString>
#include <cstdint>

namespace pellumar {

// What the Double-Click Action's program is started as, on one file.
struct ViewerCommand {
    QString program;
    QByteArrayList arguments;
};

// The program text as the action gives it. A text without %f and %l names the program, which
// gets the file as its one argument. One with them is a command line, split into words as a
// shell splits them (double quotes group, nothing else is interpreted): %f becomes the file's path,
// byte for byte, and %l the line, 1 where none is known; a text with %l alone gets the file
// last.
ViewerCommand ViewerCommandFor(const QString& text, const QByteArray& file, uint64_t line);

}  // namespace pellumar
