#include "FolderPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace pellumar {

int OpenFolderPath(Sys& sys, const std::string& path, int flags) {
    if (path.size() < PATH_MAX) {
        return sys.OpenAt(AT_FDCWD, path.c_str(), flags);
    }
    int folder = sys.OpenAt(AT_FDCWD, path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (size_t from = 0; folder >= 0 && from < path.size();) {
        size_t end = path.find('/', from);
        end = end == std::string::npos ? path.size() : end;
        if (end > from) {
            const std::string part = path.substr(from, end - from);
            const bool last = path.find_first_not_of('/', end) == std::string::npos;
            const int next =
                sys.OpenAt(folder, part.c_str(), last ? flags : O_PATH | O_DIRECTORY | O_CLOEXEC);
            const int error = errno;
            sys.Close(folder);
            errno = error;
            folder = next;
        }
        from = end + 1;
    }
    return folder;
}

}  // namespace pellumar
