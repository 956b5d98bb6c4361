#include "TempTree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "NativeTypes.h"
#include "TextShape.h"

namespace fs = std::filesystem;

namespace pellumar::test {

TempTree::TempTree(const std::string& base) {
    const fs::path folder = base.empty() ? fs::temp_directory_path() : fs::path(base);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_strRoot.empty(); ++attempt) {
        const fs::path root = folder / ("pellumar-test-" + std::to_string(random()));
        if (fs::create_directory(root)) {
            m_strRoot = root.string();
        }
    }
    if (m_strRoot.empty()) {
        throw std::runtime_error("no folder for the test tree");
    }
}

TempTree::~TempTree() {
    // The walk leaves the process inside the tree: step out first.
    std::error_code error;
    fs::current_path(fs::temp_directory_path(), error);
    fs::remove_all(m_strRoot, error);
#ifndef _WIN32
    if (error) {  // folders nested beyond the longest path: rm takes them apart from inside
        std::system(("rm -rf -- '" + m_strRoot + "'").c_str());
    }
#endif
}

std::string TempTree::MemoryFolder() {
#ifndef _WIN32
    if (::access("/dev/shm", W_OK | X_OK) == 0) {
        return "/dev/shm";
    }
#endif
    return fs::temp_directory_path().string();
}

std::string TempTree::Path(const std::string& relative) const {
    std::string path = m_strRoot + kSeparator + relative;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(m_strRoot.size()), path.end(), '/',
                 kSeparator);
    return path;
}

void TempTree::Write(const std::string& relative, const std::string& bytes, mode_t mode) const {
    const fs::path path = Path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    fs::permissions(path, static_cast<fs::perms>(mode));
}

std::string TempTree::Read(const std::string& relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    // Copied by the stream buffer in one go: a character at a time is slow in a checking build.
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

mode_t TempTree::Mode(const std::string& relative) const {
    std::error_code error;
    const fs::file_status status = fs::status(Path(relative), error);
    return error ? 0 : static_cast<mode_t>(status.permissions() & fs::perms::mask);
}

std::vector<std::string> TempTree::Files() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(m_strRoot)) {
        if (!entry.is_symlink() && entry.is_regular_file()) {  // a link is never followed
            files.push_back(fs::relative(entry.path(), m_strRoot).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::map<std::string, std::string> TempTree::Contents() const {
    std::map<std::string, std::string> contents;
    for (const std::string& file : Files()) {
        contents[file] = Read(file);
    }
    return contents;
}

std::vector<std::string> TempTree::TemporaryFiles() const {
    std::vector<std::string> files = Files();
    std::erase_if(files, [](const std::string& file) {
        return !IsTemporaryName(std::string_view(file).substr(file.rfind('/') + 1));
    });
    return files;
}

#ifndef _WIN32
int TempTree::MakeDeep(const std::string& relative, int levels) const {
    fs::create_directories(Path(relative));
    int fd = ::open(Path(relative).c_str(), O_RDONLY | O_DIRECTORY);
    const std::string name(49, 'd');
    for (int level = 0; level < levels && fd >= 0; ++level) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int inner = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = inner;
    }
    if (fd < 0) {
        throw std::runtime_error("cannot nest folders in " + relative);
    }
    return fd;
}
#endif

}  // namespace pellumar::test
