#pragma once

// What the platform's file system code shares between its files: how two statuses of a file
// compare, and how names are put together.
#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "FolderListing.h"

namespace pellumar {

inline bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Same inode, and its content not changed: size and modification time as they were.
inline bool SameContent(const struct stat& a, const struct stat& b) {
    return SameInode(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// As SameContent, and neither its owner nor its access rights changed either.
inline bool SameFile(const struct stat& a, const struct stat& b) {
    return SameContent(a, b) && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// The folder that a name of a listing is relative to: the listed one, or else the current one.
inline int FolderFd(const FolderListing* where) {
    return where ? where->State().fd : AT_FDCWD;
}

inline std::string Joined(const std::string& folder, const std::string& name) {
    return (!folder.empty() && folder.back() == '/') ? folder + name : folder + "/" + name;
}

// The folder part of a path, without its last separator unless it is the root.
inline std::string FolderPart(const std::string& path, size_t slash) {
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace pellumar
