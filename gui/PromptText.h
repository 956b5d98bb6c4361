#pragma once

#include <QString>

namespace pellumar {

// How much text a message box can show on a screen, in characters.
struct BoxLimits {
    int lines;    // rows of text, counting the rows a long line wraps into
    int columns;  // the longest run without a space that a box can hold
    int wrap;     // the characters of one row, where a box wraps its text
};

// The limits on a screen of this size, for text of this character width and line height; a
// message box wraps its text at half the screen's width and grows to most of it for a long word.
BoxLimits LimitsFor(int screenWidth, int screenHeight, int charWidth, int lineHeight);

// The text as a message box shows it within `limits`: a run without spaces too long for the box
// keeps its start and its end around an ellipsis, and the rows past the box's last one are left
// out after an ellipsis line. The same text when it fits, which is then never shortened; a
// shortened text is given whole as the box's details.
QString ShortenedForBox(const QString& text, BoxLimits limits);

}  // namespace pellumar
