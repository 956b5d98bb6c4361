#include "PromptText.h"

#include <QStringList>

namespace pellumar {

QString ShortenedForBox(const QString& text) {
    const QString ellipsis(QChar(0x2026));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > kPromptLines) {
        lines = lines.mid(0, kPromptLines - 1);
        lines << ellipsis;
    }
    for (QString& line : lines) {
        if (line.size() > kPromptColumns) {
            line = line.left(kPromptColumns - 1) + ellipsis;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace pellumar
