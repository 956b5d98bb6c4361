#include "BusyAnimation.h"

#include <QPainter>

#include "Artwork.h"

namespace pellumar {

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(1000 / res::kBusyFramesPerSecond);
    connect(&m_timer, &QTimer::timeout, this, &BusyAnimation::Advance);
}

BusyAnimation::~BusyAnimation() = default;

void BusyAnimation::Open() {
    m_frames.clear();
    for (int i = 0; i < res::kBusyFrameCount; ++i)
        m_frames.push_back(QPixmap::fromImage(res::BusyFrame(i)));
    update();
}

void BusyAnimation::Play() {
    m_nFrame = 0;
    m_timer.start();
    update();
}

void BusyAnimation::Stop() {
    m_timer.stop();
}

void BusyAnimation::ShowFirstFrame() {
    m_timer.stop();
    m_nFrame = 0;
    update();
}

void BusyAnimation::Advance() {
    if (m_frames.empty())
        return;
    m_nFrame = (m_nFrame + 1) % static_cast<int>(m_frames.size());
    update();
}

void BusyAnimation::paintEvent(QPaintEvent*) {
    if (m_frames.empty())
        return;
    const QPixmap& frame = m_frames[m_nFrame];
    QPainter painter(this);
    painter.drawPixmap((width() - frame.width()) / 2, (height() - frame.height()) / 2, frame);
}

}  // namespace pellumar
