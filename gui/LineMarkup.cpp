#include "LineMarkup.h"

#include <algorithm>
#include <string_view>

namespace pellumar {

namespace {

constexpr int kLeadBeforeMark = 40;  // characters shown before a first mark far along the line
const QChar kEllipsis(0x2026);

QString Shown(std::string_view bytes) {
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    }
    return text;
}

}  // namespace

LineMarkup MarkupOf(const TextLine& line) {
    LineMarkup markup;
    std::string_view text(line.text);
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);  // it ends the line, as the line feed does
    std::size_t at = 0;
    for (const LineMark& mark : line.marks) {
        // A mark may take the carriage return that is not shown.
        const std::size_t start = std::min(mark.start, text.size());
        const std::size_t end = std::min(mark.end, text.size());
        if (start >= end)
            continue;
        markup.text += Shown(text.substr(at, start - at));
        const QString marked = Shown(text.substr(start, end - start));
        markup.marks.append(
            {static_cast<int>(markup.text.size()), static_cast<int>(marked.size())});
        markup.text += marked;
        at = end;
    }
    markup.text += Shown(text.substr(at));
    if (markup.text.size() <= kShownLineLength)
        return markup;
    const int first = markup.marks.isEmpty() ? 0 : markup.marks.front().first;
    const int from = first > kShownLineLength - kLeadBeforeMark ? first - kLeadBeforeMark : 0;
    const int lead = from > 0 ? 1 : 0;
    QList<QPair<int, int>> kept;
    for (const auto& [start, length] : markup.marks) {
        const int s = std::max(start, from), e = std::min(start + length, from + kShownLineLength);
        if (s < e)
            kept.append({s - from + lead, e - s});
    }
    markup.text = (lead ? QString(kEllipsis) : QString()) +
                  markup.text.mid(from, kShownLineLength) +
                  (from + kShownLineLength < markup.text.size() ? QString(kEllipsis) : QString());
    markup.marks = kept;
    return markup;
}

}  // namespace pellumar
