// Win32 handles and GDI objects under the one owner (base/owned.h), one alias per release
// function, and scoped guards for BeginPaint/EndPaint and SelectObject.
#pragma once

#include <windows.h>

#include <utility>

#include "base/last_error_win.h"
#include "base/owned.h"

namespace zv {

// The traits below take their ErrorKeeper from here.
struct Win32Release {
  using ErrorKeeper = LastErrorKeeper;
};

struct FileHandleTraits : Win32Release {  // CreateFileW: INVALID_HANDLE_VALUE on failure
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(Value v) { ::CloseHandle(v); }
};
struct KernelHandleTraits : Win32Release {  // threads, events, timers: null on failure
  using Value = HANDLE;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::CloseHandle(v); }
};
struct FindHandleTraits : Win32Release {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Release(Value v) { ::FindClose(v); }
};
struct MemoryDcTraits : Win32Release {  // CreateCompatibleDC
  using Value = HDC;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::DeleteDC(v); }
};
template <typename T>
struct GdiObjectTraits : Win32Release {  // pens, brushes, fonts, bitmaps, regions
  using Value = T;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::DeleteObject(v); }
};
struct IconTraits : Win32Release {
  using Value = HICON;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::DestroyIcon(v); }
};
struct CursorTraits : Win32Release {
  using Value = HCURSOR;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::DestroyCursor(v); }
};
struct WindowTraits : Win32Release {
  using Value = HWND;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) {
    if (::IsWindow(v)) ::DestroyWindow(v);
  }
};
struct ModuleTraits : Win32Release {  // LoadLibraryExW
  using Value = HMODULE;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::FreeLibrary(v); }
};

// A COM interface pointer: one reference, given back with Release.
template <typename Interface>
struct ComTraits : Win32Release {
  using Value = Interface*;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { v->Release(); }
};

using FileHandle = Owned<FileHandleTraits>;
using KernelHandle = Owned<KernelHandleTraits>;
using FindHandle = Owned<FindHandleTraits>;
using MemoryDc = Owned<MemoryDcTraits>;
using GdiPen = Owned<GdiObjectTraits<HPEN>>;
using GdiBrush = Owned<GdiObjectTraits<HBRUSH>>;
using GdiFont = Owned<GdiObjectTraits<HFONT>>;
using GdiBitmap = Owned<GdiObjectTraits<HBITMAP>>;
using IconHandle = Owned<IconTraits>;
using CursorHandle = Owned<CursorTraits>;
using WindowHandle = Owned<WindowTraits>;
using ModuleHandle = Owned<ModuleTraits>;
template <typename Interface>
using ComPtr = Owned<ComTraits<Interface>>;

// A window DC from GetDC/GetWindowDC, given back with ReleaseDC.
class WindowDc {
 public:
  WindowDc() noexcept = default;
  WindowDc(HWND window, HDC dc) noexcept : window_(window), dc_(dc) {}
  static WindowDc Client(HWND window) noexcept { return WindowDc(window, ::GetDC(window)); }
  static WindowDc Whole(HWND window) noexcept { return WindowDc(window, ::GetWindowDC(window)); }
  WindowDc(WindowDc&& o) noexcept : window_(o.window_), dc_(std::exchange(o.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&& o) noexcept {
    if (this != &o) {
      reset();
      window_ = o.window_;
      dc_ = std::exchange(o.dc_, nullptr);
    }
    return *this;
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() { reset(); }
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }
  void reset() noexcept {
    if (dc_) ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// BeginPaint in the constructor, EndPaint in the destructor.
class PaintGuard {
 public:
  explicit PaintGuard(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &ps_)) {}
  PaintGuard(const PaintGuard&) = delete;
  PaintGuard& operator=(const PaintGuard&) = delete;
  ~PaintGuard() {
    if (dc_) ::EndPaint(window_, &ps_);
  }
  HDC dc() const noexcept { return dc_; }
  const PAINTSTRUCT& info() const noexcept { return ps_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// SelectObject in the constructor; the previous object is selected back in the destructor.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  ~SelectGuard() {
    if (previous_) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace zv
