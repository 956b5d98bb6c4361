#pragma once

#include <string>

namespace pellumar {

// Cause codes of a failed file operation, as the prompts name them.
enum class FileCause : int {
    None = 0,
    Generic = 1,
    FileNotFound = 2,
    BadPath = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    InvalidFile = 6,
    RemoveCurrentDir = 7,
    DirectoryFull = 8,
    BadSeek = 9,
    HardIo = 10,
    SharingViolation = 11,
    LockViolation = 12,
    DiskFull = 13,
    EndOfFile = 14,
};

// The error record handed with the two error notifications. It belongs to the worker and is
// valid only while the notification that carries it is being handled.
struct CFileException {
    FileCause m_cause = FileCause::None;
    long m_lOsError = -1;  // the system's error code, or -1 when there is none
    std::string m_strFileName;
    // Not the framework's: the file whose rewrite failed, when that is not m_strFileName.
    std::string m_strReplacing;

    // Any value outside the known causes reads "Unknown application error".
    static const char* GetCauseText(FileCause cause);
};

// The cause for an errno value, by meaning.
FileCause CauseFromErrno(int error);

// The cause for a Win32 error code.
FileCause CauseFromWin32Error(long error);

}  // namespace pellumar
