// Small helpers shared by the framework's own source files (not part of its interface).
#pragma once

#include <cstddef>

namespace zv {

// Copies at most capacity - 1 characters of source (null = empty) and terminates the copy.
void CopyText(wchar_t* target, size_t capacity, const wchar_t* source);

// The screen's horizontal scale, LOGPIXELSX / 96, read once per process.
double ScreenScale();

}  // namespace zv
