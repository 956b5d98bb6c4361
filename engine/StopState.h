#pragma once

namespace pellumar {

// The worker's stop state; also the replies of the two error notifications.
enum : int {
    STOP_NONE = 0,    // go on
    STOP_SEARCH = 1,  // end the whole search
    STOP_FILE = 2,    // give up the current file, go on with the next
};

}  // namespace pellumar
