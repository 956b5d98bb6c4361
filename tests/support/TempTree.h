#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pellumar::test {

// A folder tree of files made for one test and removed with it.
class TempTree {
  public:
    TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree();

    const std::string& Root() const { return m_strRoot; }
    // The absolute path of a path relative to the root.
    std::string Path(const std::string& relative) const;

    // Writes a file (making its folders), with the given permission bits.
    void Write(const std::string& relative, const std::string& bytes, mode_t mode = 0644) const;
    std::string Read(const std::string& relative) const;
    void Mkdir(const std::string& relative) const;
    void Symlink(const std::string& target, const std::string& relative) const;
    void Fifo(const std::string& relative) const;
    mode_t Mode(const std::string& relative) const;

    // Every entry below the root (relative paths, sorted), links not followed.
    std::vector<std::string> List() const;
    // The entries whose name looks like a temporary file of the engine.
    std::vector<std::string> TemporaryFiles() const;

  private:
    std::string m_strRoot;
};

}  // namespace pellumar::test
