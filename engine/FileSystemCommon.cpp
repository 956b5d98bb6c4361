// What the file system layer's codes mean, on every platform.
#include "CFileException.h"
#include "FileSystem.h"

namespace pellumar {

int FileSystem::Cause(int error) {
    switch (error) {
        case kChangedMeanwhile:
            return CAUSE_SHARING_VIOLATION;
        case kShrankMeanwhile:
            return CAUSE_END_OF_FILE;
        case kLockedElsewhere:
            return CAUSE_LOCK_VIOLATION;
        case kGaveUp:
            return CAUSE_NONE;
        default:
            return CauseOfSystemError(error);
    }
}

std::string FileSystem::ErrorText(int error) {
    switch (error) {
        case kChangedMeanwhile:
            return "changed by another program meanwhile";
        case kShrankMeanwhile:
            return "grew shorter while it was read";
        case kLockedElsewhere:
            return "locked by another program";
        case kGaveUp:
            return "the search was stopped";
        default:
            return SystemErrorText(error);
    }
}

}  // namespace pellumar
