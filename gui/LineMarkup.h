#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include "TextLine.h"

namespace pellumar {

// A line as a list shows it: its text, with each mark as a start and a length in that text.
struct LineMarkup {
    QString text;
    QList<QPair<int, int>> marks;
};

// The most characters of one line that a row shows.
inline constexpr int kShownLineLength = 1000;

// The line's bytes decoded (UTF-8, a byte that is not a U+FFFD), each control character but a
// tab shown as its picture, so that an escape or a stray carriage return can do nothing to the
// list; a carriage return that ends the line ends it, as its line feed does.
// A line longer than a row shows starts a little before its first mark, after an ellipsis, and
// ends after kShownLineLength characters with another.
LineMarkup MarkupOf(const TextLine& line);

}  // namespace pellumar
