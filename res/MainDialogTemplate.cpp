#include "DialogTemplate.h"
#include "ResourceIds.h"

namespace pellumar::res {
namespace {

using enum ControlKind;

constexpr ControlTemplate kMainControls[] = {
    {kIdResults, ListView, "", 13, 24, 209, 186, kHidden},
    {kIdTabPages, TabControl, "", 7, 7, 222, 220, kVisible},
    {kIdFilterLabel, Label, "Fil&ter:", 13, 29, 18, 8, kHidden},
    {kIdFilter, ComboBox, "", 45, 27, 166, 52, kHidden},
    {kIdLookInLabel, Label, "&Look in:", 13, 49, 26, 8, kHidden},
    {kIdLookIn, ComboBox, "", 45, 47, 166, 65, kHidden},
    {kIdBrowse, PushButton, "&Browse...", 164, 65, 47, 13, kHidden},
    {kIdSubfolders, CheckBox, "&Include subfolders", 45, 65, 75, 10, kHidden},
    {kIdSearchOnly, CheckBox, "Search onl&y", 45, 80, 53, 10, kHidden},
    {kIdSearchGroup, GroupBox, "S&earch for...", 13, 95, 209, 62, kHidden},
    {kIdSearchText, Edit, "", 21, 106, 194, 46, kHidden},
    {kIdReplaceGroup, GroupBox, "&Replace with...", 13, 160, 209, 62, kHidden},
    {kIdReplaceText, Edit, "", 21, 170, 194, 46, kHidden},
    {kIdNone, Line, "", 1, 1, 294, 1, kVisible},
    {kIdStart, PushButton, "St&art!", 239, 7, 50, 14, kDefault},
    {kIdStop, PushButton, "St&op", 239, 24, 50, 14, kDisabled},
    {kIdNewQuery, PushButton, "Ne&w Query", 239, 41, 50, 14, kVisible},
    {kIdOk, PushButton, "&Close", 239, 106, 50, 14, kVisible},
    {kIdAnimation, Animation, "", 241, 56, 48, 49, kVisible},
    // How the run in hand goes, or how the last one ended: under the list, on its page.
    {kIdSummary, Label, "", 13, 213, 209, 9, kHidden},
};

constexpr DialogTemplate kMainDialog = {kDialogMain, "Pellumar Search", 296, 234, kMainControls};

constexpr MenuItemTemplate kFileItems[] = {
    {kCmdUndoLast, "&Undo Last Replacement...", false},
    {0, "", false},
    {kCmdClose, "&Close", false},
};
constexpr MenuItemTemplate kSettingsItems[] = {
    {kCmdIgnoreCase, "&Ignore Case", true},
    {kCmdRegex, "&Regular Expressions", true},
    {kCmdSearchConfirmation, "&Search Confirmation", true},
    {kCmdWantTab, "&Treat TAB as Character", true},
    {kCmdHiddenFiles, "Process &Hidden Files", true},
    {kCmdKeepUndo, "&Keep Undo Copies", true},
    {0, "", false},
    {kCmdDoubleClicking, "&Double-Clicking In Results...", false},
};
// F1 opens the help wherever the focus is; the item shows the key.
constexpr MenuItemTemplate kHelpItems[] = {{kCmdHelpTopics, "&Help Topics\tF1", false},
                                           {kCmdAbout, "&About...", false}};
constexpr MenuTemplate kMainMenu[] = {
    {"&File", kFileItems},
    {"&Settings", kSettingsItems},
    {"&Help", kHelpItems},
};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

std::span<const MenuTemplate> MainMenuTemplate() {
    return kMainMenu;
}

}  // namespace pellumar::res
