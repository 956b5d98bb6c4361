#include "PromptText.h"

#include <QStringList>
#include <algorithm>

namespace pellumar {
namespace {

const QChar kEllipsis(0x2026);

// Each word longer than `columns` keeps its two ends.
QString WithWordsCut(const QString& line, int columns) {
    QStringList words = line.split(QLatin1Char(' '));
    for (QString& word : words) {
        if (word.size() > columns) {
            // Never between the two halves of a character outside the basic plane.
            qsizetype head = (columns - 1) / 2;
            qsizetype tail = columns - 1 - head;
            if (head > 0 && word.at(head - 1).isHighSurrogate())
                --head;
            if (tail > 0 && word.at(word.size() - tail).isLowSurrogate())
                --tail;
            word = word.left(head) + kEllipsis + word.right(tail);
        }
    }
    return words.join(QLatin1Char(' '));
}

int RowsOf(const QString& line, int wrap) {
    return std::max<int>(1, static_cast<int>((line.size() + wrap - 1) / wrap));
}

}  // namespace

BoxLimits LimitsFor(int screenWidth, int screenHeight, int charWidth, int lineHeight) {
    charWidth = std::max(1, charWidth);
    lineHeight = std::max(1, lineHeight);
    // Room is left for the icon, the margins and the frame.
    const int widest = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    return {std::max(8, screenHeight * 3 / 5 / lineHeight),
            std::max(20, (widest - 120) / charWidth),
            std::max(20, std::min(screenWidth / 2, 500) / charWidth)};
}

QString ShortenedForBox(const QString& text, BoxLimits limits) {
    QStringList lines = text.split(QLatin1Char('\n'));
    int rows = 0;
    for (QString& line : lines) {
        line = WithWordsCut(line, limits.columns);
        rows += RowsOf(line, limits.wrap);
    }
    if (rows <= limits.lines)
        return lines.join(QLatin1Char('\n'));
    QStringList shown;
    rows = 0;
    for (const QString& line : lines) {
        const int left = limits.lines - 1 - rows;  // a row stays for the ellipsis
        if (RowsOf(line, limits.wrap) > left) {
            if (left > 0) {  // the part of a long line that fits
                qsizetype cut = static_cast<qsizetype>(left) * limits.wrap;
                if (line.at(cut - 1).isHighSurrogate())
                    --cut;
                shown << line.left(cut);
            }
            break;
        }
        rows += RowsOf(line, limits.wrap);
        shown << line;
    }
    shown << kEllipsis;
    return shown.join(QLatin1Char('\n'));
}

}  // namespace pellumar
