#include "TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
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
    // The walk leaves the process inside the tree: step out first.
    if (::chdir("/") == 0) {
        std::error_code error;
        fs::remove_all(m_strRoot, error);
    }
}

void TempTree::Write(const std::string& relative, const std::string& bytes, mode_t mode) const {
    const fs::path path = Path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ::chmod(path.c_str(), mode);
}

std::string TempTree::Read(const std::string& relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

mode_t TempTree::Mode(const std::string& relative) const {
    struct stat st;
    return ::stat(Path(relative).c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> TempTree::Files() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(m_strRoot)) {
        if (entry.is_regular_file() && !entry.is_symlink()) {
            files.push_back(fs::relative(entry.path(), m_strRoot).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> TempTree::TemporaryFiles() const {
    static const std::regex name("(.*/)?pel[0-9A-F]{4}\\.tmp");
    std::vector<std::string> files = Files();
    std::erase_if(files, [](const std::string& file) { return !std::regex_match(file, name); });
    return files;
}

}  // namespace pellumar::test
