#pragma once

#include <span>

namespace pellumar::res {

// What a control of a template is; each kind becomes one kind of widget.
enum class ControlKind {
    ListView,
    TabControl,
    Label,
    ComboBox,
    PushButton,
    CheckBox,
    GroupBox,
    Edit,
    Line,
    Animation,
    Icon,         // the application's icon
    RadioButton,  // radio buttons that follow each other form one group
    LineEdit,     // a one-line edit box
};

// Style flags of a control.
enum ControlStyle : unsigned {
    kVisible = 0,
    kHidden = 1u << 0,    // created hidden
    kDisabled = 1u << 1,  // created disabled
    kDefault = 1u << 2,   // the default button, pressed by Enter
    kWrap = 1u << 3,      // a label whose text wraps onto further lines
};

// One control: position and size in dialog units, where a unit is a quarter of the dialog
// font's average character width across and an eighth of its height down.
struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;
    unsigned style;
};

// A dialog: its caption, client size in dialog units, and its controls in tab order.
struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;
    std::span<const ControlTemplate> controls;
};

// Menus are data as well: a top-level menu with its items; id 0 is a separator.
struct MenuItemTemplate {
    int id;
    const char* text;
    bool checked;
};

struct MenuTemplate {
    const char* text;
    std::span<const MenuItemTemplate> items;
};

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
const DialogTemplate& ActionDialogTemplate();
std::span<const MenuTemplate> MainMenuTemplate();

}  // namespace pellumar::res
