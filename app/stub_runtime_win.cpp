// The installer stub's own small C++ runtime pieces. The stub is built without exceptions;
// these definitions replace the library's allocation operators and throwing helpers, which
// would drag in the unwinder, the exception objects and the threading library (about 350 KB).
// A failed allocation or a broken container invariant ends the process with exit code 3, as
// abort() would; code that may meet a size the address space cannot hold tries the memory
// first (base/try_alloc.h).
#include <windows.h>

#include <cstdlib>
#include <new>

#include "base/text.h"
#include "package/case_fold.h"

namespace {

[[noreturn]] void Die() {
  ExitProcess(3);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  Die();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace std {
[[noreturn]] void __throw_bad_alloc() { Die(); }
[[noreturn]] void __throw_bad_array_new_length() { Die(); }
[[noreturn]] void __throw_length_error(const char*) { Die(); }
[[noreturn]] void __throw_logic_error(const char*) { Die(); }
[[noreturn]] void __throw_out_of_range(const char*) { Die(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { Die(); }
[[noreturn]] void __throw_invalid_argument(const char*) { Die(); }
[[noreturn]] void __throw_bad_function_call() { Die(); }
[[noreturn]] void __throw_bad_optional_access() { Die(); }
}  // namespace std

// File names are compared without case by the system's own upper-casing: the package library's
// table (package/case_fold.cpp) would not fit in the stub.
namespace zv {
TextUnit FoldCase(TextUnit c) { return FoldCaseBySystem(c); }
}  // namespace zv

// Static objects are never destroyed: the process ends with ExitProcess and the system takes
// back what they hold. Registering nothing lets the linker drop every destructor of a static.
extern "C" int atexit(void (*)()) noexcept { return 0; }

// Thread-safe initialisation of function-local statics, without the threading library: a
// spin on the guard's second byte. Initialisers here never wait on another thread.
extern "C" {
int __cxa_guard_acquire(long long* guard) {
  volatile char* bytes = reinterpret_cast<volatile char*>(guard);
  for (;;) {
    if (bytes[0]) return 0;  // already initialised
    if (InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(bytes + 4), 1, 0) == 0) {
      if (bytes[0]) {
        InterlockedExchange(reinterpret_cast<volatile LONG*>(bytes + 4), 0);
        return 0;
      }
      return 1;
    }
    Sleep(0);
  }
}
void __cxa_guard_release(long long* guard) {
  volatile char* bytes = reinterpret_cast<volatile char*>(guard);
  bytes[0] = 1;
  InterlockedExchange(reinterpret_cast<volatile LONG*>(bytes + 4), 0);
}
void __cxa_guard_abort(long long* guard) {
  InterlockedExchange(reinterpret_cast<volatile LONG*>(reinterpret_cast<volatile char*>(guard) + 4), 0);
}
[[noreturn]] void __cxa_pure_virtual() { Die(); }
}
