#pragma once

#include <cstddef>

namespace pellumar {

// Runs a function that reads a mapped file and turns a bus error inside that mapping (the file
// shrank under it) into a false result instead of a crash.
//
// The function may be left in the middle by a jump: it and whatever it calls must hold no
// object with a destructor while it reads the mapping; owners belong to the caller.
class ReadFaultGuard {
  public:
    template <class F>
    static bool Run(const void* begin, size_t length, F& function) {
        return RunRaw(
            begin, length, [](void* context) { (*static_cast<F*>(context))(); }, &function);
    }

  private:
    static bool RunRaw(const void* begin, size_t length, void (*function)(void*), void* context);
};

}  // namespace pellumar
