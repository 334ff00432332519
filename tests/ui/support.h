// Test forms, message pumping and a record of the windows CreateWindowExW was asked for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/properties.h"

namespace zvtest {

// What the test form's window procedure saw.
struct FormCounters {
  int repaintTimers = 0;
  int paints = 0;
  int destroys = 0;
};
extern FormCounters gCounters;

// The window procedure of test forms: the standard form handling, counting, a minimal paint and
// the release of the form's records on WM_DESTROY.
LRESULT CALLBACK TestFormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A form made through FormWindow/CreateFormWindow (FormWindow on the heap, owned by the window)
// with a ControlData of its own; destroyed with the object.
class TestForm {
 public:
  // Sizes in design units; dpi 96 gives scale 1.
  TestForm(int width, int height, float dpi = 96.0f, DWORD style = WS_POPUP,
           const wchar_t* className = L"");
  ~TestForm();
  TestForm(const TestForm&) = delete;
  TestForm& operator=(const TestForm&) = delete;

  HWND window() const { return window_; }
  zv::FormWindow& formWindow() const { return *formWindow_; }
  zv::ControlData& record() const { return *zv::GetControlData(window_); }
  // A windowed control with SubclassProc and its own record (ID, design rectangle).
  HWND AddControl(const wchar_t* keyword, int id, int x, int y, int width, int height,
                  DWORD style = zv::kDefaultStyle, const wchar_t* caption = L"");
  // A windowless record linked into the form's chain.
  zv::WindowlessHandle AddWindowless(int id, int x, int y, int width, int height);

 private:
  HWND window_ = nullptr;
  zv::FormWindow* formWindow_ = nullptr;
};

// Dispatches every message that arrives for about `milliseconds`.
void PumpFor(int milliseconds);
// Dispatches until the queue is empty.
void PumpPending();

// Window rectangle in the parent's client coordinates.
RECT ChildRect(HWND child);

// Records the arguments of every window creation on this thread while it lives (WH_CBT).
struct CreationArgs {
  HWND window;
  std::wstring className;
  DWORD style;
  DWORD exStyle;
  int x, y, width, height;
};
class CreationSpy {
 public:
  CreationSpy();
  ~CreationSpy();
  CreationSpy(const CreationSpy&) = delete;
  CreationSpy& operator=(const CreationSpy&) = delete;
  // The arguments the given window was created with (empty class name when unknown).
  CreationArgs For(HWND window) const;

 private:
  HHOOK hook_;
};

// True while the handle is still a live cursor or icon.
bool IconAlive(HICON icon);

}  // namespace zvtest
