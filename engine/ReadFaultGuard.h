#pragma once

#include <cstddef>

namespace pellumar {

// Runs a function that reads a mapped file and turns a bus error inside the given range (the
// file shrank under it) into a false result instead of a crash.
//
// The function may be left in the middle by a jump: it must only read and compute, holding no
// object with a destructor, allocating nothing and calling nothing that takes a lock.
class ReadFaultGuard {
  public:
    template <class F>
    static bool Run(const void* begin, size_t length, F& function) {
        return RunRaw(
            begin, length, [](void* context) { (*static_cast<F*>(context))(); }, &function);
    }

    // Copies bytes out of a mapping: false, with part of `dest` written, when the mapping ends
    // before them.
    static bool Copy(void* dest, const void* source, size_t size);

  private:
    static bool RunRaw(const void* begin, size_t length, void (*function)(void*), void* context);
};

}  // namespace pellumar
