#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>

// The program's pictures, painted in code: icon 128, busy animation 135 and cursor 134.
namespace pellumar::res {

constexpr int kBusyFrameCount = 23;
constexpr int kBusyFramesPerSecond = 7;
constexpr int kBusyFrameWidth = 48;
constexpr int kBusyFrameHeight = 50;

// A page under a magnifying glass, at 16 and 32 pixels.
QIcon ApplicationIcon();
// The picture at one size, for tests and for icon files.
QImage ApplicationIconImage(int size);
// One frame of the busy animation: the glass circling over a page.
QImage BusyFrame(int index);
// The pointing hand shown over links.
QCursor LinkCursor();

}  // namespace pellumar::res
