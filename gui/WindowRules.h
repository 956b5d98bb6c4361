#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellumar {

class SearchOptions;

// The main window's run states.
enum class RunState : std::int32_t {
    Idle = 0,
    Running = 1,
    ClosePending = 123,  // the window closes once the search has ended
};

enum Page : int { kPageQuery = 0, kPageResults = 1 };

// One step of showing a page: a control shown or hidden, in the order the steps come.
struct ShowStep {
    int id;
    bool show;
};

// Showing page `selected`: the list is shown before the query controls are hidden, and hidden
// after they are shown, so the page is never empty.
std::vector<ShowStep> ShowPageSteps(int selected);

struct ButtonStates {
    bool start;
    bool stop;
};
ButtonStates ButtonsFor(RunState runState);

// Undo Last Replacement is enabled while nothing runs and a replacement can be taken back.
bool UndoEnabled(RunState runState, bool somethingKept);

// The results list's right-click menu: what each item may do for the rows selected.
struct ResultsMenuState {
    bool open;        // the double-click action, when there is one
    bool openFolder;  // the folder of the first row selected
    bool copyPath;    // every selected row's path
    bool matches;     // the matching lines of the selected rows, where the list came of a search
    bool undo;        // Undo Last Replacement is in the menu: the store can keep runs
};
ResultsMenuState ResultsMenuFor(std::size_t selected, std::int32_t doubleClickAction,
                                bool undoAvailable, bool searched);

// What the empty results list says once a search ended; nothing while it has rows, while a
// search runs, or before any.
const char* EmptyListText(bool ended, std::size_t rows);

// The replace box is enabled exactly when the search-only option is off.
bool ReplaceEnabled(std::int32_t searchOnly);

// What a check box shows for a stored value: 0 off, 1 on, 2 undecided; any other value
// shows off and becomes 0.
std::int32_t CheckBoxValue(std::int32_t stored);

// Flips the option of a Settings menu toggle; its new state, or nothing for another command.
std::optional<bool> ToggleOption(SearchOptions& options, int command);
// The option behind a Settings menu toggle, or nothing for another command.
std::optional<bool> ToggleState(const SearchOptions& options, int command);

// The results columns' default widths are pixels of a font whose average character is this wide.
inline constexpr int kDescribedCharWidth = 6;
// A column's default width in a font whose average character is `charWidth` pixels wide, and
// never narrower than `fits`, what its usual texts need.
int DefaultColumnWidth(int described, int charWidth, int fits);

// Where a window's frame goes in a screen's free area (x, y, width, height): centred, and where
// it is larger than the area, at the area's top left corner, so that its title bar stays on the
// screen.
struct Spot {
    int x;
    int y;
};
Spot CentredSpot(int areaX, int areaY, int areaWidth, int areaHeight, int width, int height);

// Where a window of `width` opens beside the main window's frame (left edge `mainX`, `mainWidth`
// wide, top `mainY`): to its right where the area holds it, else to its left; false where
// neither side does, and it is left where it is.
bool BesideSpot(int areaX, int areaWidth, int mainX, int mainY, int mainWidth, int width,
                Spot& spot);

// The read-me text beside the executable: its name with the extension "TXT".
std::string HelpFilePath(const std::string& executablePath);

}  // namespace pellumar
