#pragma once

#include <span>

#include "DialogTemplate.h"

namespace pellumar {

// The dialog font's average character width and height in pixels.
struct BaseUnits {
    int x;
    int y;
};

struct PixelRect {
    int x, y, width, height;
};

// Dialog units to pixels: a quarter of the character width across, an eighth of its height
// down.
PixelRect ToPixels(int x, int y, int cx, int cy, BaseUnits units);
PixelRect ToPixels(const res::ControlTemplate& control, BaseUnits units);

// The control that a label or group box with a mnemonic hands the focus to: the next one in
// tab order that can take the focus. -1 when there is none or the control has no mnemonic.
int BuddyIndex(std::span<const res::ControlTemplate> controls, int index);

// Whether a control of this kind can hold the keyboard focus.
bool TakesFocus(res::ControlKind kind);

}  // namespace pellumar
