#include "FilesSeen.h"

#include "FileJob.h"

namespace pellumar {

bool FilesSeen::IsNew(const FileStatus& status) {
    const auto [seen, isNew] = m_seen.try_emplace(status.Id(), status.Version());
    if (isNew) {
        return true;
    }
    if (seen->second == status.Version()) {
        return false;
    }
    seen->second = status.Version();
    return true;
}

void FilesSeen::Replaced(const FileStatus& old, const FileStatus& written) {
    m_seen[written.Id()] = written.Version();
    m_seen.erase(old.Id());
    m_made[written.Id()] = written.Version();
}

bool FilesSeen::IsMade(const FileStatus& status) const {
    const auto made = m_made.find(status.Id());
    return made != m_made.end() && made->second == status.Version();
}

void FilesSeen::LeftAsItIs(const FileJob& job) {
    Unchanged& unchanged = m_unchanged[job.status.Id()];
    unchanged.matches = job.matches;
    unchanged.names.insert(RewrittenName(job));
}

std::optional<uint64_t> FilesSeen::OtherName(const FileJob& job) {
    const auto unchanged = m_unchanged.find(job.status.Id());
    if (unchanged == m_unchanged.end() ||
        !unchanged->second.names.insert(RewrittenName(job)).second) {
        return std::nullopt;
    }
    return unchanged->second.matches;
}

// A replacement rewrites every hard link's name, each from the old content, and a link's target
// once.
std::string FilesSeen::RewrittenName(const FileJob& job) {
    RewriteTarget target;
    const bool resolved =
        m_fs.ResolveTarget(job.pWhere, job.name.c_str(), job.path, job.status, target) == 0;
    std::string key = resolved ? m_fs.TargetKey(target) : job.path;
    m_fs.ReleaseTarget(target);
    return key;
}

std::string FilesSeen::RewrittenPath(const FileJob& job) {
    RewriteTarget target;
    const bool resolved =
        m_fs.ResolveTarget(job.pWhere, job.name.c_str(), job.path, job.status, target) == 0;
    std::string path = resolved ? m_fs.PathBeside(target, target.name) : job.path;
    m_fs.ReleaseTarget(target);
    return path;
}

}  // namespace pellumar
