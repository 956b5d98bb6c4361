#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace pellumar::test {

// A folder tree of files made for one test and removed with it.
class TempTree {
  public:
    // In the system's folder for temporary files, or in the given one.
    explicit TempTree(const std::string& base = "");
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree();

    // A folder kept in memory where the system has one, else the folder for temporary files: a
    // sparse file of gigabytes reads there at the speed of memory, where a disk's file system
    // first fills a page cache page with zeros for every page read.
    static std::string MemoryFolder();

    const std::string& Root() const { return m_strRoot; }
    // The path of a file given relative to the root with '/', in the system's own form.
    std::string Path(const std::string& relative) const;

    // Writes a file, making its folders, with the given permission bits.
    void Write(const std::string& relative, const std::string& bytes, mode_t mode = 0644) const;
    // The file's bytes, or "<missing>".
    std::string Read(const std::string& relative) const;
    mode_t Mode(const std::string& relative) const;
    // Every regular file below the root, relative with '/' and sorted; links are not followed.
    std::vector<std::string> Files() const;
    // Every regular file below the root with its bytes, as Files() names them.
    std::map<std::string, std::string> Contents() const;
    // The files whose name is that of a temporary file of the engine.
    std::vector<std::string> TemporaryFiles() const;

#ifndef _WIN32
    // Nests `levels` folders of 49-character names in the folder `relative` (made when missing)
    // and returns a descriptor of the innermost, to be closed by the caller: at 90 levels its
    // path is longer than any the system takes.
    int MakeDeep(const std::string& relative, int levels) const;
#endif

  private:
    std::string m_strRoot;
};

}  // namespace pellumar::test
