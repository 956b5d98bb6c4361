#pragma once

// Identifiers of the program's controls, menu commands and resources.
namespace pellumar::res {

enum ControlId : int {
    kIdOk = 1,
    kIdCancel = 2,
    kIdTabPages = 1000,
    kIdResults = 1001,
    kIdFilter = 1002,
    kIdLookIn = 1003,
    kIdSubfolders = 1004,
    kIdSearchText = 1005,
    kIdReplaceText = 1006,
    kIdFilterLabel = 1008,
    kIdLookInLabel = 1009,
    kIdSearchGroup = 1010,
    kIdReplaceGroup = 1011,
    kIdStart = 1012,
    kIdStop = 1013,
    kIdNewQuery = 1014,
    kIdBrowse = 1015,
    kIdSearchOnly = 1018,
    kIdLink = 1021,
    kIdAnimation = 1024,
    kIdActionNothing = 1025,
    kIdActionDefault = 1026,
    kIdActionProgram = 1027,
    kIdViewer = 1028,
    kIdViewerBrowse = 1029,
    kIdSummary = 1030,
    kIdNone = -1,
};

enum CommandId : int {
    kCmdClose = kIdOk,
    kCmdIgnoreCase = 32771,
    kCmdAbout = 32772,
    kCmdSearchConfirmation = 32773,
    kCmdDoubleClicking = 32774,
    kCmdWantTab = 32777,
    kCmdHiddenFiles = 32778,
    kCmdUndoLast = 32779,
    kCmdKeepUndo = 32780,
    kCmdHelpTopics = 32781,
    kCmdRegex = 32782,
};

enum ResourceId : int {
    kDialogAbout = 100,
    kDialogMain = 102,
    kDialogAction = 136,
};

}  // namespace pellumar::res
