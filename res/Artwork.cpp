#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace pellumar::res {
namespace {

const QColor kPageLine(150, 160, 175);
const QColor kGlassRim(30, 70, 140);
const QColor kGlassFill(170, 205, 245, 170);

QImage Transparent(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A page with a folded corner and lines of text, filling `area`.
void PaintPage(QPainter& painter, const QRectF& area) {
    const qreal fold = area.width() * 0.3;
    QPainterPath page;
    page.moveTo(area.topLeft());
    page.lineTo(area.right() - fold, area.top());
    page.lineTo(area.right(), area.top() + fold);
    page.lineTo(area.bottomRight());
    page.lineTo(area.bottomLeft());
    page.closeSubpath();
    painter.setPen(QPen(Qt::darkGray, std::max<qreal>(1.0, area.width() / 16)));
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    painter.setPen(QPen(kPageLine, std::max<qreal>(1.0, area.height() / 14)));
    for (qreal y = area.top() + area.height() * 0.35; y < area.bottom() - 2; y += area.height() / 6)
        painter.drawLine(QPointF(area.left() + area.width() * 0.15, y),
                         QPointF(area.right() - area.width() * 0.15, y));
}

// A magnifying glass whose lens of radius `radius` is centred on `centre`.
void PaintGlass(QPainter& painter, QPointF centre, qreal radius) {
    const QPointF handle = centre + QPointF(radius * 0.75, radius * 0.75);
    painter.setPen(QPen(kGlassRim, radius * 0.55, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(handle, handle + QPointF(radius * 0.9, radius * 0.9));
    painter.setPen(QPen(kGlassRim, std::max<qreal>(1.0, radius * 0.3)));
    painter.setBrush(kGlassFill);
    painter.drawEllipse(centre, radius, radius);
}

}  // namespace

QImage ApplicationIconImage(int size) {
    QImage image = Transparent(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    PaintPage(painter, QRectF(s * 0.08, s * 0.04, s * 0.62, s * 0.8));
    PaintGlass(painter, QPointF(s * 0.55, s * 0.55), s * 0.22);
    return image;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
    return icon;
}

QImage BusyFrame(int index) {
    QImage image = Transparent(kBusyFrameWidth, kBusyFrameHeight);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintPage(painter, QRectF(6, 4, 30, 40));
    const double angle = 2 * std::numbers::pi * (index % kBusyFrameCount) / kBusyFrameCount;
    const QPointF centre(21 + 8 * std::cos(angle), 22 + 8 * std::sin(angle));
    PaintGlass(painter, centre, 8);
    return image;
}

QCursor LinkCursor() {
    QImage image = Transparent(32, 32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.addRoundedRect(QRectF(7, 1, 5, 16), 2.5, 2.5);  // the pointing finger
    hand.addRoundedRect(QRectF(5, 11, 16, 14), 4, 4);    // the palm and closed fingers
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::white);
    painter.drawPath(hand.simplified());
    return QCursor(QPixmap::fromImage(image), 9, 1);
}

}  // namespace pellumar::res
