// A run's record of its temporary files. Lines, each ended by a line end:
//   folder <tab> device <tab> inode <tab> path    the folder of the names that follow
//   making <tab> name <tab> seconds <tab> nanos  a file about to be made, and when
//   made <tab> name <tab> device <tab> inode      a file of the run's may stand there: the one
//                                                 made, or the one an exchange of names is to
//                                                 move there
//   taken <tab> name                              the name was another's: nothing was made
//   kept <tab> name                               a file that stays
// A name is deleted only while it leads to the file the run made; where the run was killed
// before it could say which, to a plain file that changed status after the run named it: a
// user's file of that name, which the run could not make, is older.
#include "TempRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <map>
#include <tuple>
#include <utility>

#include "FolderPath.h"
#include "UndoFolder.h"
#include "UndoJournal.h"

namespace pellumar {

namespace {

constexpr const char* kRecords = "made";
constexpr std::string_view kMagic = "pellumar temporary files 1\n";

std::atomic<unsigned> g_nextRecord{0};

template <typename T>
bool Number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// What a dead run said of one name.
struct NameLeft {
    struct timespec named {};
    std::vector<std::pair<uint64_t, uint64_t>> ours;  // devices and inodes, once told
    bool taken = false, kept = false;
};

// The names of one folder that a dead run was making.
struct FolderLeft {
    uint64_t device = 0, inode = 0;
    std::string path;
    std::map<std::string, NameLeft> names;
};

// A folder may come back in the record after another: its names are gathered in one place.
std::vector<FolderLeft> ParseRecord(std::string_view text) {
    std::map<std::tuple<uint64_t, uint64_t, std::string>, FolderLeft> folders;
    FolderLeft* current = nullptr;
    for (size_t from = 0;;) {
        const size_t end = text.find('\n', from);
        if (end == std::string_view::npos) {
            break;  // a last line cut short is not trusted
        }
        const auto f = LineFields(text.substr(from, end - from));
        from = end + 1;
        if (f[0] == "folder" && f.size() == 4) {
            FolderLeft folder;
            const auto path = UnescapedField(f[3]);
            current = nullptr;
            if (Number(f[1], folder.device) && Number(f[2], folder.inode) && path) {
                folder.path = *path;
                current = &folders[{folder.device, folder.inode, folder.path}];
                if (current->path.empty()) {
                    *current = std::move(folder);
                }
            }
        } else if (current != nullptr && f.size() >= 2) {
            NameLeft& name = current->names[std::string(f[1])];
            if (f[0] == "making" && f.size() == 4) {
                Number(f[2], name.named.tv_sec);
                Number(f[3], name.named.tv_nsec);
            } else if (f[0] == "made" && f.size() == 4) {
                std::pair<uint64_t, uint64_t> file;
                if (Number(f[2], file.first) && Number(f[3], file.second)) {
                    name.ours.push_back(file);
                }
            } else if (f[0] == "taken" && f.size() == 2) {
                name.taken = true;
            } else if (f[0] == "kept" && f.size() == 2) {
                name.kept = true;
            }
        }
    }
    std::vector<FolderLeft> gathered;
    for (auto& [key, folder] : folders) {
        gathered.push_back(std::move(folder));
    }
    return gathered;
}

// Read through the descriptor that holds the lock, not by the name, which may lead elsewhere.
int ReadAll(Sys& sys, int fd, std::string& text) {
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t got = Uninterrupted([&] { return sys.Pread(fd, buffer, sizeof buffer, at); });
        if (got <= 0) {
            return got < 0 ? ErrnoOr(EIO) : 0;
        }
        text.append(buffer, static_cast<size_t>(got));
        at += got;
    }
}

bool NotBefore(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

// Deleted while it is the file the run made, and no run holds it.
bool DeleteLeft(Sys& sys, int folder, const std::string& name, const NameLeft& left) {
    struct stat st, opened;
    if (left.taken || left.kept ||
        sys.FstatAt(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const std::pair<uint64_t, uint64_t> found{st.st_dev, st.st_ino};
    if (left.ours.empty()
            ? !NotBefore(st.st_ctim, left.named)
            : std::find(left.ours.begin(), left.ours.end(), found) == left.ours.end()) {
        return false;
    }
    const int fd =
        sys.OpenAt(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool gone = sys.Flock(fd, LOCK_EX | LOCK_NB) == 0 && sys.Fstat(fd, &opened) == 0 &&
                      opened.st_dev == st.st_dev && opened.st_ino == st.st_ino &&
                      sys.UnlinkAt(folder, name.c_str()) == 0;
    sys.Close(fd);
    return gone;
}

size_t DeleteFolderLeft(Sys& sys, const FolderLeft& left) {
    const int folder = OpenFolderPath(sys, left.path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    size_t deleted = 0;
    if (folder >= 0 && sys.Fstat(folder, &st) == 0 && st.st_dev == left.device &&
        st.st_ino == left.inode) {
        for (const auto& [name, what] : left.names) {
            deleted += DeleteLeft(sys, folder, name, what);
        }
    }
    if (folder >= 0) {
        sys.Close(folder);
    }
    return deleted;
}

}  // namespace

TempRecord::TempRecord(Sys& sys, std::string store, std::string memory)
    : m_sys(sys), m_strBase(memory.empty() ? std::move(store) : std::move(memory)) {}

// A folder given by the environment counts only where it is the user's own, as the store does.
std::string TempRecord::MemoryFolder() {
    const auto ours = [](const std::string& folder, bool mayBeMissing) {
        struct stat st;
        if (::lstat(folder.c_str(), &st) != 0) {
            return mayBeMissing && errno == ENOENT;
        }
        return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    };
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && ours(runtime, false)) {
        return std::string(runtime) + "/pellumar";
    }
    const std::string shared = "/dev/shm/pellumar-" + std::to_string(::geteuid());
    struct stat shm;
    return ::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) && ours(shared, true) ? shared
                                                                                       : "";
}

TempRecord::~TempRecord() {
    if (m_nFile >= 0) {
        m_sys.UnlinkAt(m_nFolder, m_strName.c_str());
        m_sys.Close(m_nFile);
    }
    if (m_nFolder >= 0) {
        m_sys.Close(m_nFolder);
    }
}

// The record is made unnamed and locked, then named: no one ever finds it unlocked while its run
// goes on. Where a file cannot be made unnamed, it is made under its name and locked at once.
bool TempRecord::Begin() {
    if (m_nFile >= 0 || m_bFailed) {
        return m_nFile >= 0 && !m_bFailed;
    }
    m_bFailed = true;
    UndoFolder store(m_sys, m_strBase);  // made for the user alone, and checked to be theirs
    if (store.Open(true) != 0 ||
        (m_sys.MkdirAt(store.Fd(), kRecords, 0700) != 0 && errno != EEXIST) ||
        (m_nFolder = m_sys.OpenAt(store.Fd(), kRecords,
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) < 0) {
        return false;
    }
    int file = m_sys.OpenAt(m_nFolder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (file >= 0 &&
        (m_sys.Flock(file, LOCK_EX) != 0 || WriteWhole(m_sys, file, kMagic) != 0 || !Name(file))) {
        m_sys.Close(std::exchange(file, -1));
        return false;
    }
    if (file < 0 && (file = MadeNamed()) < 0) {
        return false;
    }
    m_nFile = file;
    m_bFailed = false;
    return true;
}

bool TempRecord::Name(int file) {
    const std::string unnamed = "/proc/self/fd/" + std::to_string(file);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strName = std::to_string(::getpid()) + "-" + std::to_string(g_nextRecord++);
        if (m_sys.LinkAt(AT_FDCWD, unnamed.c_str(), m_nFolder, m_strName.c_str(),
                         AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

int TempRecord::MadeNamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strName = std::to_string(::getpid()) + "-" + std::to_string(g_nextRecord++);
        const int file = m_sys.OpenAt(m_nFolder, m_strName.c_str(),
                                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file >= 0 && m_sys.Flock(file, LOCK_EX) == 0 && WriteWhole(m_sys, file, kMagic) == 0) {
            return file;
        }
        if (file >= 0) {
            m_sys.UnlinkAt(m_nFolder, m_strName.c_str());
            m_sys.Close(file);
            return -1;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

// The folder in hand is told by its descriptor and path, so that each file costs no status call.
void TempRecord::InFolder(int folder, const std::string& folderPath) {
    if (folder == m_nLastFolder && folderPath == m_strLastPath) {
        return;
    }
    struct stat st;
    if (m_sys.Fstat(folder, &st) != 0) {
        st.st_dev = st.st_ino = 0;
    }
    m_nLastFolder = folder;
    m_strLastPath = folderPath;
    Append("folder\t" + std::to_string(st.st_dev) + '\t' + std::to_string(st.st_ino) + '\t' +
           EscapedField(folderPath) + '\n');
}

// The time is the file system's own coarse clock, which a file made afterwards never precedes.
void TempRecord::Making(int folder, const std::string& folderPath, std::string_view name) {
    if (!Begin()) {
        return;
    }
    InFolder(folder, folderPath);
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    Append("making\t" + std::string(name) + '\t' + std::to_string(now.tv_sec) + '\t' +
           std::to_string(now.tv_nsec) + '\n');
}

void TempRecord::Made(int folder, const std::string& folderPath, std::string_view name,
                      uint64_t device, uint64_t inode) {
    if (!Begin()) {
        return;
    }
    InFolder(folder, folderPath);
    Append("made\t" + std::string(name) + '\t' + std::to_string(device) + '\t' +
           std::to_string(inode) + '\n');
}

void TempRecord::Exchanging(int folder, const std::string& folderPath, std::string_view name,
                            FileKey made, FileKey displaced) {
    if (!Begin()) {
        return;
    }
    InFolder(folder, folderPath);
    const auto line = [name](FileKey file) {
        return "made\t" + std::string(name) + '\t' + std::to_string(file.first) + '\t' +
               std::to_string(file.second) + '\n';
    };
    Append(line(made) + line(displaced));
}

void TempRecord::Taken(int folder, const std::string& folderPath, std::string_view name) {
    if (!Begin()) {
        return;
    }
    InFolder(folder, folderPath);
    Append("taken\t" + std::string(name) + '\n');
}

void TempRecord::Keeping(int folder, const std::string& folderPath, std::string_view name) {
    if (!Begin()) {
        return;
    }
    InFolder(folder, folderPath);
    Append("kept\t" + std::string(name) + '\n');
}

// Written at once, so that it survives a kill; a power loss may lose the temporary files too.
void TempRecord::Append(const std::string& line) {
    if (WriteWhole(m_sys, m_nFile, line) != 0) {
        m_bFailed = true;
    }
}

size_t TempRecord::CleanUp(Sys& sys, const std::string& store, const std::string& memory) {
    return CleanUpIn(sys, store) + (memory.empty() ? 0 : CleanUpIn(sys, memory));
}

size_t TempRecord::CleanUpIn(Sys& sys, const std::string& base) {
    const int records =
        OpenFolderPath(sys, base + "/" + kRecords, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (records < 0) {
        return 0;
    }
    size_t deleted = 0;
    for (const std::string& name : FolderNames(sys, records)) {
        const int record = sys.OpenAt(records, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        std::string text;
        struct stat held, named;
        // A run holds its record exclusively while it lives; runs that clean up after a dead one
        // share it, so that a run beginning while another cleans up still does it all itself
        // before it walks, whether or not the other finishes.
        if (record >= 0 && sys.Flock(record, LOCK_SH | LOCK_NB) == 0 &&
            ReadAll(sys, record, text) == 0) {
            for (const FolderLeft& folder : ParseRecord(text)) {
                deleted += DeleteFolderLeft(sys, folder);
            }
            if (sys.Fstat(record, &held) == 0 &&
                sys.FstatAt(records, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
                sys.UnlinkAt(records, name.c_str());  // not a new run's record of the same name
            }
        }
        if (record >= 0) {
            sys.Close(record);
        }
    }
    sys.Close(records);
    return deleted;
}

}  // namespace pellumar
