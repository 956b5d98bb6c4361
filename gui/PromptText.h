#pragma once

#include <QString>

namespace pellumar {

// Texts longer than a message box can show on the screen: at most this many lines, and this
// many characters in a line.
constexpr int kPromptLines = 20;
constexpr int kPromptColumns = 100;

// The text as a message box shows it: each line longer than the box takes cut with an
// ellipsis, and the lines past the box's last one left out after an ellipsis line. The same
// text when it fits; the whole text is then given as the box's details.
QString ShortenedForBox(const QString& text);

}  // namespace pellumar
