// Keeps GetLastError() across a release (CloseHandle, DeleteObject ... may change it): the
// ErrorKeeper (base/owned.h) of every Win32 owner, in base/ for the Win32 half of file reading
// and in win/handles.h for the rest.
#pragma once

#include <windows.h>

namespace zv {

struct LastErrorKeeper {
  LastErrorKeeper() noexcept : saved(::GetLastError()) {}
  ~LastErrorKeeper() { ::SetLastError(saved); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  DWORD saved;
};

}  // namespace zv
