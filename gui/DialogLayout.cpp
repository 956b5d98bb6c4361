#include "DialogLayout.h"

#include <cstring>

namespace pellumar {

PixelRect ToPixels(int x, int y, int cx, int cy, BaseUnits units) {
    // Rounded to the nearest pixel, as the conversion of the platforms with dialog units does.
    auto across = [&](int value) { return (value * units.x + 2) / 4; };
    auto down = [&](int value) { return (value * units.y + 4) / 8; };
    return {across(x), down(y), across(cx), down(cy)};
}

PixelRect ToPixels(const res::ControlTemplate& control, BaseUnits units) {
    return ToPixels(control.x, control.y, control.cx, control.cy, units);
}

bool TakesFocus(res::ControlKind kind) {
    using enum res::ControlKind;
    switch (kind) {
        case Label:
        case GroupBox:
        case Line:
        case Animation:
        case Icon:
            return false;
        default:
            return true;
    }
}

int BuddyIndex(std::span<const res::ControlTemplate> controls, int index) {
    const res::ControlTemplate& owner = controls[index];
    using enum res::ControlKind;
    if ((owner.kind != Label && owner.kind != GroupBox) || std::strchr(owner.text, '&') == nullptr)
        return -1;
    for (std::size_t next = index + 1; next < controls.size(); ++next)
        if (TakesFocus(controls[next].kind))
            return static_cast<int>(next);
    return -1;
}

}  // namespace pellumar
