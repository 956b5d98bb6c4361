#include "MatchesDelegate.h"

#include <QApplication>
#include <QPainter>

#include "MatchesModel.h"

namespace pellumar {

namespace {

constexpr int kPadding = 4;
const QString kNumberRoom = QStringLiteral("0000000");

// Tabs are shown as four spaces: a painter draws nothing for them.
QString Drawn(const QString& text) {
    QString drawn = text;
    return drawn.replace(QLatin1Char('\t'), QStringLiteral("    "));
}

QColor Tint(const QStyleOptionViewItem& option, QChar kind) {
    const QColor base = option.palette.color(QPalette::Base);
    const QColor tint = kind == QLatin1Char('-') ? QColor(230, 60, 60) : QColor(40, 170, 60);
    return QColor((base.red() * 4 + tint.red()) / 5, (base.green() * 4 + tint.green()) / 5,
                  (base.blue() * 4 + tint.blue()) / 5);
}

}  // namespace

QSize MatchesDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.fontMetrics.horizontalAdvance(kNumberRoom) * 10,
            option.fontMetrics.height() + 2};
}

void MatchesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& given,
                            const QModelIndex& index) const {
    QStyleOptionViewItem option = given;
    initStyleOption(&option, index);
    const QChar kind = index.data(MatchesModel::kKindRole).toChar();
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if ((kind == QLatin1Char('-') || kind == QLatin1Char('+')) && !selected)
        painter->fillRect(option.rect, Tint(option, kind));
    option.text.clear();
    QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &option, painter, option.widget);
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect text = option.rect.adjusted(kPadding, 0, -kPadding, 0);
    const QString shown = index.data(Qt::DisplayRole).toString();
    if (kind == QLatin1Char('f')) {
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                          QFontMetrics(bold).elidedText(shown, Qt::ElideMiddle, text.width()));
    } else if (kind == QLatin1Char('.') || kind == QLatin1Char('n')) {
        if (!selected)
            painter->setPen(option.palette.color(QPalette::PlaceholderText));
        const int indent = option.fontMetrics.horizontalAdvance(kNumberRoom) + 2 * kPadding;
        painter->drawText(text.adjusted(indent, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, shown);
    } else {
        PaintLine(painter, option, index, kind);
    }
    painter->restore();
}

void MatchesDelegate::PaintLine(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index, QChar kind) const {
    const QFontMetrics& metrics = option.fontMetrics;
    const int numberWidth = metrics.horizontalAdvance(kNumberRoom);
    QRect number = option.rect.adjusted(kPadding, 0, 0, 0);
    number.setWidth(numberWidth);
    const QString sign = kind == QLatin1Char(' ') ? QString() : QString(kind) + QLatin1Char(' ');
    const QPen pen = painter->pen();
    if (!option.state.testFlag(QStyle::State_Selected))
        painter->setPen(option.palette.color(QPalette::PlaceholderText));
    painter->drawText(number, Qt::AlignVCenter | Qt::AlignRight,
                      sign + QString::number(index.data(MatchesModel::kNumberRole).toULongLong()));
    painter->setPen(pen);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QVariantList marks = index.data(MatchesModel::kMarksRole).toList();
    int x = number.right() + 2 * kPadding;
    const int baseline =
        option.rect.top() + (option.rect.height() + metrics.ascent() - metrics.descent()) / 2;
    int at = 0;
    const auto draw = [&](const QString& piece, bool marked) {
        const QString drawn = Drawn(piece);
        const int width = metrics.horizontalAdvance(drawn);
        const QPen before = painter->pen();
        if (marked) {  // dark on yellow, in a dark theme as well
            painter->fillRect(QRect(x, option.rect.top() + 1, width, option.rect.height() - 2),
                              QColor(255, 214, 0));
            painter->setPen(Qt::black);
        }
        painter->drawText(QPoint(x, baseline), drawn);
        painter->setPen(before);
        x += width;
    };
    for (int i = 0; i + 1 < marks.size() && x < option.rect.right(); i += 2) {
        const int start = marks[i].toInt(), length = marks[i + 1].toInt();
        draw(text.mid(at, start - at), false);
        draw(text.mid(start, length), true);
        at = start + length;
    }
    if (x < option.rect.right())
        draw(text.mid(at), false);
}

}  // namespace pellumar
