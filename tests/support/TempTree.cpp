#include "TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pellumar::test {

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pellumar-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_strRoot = pattern;
}

TempTree::~TempTree() {
    // The walk leaves the process inside the tree; step out so removal is clean.
    if (::chdir("/") != 0) {
        return;
    }
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_strRoot, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(m_strRoot, error);
}

std::string TempTree::Path(const std::string& relative) const {
    return relative.empty() ? m_strRoot : m_strRoot + "/" + relative;
}

void TempTree::Write(const std::string& relative, const std::string& bytes, mode_t mode) const {
    const fs::path path = Path(relative);
    fs::create_directories(path.parent_path());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    ::chmod(path.c_str(), mode);
}

std::string TempTree::Read(const std::string& relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void TempTree::Mkdir(const std::string& relative) const {
    fs::create_directories(Path(relative));
}

void TempTree::Symlink(const std::string& target, const std::string& relative) const {
    fs::create_directories(fs::path(Path(relative)).parent_path());
    fs::create_symlink(target, Path(relative));
}

void TempTree::Fifo(const std::string& relative) const {
    if (::mkfifo(Path(relative).c_str(), 0644) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
}

mode_t TempTree::Mode(const std::string& relative) const {
    struct stat st;
    return ::stat(Path(relative).c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> TempTree::List() const {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_strRoot, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        entries.push_back(fs::relative(it->path(), m_strRoot).string());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> TempTree::TemporaryFiles() const {
    std::vector<std::string> found;
    for (const std::string& entry : List()) {
        const std::string name = fs::path(entry).filename().string();
        if (name.rfind("pel", 0) == 0 && name.size() > 7 &&
            name.substr(name.size() - 4) == ".tmp") {
            found.push_back(entry);
        }
    }
    return found;
}

}  // namespace pellumar::test
