// A run's record of its temporary files. Lines, each ended by a line end:
//   folder <tab> device <tab> inode <tab> path    the folder of the names that follow
//   making <tab> name <tab> seconds <tab> nanos  a file about to be made, and when
//   kept <tab> name                               a file that stays
// A name is deleted only while it leads to a plain file that changed status after the run
// named it: a user's file of that name, which the run could not make, is older.
#include "TempRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <map>
#include <set>
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

// The names of one folder that a dead run was making, with the time of each, and those kept.
struct FolderLeft {
    uint64_t device = 0, inode = 0;
    std::string path;
    std::map<std::string, struct timespec> making;
    std::set<std::string> kept;
};

std::vector<FolderLeft> ParseRecord(std::string_view text) {
    std::vector<FolderLeft> folders;
    for (size_t from = 0;;) {
        const size_t end = text.find('\n', from);
        if (end == std::string_view::npos) {
            return folders;  // a last line cut short is not trusted
        }
        const auto f = LineFields(text.substr(from, end - from));
        from = end + 1;
        if (f[0] == "folder" && f.size() == 4) {
            FolderLeft folder;
            const auto path = UnescapedField(f[3]);
            if (Number(f[1], folder.device) && Number(f[2], folder.inode) && path) {
                folder.path = *path;
                folders.push_back(std::move(folder));
            }
        } else if (f[0] == "making" && f.size() == 4 && !folders.empty()) {
            struct timespec when {};
            if (Number(f[2], when.tv_sec) && Number(f[3], when.tv_nsec)) {
                folders.back().making[std::string(f[1])] = when;
            }
        } else if (f[0] == "kept" && f.size() == 2 && !folders.empty()) {
            folders.back().kept.insert(std::string(f[1]));
        }
    }
}

bool NotBefore(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

// Deleted while it is the file the run made: a plain file whose status changed after the run
// named it, that no run holds.
bool DeleteLeft(Sys& sys, int folder, const std::string& name, const struct timespec& named) {
    struct stat st, opened;
    if (sys.FstatAt(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        !NotBefore(st.st_ctim, named)) {
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
        for (const auto& [name, when] : left.making) {
            deleted += left.kept.count(name) == 0 && DeleteLeft(sys, folder, name, when);
        }
    }
    if (folder >= 0) {
        sys.Close(folder);
    }
    return deleted;
}

}  // namespace

TempRecord::TempRecord(Sys& sys, std::string store) : m_sys(sys), m_strStore(std::move(store)) {}

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
        return m_nFile >= 0;
    }
    m_bFailed = true;
    UndoFolder store(m_sys, m_strStore);
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

void TempRecord::InFolder(int folder, const std::string& folderPath) {
    struct stat st;
    if (m_sys.Fstat(folder, &st) != 0) {
        st.st_dev = st.st_ino = 0;
    }
    if (folderPath == m_strLastPath && st.st_dev == m_nLastDevice && st.st_ino == m_nLastInode) {
        return;
    }
    m_strLastPath = folderPath;
    m_nLastDevice = st.st_dev;
    m_nLastInode = st.st_ino;
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

size_t TempRecord::CleanUp(Sys& sys, const std::string& store) {
    const int records = OpenFolderPath(sys, store + "/" + kRecords,
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (records < 0) {
        return 0;
    }
    size_t deleted = 0;
    for (const std::string& name : FolderNames(sys, records)) {
        const int record = sys.OpenAt(records, name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        std::string text;
        if (record >= 0 && sys.Flock(record, LOCK_EX | LOCK_NB) == 0 &&
            ReadWhole(sys, records, name.c_str(), text) == 0) {
            for (const FolderLeft& folder : ParseRecord(text)) {
                deleted += DeleteFolderLeft(sys, folder);
            }
            sys.UnlinkAt(records, name.c_str());
        }
        if (record >= 0) {
            sys.Close(record);
        }
    }
    sys.Close(records);
    return deleted;
}

}  // namespace pellumar
