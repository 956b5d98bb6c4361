#include "DialogTemplate.h"
#include "ResourceIds.h"

namespace pellumar::res {
namespace {

using enum ControlKind;

constexpr ControlTemplate kAboutControls[] = {
    {kIdNone, Icon, "", 12, 7, 20, 20, kVisible},
    {kIdNone, Label, "PellumarSearch version 1.1.0", 40, 7, 107, 8, kVisible},
    {kIdNone, Label, "\u00a9 2005 the Pellumar authors", 40, 17, 107, 8, kVisible},
    {kIdOk, PushButton, "OK", 49, 98, 50, 14, kDefault},
    {kIdLink, Label, "https://pellumar-search.example.org/", 10, 70, 132, 8, kVisible},
    {kIdNone, Label, "Find updates of PellumarSearch and other news at its home page:", 7, 41, 140,
     18, kWrap},
};

constexpr DialogTemplate kAboutDialog = {kDialogAbout, "About PellumarSearch", 152, 119,
                                         kAboutControls};

constexpr ControlTemplate kActionControls[] = {
    {kIdOk, PushButton, "OK", 122, 7, 50, 14, kDefault},
    {kIdCancel, PushButton, "Cancel", 122, 24, 50, 14, kVisible},
    {kIdNone, Label, "When a file in the results list is double-clicked:", 7, 7, 106, 18, kWrap},
    {kIdActionNothing, RadioButton, "do &nothing", 13, 31, 49, 10, kVisible},
    {kIdActionDefault, RadioButton, "&open the file using a default viewer", 13, 44, 125, 10,
     kVisible},
    {kIdActionProgram, RadioButton, "open the &file using:", 13, 57, 75, 10, kVisible},
    {kIdViewer, LineEdit, "", 37, 69, 135, 12, kVisible},
    {kIdViewerBrowse, PushButton, "&Browse...", 37, 85, 50, 14, kVisible},
};

constexpr DialogTemplate kActionDialog = {kDialogAction, "Double-Click Action", 179, 106,
                                          kActionControls};

}  // namespace

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

const DialogTemplate& ActionDialogTemplate() {
    return kActionDialog;
}

}  // namespace pellumar::res
