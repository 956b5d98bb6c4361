#include "FileSystem.h"

#include <algorithm>
#include <climits>

#include "CFileException.h"
#include "FolderListing.h"
#include "SearchQuery.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace pellumar {

namespace {

// Reads and writes are made in parts no larger than one call can count.
constexpr uint64_t kLargestCall = 1u << 30;

int LastErrorOr(DWORD fallback) {
    const DWORD error = Sys::LastError();
    return static_cast<int>(error != 0 ? error : fallback);
}

NativeHandle Valid(Sys::Handle handle) {
    return handle == Sys::InvalidHandle() ? kNoHandle : handle;
}

}  // namespace

FileSystem::FileSystem(Sys& sys) : m_sys(sys) {}

// A folder is opened by entering it, as the system's listings take the current folder. A folder
// that cannot be named is given a name of its own, so that it is never taken for one walked.
int FileSystem::OpenFolder(const FolderState* /*parent*/, const std::string& /*name*/,
                           const std::string& path, FolderState& /*folder*/, FileId& id) {
    if (!m_sys.SetCurrentDirectoryA(path.c_str())) {
        return LastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    const NativeHandle folder =
        Valid(m_sys.CreateFileA(".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    FileStatus status;
    if (folder != kNoHandle && m_sys.GetFileInformationByHandle(folder, &status.info)) {
        id = status.Id();
    } else {
        id = {UINT64_MAX, ++m_state.unnamedFolders};
    }
    if (folder != kNoHandle) {
        m_sys.CloseHandle(folder);
    }
    return 0;
}

int FileSystem::MakeCurrent(const FolderState& /*folder*/) {
    return 0;
}

void FileSystem::CloseFolder(FolderState& /*folder*/) {}

// Opened with no sharing: no other program may open the file while it is searched, and a file
// that another program holds is skipped.
int FileSystem::Open(const FolderListing* /*where*/, const char* /*name*/, const std::string& path,
                     NativeHandle& handle) {
    handle = Valid(
        m_sys.CreateFileA(path.c_str(), GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    return handle == kNoHandle ? LastErrorOr(ERROR_OPEN_FAILED) : 0;
}

int FileSystem::Status(NativeHandle handle, FileStatus& status) {
    return m_sys.GetFileInformationByHandle(handle, &status.info) ? 0
                                                                  : LastErrorOr(ERROR_READ_FAULT);
}

int FileSystem::StatusAndGeneration(NativeHandle handle, FileStatus& status) {
    return Status(handle, status);
}

// A listed file is opened as a searched one is, so that the same files are listed.
int FileSystem::StatusUnopened(const FolderListing* where, const char* name,
                               const std::string& path, FileStatus& status) {
    NativeHandle handle = kNoHandle;
    int error = Open(where, name, path, handle);
    if (error == 0) {
        error = Status(handle, status);
        Close(handle);
    }
    return error;
}

// Whether a file opens depends on its sharing: it is always tried.
bool FileSystem::SurelyReadable(bool /*listedPlain*/) const {
    return false;
}

int FileSystem::Close(NativeHandle handle) {
    return m_sys.CloseHandle(handle) ? 0 : LastErrorOr(ERROR_INVALID_HANDLE);
}

// The end of the file reads as nothing.
int FileSystem::ReadAt(NativeHandle handle, void* buffer, size_t size, uint64_t offset,
                       size_t& got) {
    uint32_t read = 0;
    const auto part = static_cast<uint32_t>(std::min<uint64_t>(size, kLargestCall));
    if (!m_sys.ReadFile(handle, buffer, part, offset, &read) &&
        Sys::LastError() != ERROR_HANDLE_EOF) {
        return LastErrorOr(ERROR_READ_FAULT);
    }
    got = read;
    return 0;
}

// The view keeps the mapping alive; the mapping's own handle is not needed past this call.
int FileSystem::Map(NativeHandle handle, uint64_t /*size*/, const unsigned char*& data) {
    const NativeHandle mapping = m_sys.CreateFileMappingA(handle);
    if (mapping == kNoHandle) {
        return LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    }
    const void* view = m_sys.MapViewOfFile(mapping);
    const int error = view == nullptr ? LastErrorOr(ERROR_NOT_ENOUGH_MEMORY) : 0;
    m_sys.CloseHandle(mapping);
    data = static_cast<const unsigned char*>(view);
    return error;
}

void FileSystem::Unmap(const unsigned char* data, uint64_t /*size*/) {
    m_sys.UnmapViewOfFile(data);
}

// The system trims the pages of a mapped file from the working set on its own.
uint64_t FileSystem::Release(const unsigned char* /*data*/, uint64_t from, uint64_t /*to*/) {
    return from;
}

// A path is its own target: links are not resolved here.
int FileSystem::ResolveTarget(const FolderListing* /*where*/, const char* /*name*/,
                              const std::string& path, const FileStatus& /*opened*/,
                              RewriteTarget& target) {
    const size_t at = path.find_last_of(kSeparators);
    if (at == std::string::npos) {
        target = {".", path};
        return 0;
    }
    target.folderPath = path.substr(0, at);
    if (target.folderPath.empty() || target.folderPath.back() == ':') {
        target.folderPath += path[at];  // a root keeps its separator ("\\", "C:\\")
    }
    target.name = path.substr(at + 1);
    return 0;
}

void FileSystem::ReleaseTarget(RewriteTarget& target) {
    target = RewriteTarget();
}

// No other program may open a file that is opened without sharing: no lock is needed.
int FileSystem::Lock(NativeHandle /*file*/, const std::function<bool()>& /*giveUp*/) {
    return 0;
}

// Another run writes its temporary file without letting others open it as this one does.
bool FileSystem::IsAnotherRunsTemporary(const FolderListing* /*where*/, const char* /*name*/,
                                        const std::string& /*path*/, int openError,
                                        NativeHandle /*file*/) {
    return openError == ERROR_SHARING_VIOLATION || IsMissing(openError);
}

// A read-only file is left as it is; so is one that another program changed since it was read.
int FileSystem::CheckReplaceable(const RewriteTarget& target, NativeHandle /*file*/,
                                 const FileStatus& opened) {
    FileInformation now;
    if (!m_sys.GetFileAttributesExA(PathBeside(target, target.name).c_str(), &now)) {
        const int error = LastErrorOr(ERROR_FILE_NOT_FOUND);
        return IsMissing(error) ? kChangedMeanwhile : error;  // moved or deleted since it was read
    }
    if ((now.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    const bool same = now.FileSize() == opened.info.FileSize() &&
                      now.ftLastWriteTime.Ticks() == opened.info.ftLastWriteTime.Ticks();
    return same ? 0 : kChangedMeanwhile;
}

// The system chooses a free name from the prefix and creates the file empty; it is then opened
// for writing, created or truncated, others may read but not write. A retry opens the same name.
int FileSystem::CreateTemporary(const RewriteTarget& target, NativeHandle /*source*/,
                                const FileStatus& /*like*/, bool bRetry, std::string& name,
                                NativeHandle& handle, bool& bCreated) {
    bCreated = false;
    if (!bRetry || name.empty()) {
        char full[MAX_PATH] = {};
        if (m_sys.GetTempFileNameA(target.folderPath.c_str(), "pellu", full) == 0) {
            name.clear();
            return LastErrorOr(ERROR_CANNOT_MAKE);
        }
        const std::string path = full;
        name = path.substr(path.find_last_of(kSeparators) + 1);
        bCreated = true;
    }
    handle = Valid(m_sys.CreateFileA(PathBeside(target, name).c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    if (handle == kNoHandle) {
        return LastErrorOr(ERROR_OPEN_FAILED);
    }
    bCreated = true;
    return 0;
}

// The folder alone when there is no name yet.
int FileSystem::LinkTemporary(const RewriteTarget&, NativeHandle, const char*, std::string&) {
    return ERROR_NOT_SUPPORTED;  // undo keeps copies here
}

std::string FileSystem::PathBeside(const RewriteTarget& target, const std::string& name) const {
    const std::string& folder = target.folderPath;
    if (name.empty()) {
        return folder;
    }
    const bool separated = !folder.empty() && kSeparators.find(folder.back()) != std::string::npos;
    return separated ? folder + name : folder + kSeparator + name;
}

std::string FileSystem::TargetKey(const RewriteTarget& target) const {
    return PathBeside(target, target.name);
}

int FileSystem::WriteSome(NativeHandle handle, const void* data, size_t size, size_t& written) {
    uint32_t done = 0;
    const auto part = static_cast<uint32_t>(std::min<uint64_t>(size, kLargestCall));
    if (!m_sys.WriteFile(handle, data, part, &done)) {
        written = done;
        return LastErrorOr(ERROR_WRITE_FAULT);
    }
    written = done;
    return done == 0 ? ERROR_WRITE_FAULT : 0;
}

int FileSystem::Flush(NativeHandle handle) {
    return m_sys.FlushFileBuffers(handle) ? 0 : LastErrorOr(ERROR_WRITE_FAULT);
}

// Files are never placed in groups there.
bool FileSystem::FlushFileSystem(NativeHandle /*handle*/) {
    return false;
}

// The new content takes the file's place in one step, and the file keeps its attributes. When
// the system has already taken the old file away but could not move the new one in, the move is
// made here; should that fail too, the temporary file is the only copy and is kept.
int FileSystem::Replace(const RewriteTarget& where, const std::string& temporaryName,
                        const FileStatus& /*written*/, NativeHandle /*source*/,
                        const FileStatus& /*opened*/, bool& bKept) {
    bKept = false;
    const std::string target = PathBeside(where, where.name);
    const std::string temporary = PathBeside(where, temporaryName);
    if (m_sys.ReplaceFileA(target.c_str(), temporary.c_str())) {
        return 0;
    }
    const DWORD error = Sys::LastError();
    if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        return LastErrorOr(ERROR_UNABLE_TO_REMOVE_REPLACED);
    }
    if (m_sys.MoveFileExA(temporary.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    bKept = true;
    return LastErrorOr(static_cast<DWORD>(error));
}

// No other program can open, let alone replace, a temporary file that is open here.
int FileSystem::Delete(const RewriteTarget& target, const std::string& name,
                       const FileStatus* /*ours*/) {
    if (m_sys.DeleteFileA(PathBeside(target, name).c_str()) ||
        Sys::LastError() == ERROR_FILE_NOT_FOUND) {
        return 0;
    }
    return LastErrorOr(ERROR_ACCESS_DENIED);
}

FileCause FileSystem::CauseOfSystemError(int error) {
    return CauseFromWin32Error(error);
}

bool FileSystem::IsMissing(int error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool FileSystem::IsOutOfHandles(int error) {
    return error == ERROR_TOO_MANY_OPEN_FILES;
}

size_t FileSystem::HandleLimit() {
    return 16384;  // handles are limited only by memory
}

// The system's own texts would come in the user's language: the prompts' sentences stand in.
std::string FileSystem::SystemErrorText(int error) {
    return CFileException::GetCauseText(CauseFromWin32Error(error));
}

bool MakeCurrentFolder(const std::string& strFolder, Sys& sys) {
    return sys.SetCurrentDirectoryA(strFolder.c_str());
}

std::string AbsoluteFolder(const std::string& strFolder, Sys& sys) {
    if (strFolder.empty()) {
        return strFolder;
    }
    char full[MAX_PATH];
    const uint32_t length = sys.GetFullPathNameA(strFolder.c_str(), sizeof full, full);
    if (length == 0 || length >= sizeof full) {
        return strFolder;
    }
    return std::string(full, length);
}

}  // namespace pellumar
