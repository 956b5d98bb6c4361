#include "WindowRules.h"

#include "ResourceIds.h"
#include "SearchOptions.h"

namespace pellumar {
namespace {

using namespace res;

// The query page's controls in the order they are shown or hidden.
constexpr int kQueryControls[] = {kIdSearchOnly,   kIdFilterLabel, kIdLookInLabel, kIdSearchGroup,
                                  kIdReplaceGroup, kIdBrowse,      kIdLookIn,      kIdReplaceText,
                                  kIdFilter,       kIdSubfolders,  kIdSearchText};

struct Toggle {
    int command;
    std::int32_t SearchOptions::*option;
};

constexpr Toggle kToggles[] = {
    {kCmdIgnoreCase, &SearchOptions::m_bIgnoreCase},
    {kCmdSearchConfirmation, &SearchOptions::m_bSearchConfirmation},
    {kCmdWantTab, &SearchOptions::m_bWantTab},
    {kCmdHiddenFiles, &SearchOptions::m_bHiddenFiles},
    {kCmdKeepUndo, &SearchOptions::m_bKeepUndo},
    {kCmdRegex, &SearchOptions::m_bRegex},
};

const Toggle* FindToggle(int command) {
    for (const Toggle& toggle : kToggles)
        if (toggle.command == command)
            return &toggle;
    return nullptr;
}

}  // namespace

bool UndoEnabled(RunState runState, bool somethingKept) {
    return runState == RunState::Idle && somethingKept;
}

std::vector<ShowStep> ShowPageSteps(int selected) {
    const bool query = selected == kPageQuery;
    std::vector<ShowStep> steps;
    if (!query) {
        steps.push_back({kIdResults, true});
        steps.push_back({kIdSummary, true});
    }
    for (int id : kQueryControls)
        steps.push_back({id, query});
    if (query) {
        steps.push_back({kIdResults, false});
        steps.push_back({kIdSummary, false});
    }
    return steps;
}

ButtonStates ButtonsFor(RunState runState) {
    const bool idle = runState == RunState::Idle;
    return {idle, !idle};
}

bool ReplaceEnabled(std::int32_t searchOnly) {
    return searchOnly == 0;
}

std::int32_t CheckBoxValue(std::int32_t stored) {
    return stored < 0 || stored > 2 ? 0 : stored;
}

std::optional<bool> ToggleOption(SearchOptions& options, int command) {
    const Toggle* toggle = FindToggle(command);
    if (toggle == nullptr)
        return std::nullopt;
    std::int32_t& value = options.*toggle->option;
    value = value == 0 ? 1 : 0;
    return value != 0;
}

std::optional<bool> ToggleState(const SearchOptions& options, int command) {
    const Toggle* toggle = FindToggle(command);
    if (toggle == nullptr)
        return std::nullopt;
    return options.*toggle->option != 0;
}

std::string HelpFilePath(const std::string& executablePath) {
    const std::size_t slash = executablePath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = executablePath.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return executablePath.substr(0, hasExtension ? dot : executablePath.size()) + ".TXT";
}

ResultsMenuState ResultsMenuFor(std::size_t selected, std::int32_t doubleClickAction,
                                bool undoAvailable, bool searched) {
    const bool any = selected > 0;
    return {any && doubleClickAction != 0, any, any, any && searched, undoAvailable};
}

bool BesideSpot(int areaX, int areaWidth, int mainX, int mainY, int mainWidth, int width,
                Spot& spot) {
    if (mainX + mainWidth + width <= areaX + areaWidth) {
        spot = {mainX + mainWidth, mainY};
    } else if (mainX - width >= areaX) {
        spot = {mainX - width, mainY};
    } else {
        return false;
    }
    return true;
}

const char* EmptyListText(bool ended, std::size_t rows) {
    return ended && rows == 0 ? "No files found" : "";
}

int DefaultColumnWidth(int described, int charWidth, int fits) {
    const int scaled = (described * charWidth + kDescribedCharWidth / 2) / kDescribedCharWidth;
    return scaled > fits ? scaled : fits;
}

Spot CentredSpot(int areaX, int areaY, int areaWidth, int areaHeight, int width, int height) {
    const auto start = [](int area, int room, int size) {
        return size >= room ? area : area + (room - size) / 2;
    };
    return {start(areaX, areaWidth, width), start(areaY, areaHeight, height)};
}

}  // namespace pellumar
