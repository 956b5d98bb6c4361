#pragma once

#include <string>

namespace pellumar {

// Cause codes of a failed file operation, as the prompts name them.
enum : int {
    CAUSE_NONE = 0,
    CAUSE_GENERIC = 1,
    CAUSE_FILE_NOT_FOUND = 2,
    CAUSE_BAD_PATH = 3,
    CAUSE_TOO_MANY_OPEN_FILES = 4,
    CAUSE_ACCESS_DENIED = 5,
    CAUSE_INVALID_FILE = 6,
    CAUSE_REMOVE_CURRENT_DIR = 7,
    CAUSE_DIRECTORY_FULL = 8,
    CAUSE_BAD_SEEK = 9,
    CAUSE_HARD_IO = 10,
    CAUSE_SHARING_VIOLATION = 11,
    CAUSE_LOCK_VIOLATION = 12,
    CAUSE_DISK_FULL = 13,
    CAUSE_END_OF_FILE = 14,
};

// The error record handed with the two error notifications. It belongs to the worker and is
// valid only while the notification that carries it is being handled.
struct CFileException {
    int m_cause = CAUSE_NONE;
    long m_lOsError = -1;  // the system's error code, or -1 when there is none
    std::string m_strFileName;
    // Not the framework's: the file whose rewrite failed, when that is not m_strFileName.
    std::string m_strReplacing;

    static const char* GetCauseText(int cause);
};

// The cause for an errno value, by meaning.
int CauseFromErrno(int error);

// The cause for a Win32 error code.
int CauseFromWin32Error(long error);

}  // namespace pellumar
