// The walk's next folders, read on a second thread.
#include "FolderReadAhead.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "StopState.h"

namespace pellumar {

namespace {

// Folders read and not yet entered, and their entries' bytes: enough to keep the reader busy
// while the walk is at a folder of many files, little enough that a walk that goes elsewhere
// wastes little.
constexpr size_t kMostReadsAhead = 64;
constexpr size_t kMostBytesAhead = 4 << 20;
// The entries of a larger folder are not kept: the walk reads it in batches, in little memory.
constexpr size_t kMostBytes = 1 << 20;
constexpr size_t kBatch = FolderListing::kBatch;

// Some tens of microseconds of waiting awake.
constexpr int kSpins = 3000;

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace

FolderReadAhead::FolderReadAhead(FileSystem& fs, const StopState& stop, bool bHiddenFolders)
    : m_fs(fs),
      m_stop(stop),
      m_bHiddenFolders(bHiddenFolders),
      m_buffer(std::make_unique_for_overwrite<char[]>(kBatch)) {}

FolderReadAhead::~FolderReadAhead() {
    {
        const std::lock_guard lock(m_mutexReads);
        m_bEnd = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void FolderReadAhead::Start(const FolderState& top, const FileId& topId,
                            std::vector<std::string> subfolders) {
    if (m_thread.joinable() || subfolders.empty()) {
        return;
    }
    // A descriptor of its own, as the walk closes the top folder's when it is done with it.
    const int fd = m_fs.GetSys().OpenAt(top.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    {
        // Named before the thread starts: the walk enters the first at once.
        const std::lock_guard lock(m_mutexReads);
        const Pending first{topId, subfolders.front(), {}};
        SetReading(&first);
    }
    m_thread = std::thread([this, fd, topId, names = std::move(subfolders)]() mutable {
        Run(fd, topId, std::move(names));
    });
}

// Depth first, as the walk goes: the next folder to read is the last one waiting.
void FolderReadAhead::Run(int top, const FileId& topId, std::vector<std::string> subfolders) {
    std::vector<Pending> waiting;
    for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
        waiting.push_back({topId, *name, *name});
    }
    std::vector<std::string> below;
    while (!waiting.empty() && !m_stop.Stopped()) {
        const Pending pending = std::move(waiting.back());
        waiting.pop_back();
        below.clear();
        // A folder that cannot be read whole here is read by the walk, and what is below it.
        std::unique_ptr<FolderRead> read = Read(top, pending, below);
        for (auto name = below.rbegin(); read != nullptr && name != below.rend(); ++name) {
            waiting.push_back({read->id, *name, pending.relative + '/' + *name});
        }
        if (!Publish(std::move(read), waiting.empty() ? nullptr : &waiting.back())) {
            break;
        }
    }
    {
        const std::lock_guard lock(m_mutexReads);
        SetReading(nullptr);
    }
    m_changed.notify_all();
    m_fs.GetSys().Close(top);
}

// The folder's entries, read to their end, and the names of its subfolders the walk enters:
// null when the folder cannot be read whole.
std::unique_ptr<FolderRead> FolderReadAhead::Read(int top, const Pending& pending,
                                                  std::vector<std::string>& subfolders) {
    Sys& sys = m_fs.GetSys();
    const int fd = sys.OpenAt(top, pending.relative.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    bool whole = sys.Fstat(fd, &st) == 0;
    std::vector<char>& entries = m_entries;
    entries.clear();
    for (ssize_t got = 1; whole && got > 0;) {
        got = sys.Getdents(fd, m_buffer.get(), kBatch);
        if (got > 0) {
            entries.insert(entries.end(), m_buffer.get(), m_buffer.get() + got);
        }
        whole = got >= 0 && entries.size() <= kMostBytes;
    }
    sys.Close(fd);
    if (!whole) {
        return nullptr;
    }
    for (size_t at = 0; at < entries.size();) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(entries.data() + at);
        at += entry->d_reclen;
        if (entry->d_type == DT_DIR && !FolderListing::IsDots(entry->d_name) &&
            (m_bHiddenFolders || entry->d_name[0] != '.')) {
            subfolders.emplace_back(entry->d_name);
        }
    }
    auto read = std::make_unique<FolderRead>();
    read->parent = pending.parent;
    read->name = pending.name;
    read->id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    read->size = entries.size();
    read->entries = std::make_unique_for_overwrite<char[]>(entries.size());
    std::memcpy(read->entries.get(), entries.data(), entries.size());
    return read;
}

void FolderReadAhead::SetReading(const Pending* next) {
    m_bReading = next != nullptr;
    if (next != nullptr) {
        m_readingParent = next->parent;
        m_strReadingName = next->name;
    }
}

// Hands the read over, when there is one, and names the next folder in the same step: a walk
// that reaches that folder meanwhile waits for it rather than reading it too. False when the
// walk has ended.
bool FolderReadAhead::Publish(std::unique_ptr<FolderRead> read, const Pending* next) {
    {
        std::unique_lock lock(m_mutexReads);
        m_changed.wait(lock, [this, &read] {
            return m_bEnd || read == nullptr || m_reads.empty() ||
                   (m_reads.size() < kMostReadsAhead && m_nBytesAhead < kMostBytesAhead);
        });
        if (m_bEnd) {
            return false;
        }
        if (read != nullptr) {
            m_nBytesAhead += read->size;
            m_reads.push_back(std::move(read));
        }
        SetReading(next);
        m_nHandedOver.fetch_add(1, std::memory_order_relaxed);
    }
    m_changed.notify_all();
    return true;
}

// The reads come in the walk's order: those before the one taken are of folders the walk passed
// over. When the walk reaches the folder being read, every read before it is passed over too.
std::unique_ptr<FolderRead> FolderReadAhead::Take(const FileId& parent, const std::string& name,
                                                  const FileId& id) {
    std::unique_ptr<FolderRead> taken;
    {
        std::unique_lock lock(m_mutexReads);
        const auto same = [&](const std::unique_ptr<FolderRead>& read) {
            return read->parent == parent && read->name == name;
        };
        auto found = std::find_if(m_reads.begin(), m_reads.end(), same);
        if (found == m_reads.end() && m_bReading && m_readingParent == parent &&
            m_strReadingName == name) {
            m_reads.clear();
            m_nBytesAhead = 0;
            m_changed.notify_all();  // the reader may wait for room
            // A folder is read in microseconds: the walk waits that long awake, as falling
            // asleep and being woken cost both threads more than the wait.
            const uint64_t handedOver = m_nHandedOver.load(std::memory_order_relaxed);
            lock.unlock();
            for (int spin = 0;
                 spin < kSpins && m_nHandedOver.load(std::memory_order_relaxed) == handedOver;
                 ++spin) {
                Pause();
            }
            lock.lock();
            m_changed.wait(lock, [&] {
                return !m_bReading || m_readingParent != parent || m_strReadingName != name;
            });
            found = std::find_if(m_reads.begin(), m_reads.end(), same);
        }
        if (found == m_reads.end()) {
            return nullptr;
        }
        taken = std::move(*found);
        for (auto passed = m_reads.begin(); passed != found; ++passed) {
            m_nBytesAhead -= (*passed)->size;
        }
        m_nBytesAhead -= taken->size;
        m_reads.erase(m_reads.begin(), found + 1);
    }
    m_changed.notify_all();
    return taken->id == id ? std::move(taken) : nullptr;
}

}  // namespace pellumar
