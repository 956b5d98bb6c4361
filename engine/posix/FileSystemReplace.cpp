// The platform's file system, rewriting: the target found under its links, the lock, the
// temporary file beside it and the exchange of names that puts it in place.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "FileIdentity.h"
#include "FileSystem.h"
#include "FolderPath.h"
#include "TempRecord.h"

namespace pellumar {

namespace {

constexpr unsigned kNameCount = 0x10000;
// The most links a target is followed through, as the system itself allows.
constexpr int kMostLinks = 40;
// How long a lock that another program holds is waited for, and how often it is asked for.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(5);

// The next number to try for a temporary name; shared by all searches of the process.
std::atomic<unsigned> g_nextName{static_cast<unsigned>(
    std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid())};

std::string TemporaryName(unsigned number) {
    char name[16];
    std::snprintf(name, sizeof name, "pel%04X.tmp", number & 0xFFFF);
    return name;
}

// The temporary file takes the owner and group of the file it replaces where the program may set
// them, then its access lists (or bits) and its other extended attributes. Should the access
// lists not come along, the file is not replaced: it would become more open than it was.
int CopyPermissions(Sys& sys, int from, int to, const struct stat& like) {
    mode_t mode = like.st_mode & 07777;
    if (like.st_uid != sys.Geteuid() || like.st_gid != sys.Getegid()) {
        if (sys.Fchown(to, like.st_uid, like.st_gid) != 0) {
            // Never hand set-id bits to a file that another owner now holds.
            mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        }
    }
    if (sys.PermCopy(from, to) != 0 || sys.Fchmod(to, mode) != 0 || sys.AttrCopy(from, to) != 0) {
        return ErrnoOr(EIO);
    }
    return 0;
}

// Before 5.8, syncfs(2) returned 0 whatever failed.
bool SyncTellsFailures(Sys& sys) {
    char release[128];
    unsigned major = 0, minor = 0;
    return sys.KernelRelease(release, sizeof release) == 0 &&
           std::sscanf(release, "%u.%u", &major, &minor) == 2 &&
           (major > 5 || (major == 5 && minor >= 8));
}

}  // namespace

// A link stays a link: each one is read and followed from its own folder, so that neither a long
// path nor a folder renamed meanwhile can lead elsewhere, and the last name reached must be the
// opened file itself.
int FileSystem::ResolveTarget(const FolderListing* where, const char* name, const std::string& path,
                              const FileStatus& opened, RewriteTarget& target) {
    ReleaseTarget(target);
    const size_t slash = path.find_last_of('/');
    target.folderPath = slash == std::string::npos ? "." : FolderPart(path, slash);
    target.name = where ? name : path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (where) {
        target.folder = FolderFd(where);
    } else {
        target.ownedFolder =
            OpenFolderPath(m_sys, target.folderPath, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (target.ownedFolder < 0) {
            return ErrnoOr(EIO);
        }
        target.folder = target.ownedFolder;
    }
    for (int links = 0;; ++links) {
        struct stat st;
        if (m_sys.FstatAt(target.folder, target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno == ENOENT ? kChangedMeanwhile : ErrnoOr(EIO);
        }
        if (!S_ISLNK(st.st_mode)) {
            return SameFile(st, opened.st) ? 0 : kChangedMeanwhile;
        }
        if (links == kMostLinks) {
            return ELOOP;
        }
        char text[PATH_MAX];
        const ssize_t length =
            m_sys.ReadlinkAt(target.folder, target.name.c_str(), text, sizeof text);
        if (length < 0 || static_cast<size_t>(length) >= sizeof text) {
            return length < 0 ? ErrnoOr(EIO) : ENAMETOOLONG;
        }
        const std::string link(text, static_cast<size_t>(length));
        const size_t at = link.find_last_of('/');
        if (at == std::string::npos) {
            target.name = link;
            continue;
        }
        if (at + 1 == link.size()) {
            return ENOTDIR;  // names a folder, not the opened file
        }
        const std::string folder = FolderPart(link, at);
        const int fd =
            m_sys.OpenAt(target.folder, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return ErrnoOr(EIO);
        }
        if (target.ownedFolder >= 0) {
            m_sys.Close(target.ownedFolder);
        }
        target.folder = target.ownedFolder = fd;
        target.folderPath = link[0] == '/' ? folder : Joined(target.folderPath, folder);
        target.name = link.substr(at + 1);
    }
}

void FileSystem::ReleaseTarget(RewriteTarget& target) {
    if (target.ownedFolder >= 0) {
        m_sys.Close(target.ownedFolder);
    }
    target = RewriteTarget();
}

// Where the system has no such locks (some network file systems), the identity checks alone
// stand guard.
int FileSystem::Lock(NativeHandle file, const std::function<bool()>& giveUp) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (Uninterrupted([&] { return m_sys.Flock(file, LOCK_EX | LOCK_NB); }) == 0) {
            return 0;
        }
        if (errno != EWOULDBLOCK) {
            return (errno == ENOLCK || errno == EOPNOTSUPP || errno == EBADF) ? 0 : ErrnoOr(EIO);
        }
        if (giveUp()) {
            return kGaveUp;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return kLockedElsewhere;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

bool FileSystem::IsAnotherRunsTemporary(const FolderListing* where, const char* name,
                                        const std::string& path, int openError, NativeHandle file) {
    if (openError != 0) {
        return IsMissing(openError);  // put in place, or deleted, since it was listed
    }
    if (m_sys.Flock(file, LOCK_SH | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK;
    }
    m_sys.Flock(file, LOCK_UN);
    struct stat opened, named;
    return m_sys.Fstat(file, &opened) != 0 ||
           m_sys.FstatAt(FolderFd(where), where ? name : path.c_str(), &named, 0) != 0 ||
           !SameInode(opened, named);
}

int FileSystem::CheckReplaceable(const RewriteTarget& target, NativeHandle file,
                                 const FileStatus& opened) {
    if (m_sys.FaccessAt(target.folder, target.name.c_str(), W_OK, AT_EACCESS) != 0) {
        const int error = ErrnoOr(EACCES);
        return IsMissing(error) ? kChangedMeanwhile : error;  // moved or deleted since it was read
    }
    struct stat now;
    if (m_sys.Fstat(file, &now) != 0) {
        return ErrnoOr(EIO);
    }
    return SameFile(now, opened.st) ? 0 : kChangedMeanwhile;
}

// Names are "pel", four hexadecimal digits and ".tmp", created exclusively beside the target.
int FileSystem::CreateTemporary(const RewriteTarget& target, NativeHandle source,
                                const FileStatus& like, bool bRetry, std::string& name,
                                NativeHandle& handle, bool& bCreated) {
    bCreated = false;
    int error = EEXIST;
    for (unsigned attempt = 0; attempt < kNameCount && error == EEXIST; ++attempt) {
        if (!bRetry || attempt > 0 || name.empty()) {
            name = TemporaryName(g_nextName.fetch_add(1, std::memory_order_relaxed));
        }
        Making(target, name);
        handle = m_sys.OpenAt(target.folder, name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        error = handle < 0 ? ErrnoOr(EIO) : 0;
        if (error == EEXIST && m_pRecord != nullptr) {  // the file made is told before it is placed
            m_pRecord->Taken(target.folder, target.folderPath, name);
        }
    }
    if (error != 0) {
        handle = kNoHandle;
        return error;
    }
    bCreated = true;
    return CopyPermissions(m_sys, source, handle, like.st);
}

int FileSystem::LinkTemporary(const RewriteTarget& target, NativeHandle fromFolder,
                              const char* from, std::string& name) {
    for (unsigned attempt = 0; attempt < kNameCount; ++attempt) {
        name = TemporaryName(g_nextName.fetch_add(1, std::memory_order_relaxed));
        Making(target, name);
        const int error =
            m_sys.LinkAt(fromFolder, from, target.folder, name.c_str(), 0) == 0 ? 0 : ErrnoOr(EIO);
        MadeOrNot(target, name, error);
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST;
}

void FileSystem::Making(const RewriteTarget& target, const std::string& name) {
    if (m_pRecord != nullptr) {
        m_pRecord->Making(target.folder, target.folderPath, name);
    }
}

void FileSystem::MadeOrNot(const RewriteTarget& target, const std::string& name, int error) {
    struct stat made;
    if (m_pRecord == nullptr) {
        return;
    }
    if (error == EEXIST) {
        m_pRecord->Taken(target.folder, target.folderPath, name);
    } else if (error == 0 &&
               m_sys.FstatAt(target.folder, name.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0) {
        m_pRecord->Made(target.folder, target.folderPath, name, made.st_dev, made.st_ino);
    }
}

void FileSystem::KeepTemporary(const RewriteTarget& target, const std::string& name) {
    if (m_pRecord != nullptr) {
        m_pRecord->Keeping(target.folder, target.folderPath, name);
    }
}

std::string FileSystem::PathBeside(const RewriteTarget& target, const std::string& name) const {
    return Joined(target.folderPath, name);
}

std::string FileSystem::TargetKey(const RewriteTarget& target) const {
    struct stat folder;
    if (m_sys.Fstat(target.folder, &folder) != 0) {
        return PathBeside(target, target.name);
    }
    return std::to_string(folder.st_dev) + ":" + std::to_string(folder.st_ino) + "/" + target.name;
}

int FileSystem::WriteSome(NativeHandle handle, const void* data, size_t size, size_t& written) {
    const ssize_t result = Uninterrupted([&] { return m_sys.Write(handle, data, size); });
    if (result <= 0) {
        return result < 0 ? ErrnoOr(EIO) : EIO;
    }
    written = static_cast<size_t>(result);
    return 0;
}

int FileSystem::Flush(NativeHandle handle) {
    return m_sys.Fsync(handle) == 0 ? 0 : ErrnoOr(EIO);
}

// ext2 to 4, XFS and Btrfs commit their whole log in a syncfs(2), and flush the device's cache
// after it. Elsewhere (network and FUSE file systems, layered ones) it may leave a file's data to
// the file's own flush.
bool FileSystem::FlushFileSystem(NativeHandle handle) {
    long type = 0;
    if (!m_state.syncTellsFailures) {
        m_state.syncTellsFailures = SyncTellsFailures(m_sys);
    }
    return m_sys.SyncFileSystem(handle) == 0 && *m_state.syncTellsFailures &&
           m_sys.FileSystemType(handle, &type) == 0 &&
           (type == kExtType || type == kXfsType || type == kBtrfsType);
}

// The names are exchanged in one step, and what then stands at either name is checked. Should
// the name still lead to the new file but the temporary name not to the file that was read (a
// program that takes no lock replaced it a moment ago), the names are exchanged back, so that the
// other program's content stays. Should the name no longer lead to the new file, another program
// saved over it after the exchange: its file stays, and nothing is exchanged back. Where the file
// system cannot exchange names, the last checks are made just before a plain rename.
int FileSystem::Replace(const RewriteTarget& target, const std::string& temporary,
                        const FileStatus& written, NativeHandle source, const FileStatus& opened,
                        bool& bKept) {
    bKept = false;
    const int folder = target.folder;
    const char* name = target.name.c_str();
    struct stat now, ours;
    if (m_sys.FstatAt(folder, name, &now, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = ErrnoOr(EIO);
        return IsMissing(error) ? kChangedMeanwhile : error;  // moved or deleted since it was read
    }
    if (m_sys.FstatAt(folder, temporary.c_str(), &ours, AT_SYMLINK_NOFOLLOW) != 0) {
        return ErrnoOr(EIO);
    }
    if (!SameContent(now, opened.st) || !SameInode(ours, written.st)) {
        return kChangedMeanwhile;
    }
    if (m_pRecord != nullptr) {  // and the file that the exchange is to move there
        m_pRecord->Exchanging(folder, target.folderPath, temporary, {ours.st_dev, ours.st_ino},
                              {now.st_dev, now.st_ino});
    }
    if (m_sys.RenameAt(folder, temporary.c_str(), folder, name, RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            return ErrnoOr(EIO);
        }
        return m_sys.RenameAt(folder, temporary.c_str(), folder, name, 0) == 0 ? 0 : ErrnoOr(EIO);
    }
    struct stat placed;
    if (m_sys.FstatAt(folder, name, &placed, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameInode(placed, written.st)) {
        return LeaveLaterSave(target, temporary, source, opened, bKept);
    }
    if (!DisplacedIsOld(target, temporary, source, opened)) {
        return ExchangeBack(target, temporary, written, bKept);
    }
    // The old content is gone with its last name; a failed delete only leaves it behind.
    for (int attempt = 0; attempt < 3 && Delete(target, temporary, &opened) != 0; ++attempt) {
    }
    return 0;
}

// Whether the temporary name leads to the file that was read, its content as it was read.
bool FileSystem::DisplacedIsOld(const RewriteTarget& target, const std::string& temporary,
                                NativeHandle source, const FileStatus& opened) {
    struct stat displaced, read;
    return m_sys.FstatAt(target.folder, temporary.c_str(), &displaced, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameContent(displaced, opened.st) && m_sys.Fstat(source, &read) == 0 &&
           SameContent(read, opened.st);
}

// The change was in place and another program's save came after it: the save stays
// (kSavedOver). The old content goes from the temporary name, unless it too was changed
// meanwhile: then it stays, as the only copy of what it holds.
int FileSystem::LeaveLaterSave(const RewriteTarget& target, const std::string& temporary,
                               NativeHandle source, const FileStatus& opened, bool& bKept) {
    struct stat displaced;
    if (m_sys.FstatAt(target.folder, temporary.c_str(), &displaced, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT) {
        return kSavedOver;
    }
    if (!DisplacedIsOld(target, temporary, source, opened)) {
        bKept = true;
        KeepTemporary(target, temporary);
        return kChangedMeanwhile;
    }
    for (int attempt = 0; attempt < 3 && Delete(target, temporary, &opened) != 0; ++attempt) {
    }
    return kSavedOver;
}

// The name goes back to the other program's file, and the new file to the temporary name, which
// is then checked: should a save have come between, its file stands there and stays.
int FileSystem::ExchangeBack(const RewriteTarget& target, const std::string& temporary,
                             const FileStatus& written, bool& bKept) {
    const int folder = target.folder;
    struct stat back;
    if (m_sys.RenameAt(folder, temporary.c_str(), folder, target.name.c_str(), RENAME_EXCHANGE) !=
        0) {
        bKept = true;  // the other program's content now stands at the temporary name
        KeepTemporary(target, temporary);
        return ErrnoOr(EIO);
    }
    if (m_sys.FstatAt(folder, temporary.c_str(), &back, AT_SYMLINK_NOFOLLOW) == 0 &&
        !SameInode(back, written.st)) {
        bKept = true;
        KeepTemporary(target, temporary);
    }
    return kChangedMeanwhile;
}

int FileSystem::Delete(const RewriteTarget& target, const std::string& name,
                       const FileStatus* ours) {
    struct stat now;
    if (ours != nullptr &&
        (m_sys.FstatAt(target.folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
         !SameInode(now, ours->st))) {
        return 0;  // gone, or no longer ours
    }
    if (m_sys.UnlinkAt(target.folder, name.c_str()) == 0 || errno == ENOENT) {
        return 0;
    }
    return ErrnoOr(EIO);
}

}  // namespace pellumar
