#include "tests/ui/support.h"

#include <memory>

namespace zvtest {

FormCounters gCounters;

LRESULT CALLBACK TestFormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == zv::kRepaintTimerId) ++gCounters.repaintTimers;
  LRESULT result = 0;
  if (zv::HandleStandardFormMessage(window, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_PAINT: {
      ++gCounters.paints;
      zv::PaintGuard paint(window);
      return 0;
    }
    case WM_DESTROY:
      ++gCounters.destroys;
      zv::HandleFormDestroy(window);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

TestForm::TestForm(int width, int height, float dpi, DWORD style, const wchar_t* className) {
  formWindow_ = new zv::FormWindow(className);
  zv::SetDpi(*formWindow_, dpi);
  window_ = zv::CreateFormWindow(*formWindow_, nullptr, L"Test form", TestFormProc, 0, 0, width,
                                 height, style, 0);
  if (!window_) {
    delete formWindow_;
    formWindow_ = nullptr;
    return;
  }
  auto record = std::make_unique<zv::ControlData>();
  record->name = L"Form1";
  zv::AttachControlData(window_, std::move(record));
}

TestForm::~TestForm() {
  if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
  PumpPending();
}

HWND TestForm::AddControl(const wchar_t* keyword, int id, int x, int y, int width, int height,
                          DWORD style, const wchar_t* caption) {
  HWND control = zv::CreateControl(*formWindow_, keyword, window_, id, caption, x, y, width, height,
                                   style, zv::kDefaultStyle, nullptr, zv::SubclassProc,
                                   zv::kReplaceWndProc, 0);
  if (!control) return nullptr;
  auto record = std::make_unique<zv::ControlData>();
  record->owner = window_;
  record->controlId = id;
  record->left = x;
  record->top = y;
  record->width = width;
  record->height = height;
  zv::AttachControlData(control, std::move(record));
  return control;
}

zv::WindowlessHandle TestForm::AddWindowless(int id, int x, int y, int width, int height) {
  auto record = std::make_unique<zv::ControlData>();
  record->owner = window_;
  record->controlId = id;
  record->flags = zv::kFlagState | zv::kFlagVisible;
  record->left = x;
  record->top = y;
  record->width = width;
  record->height = height;
  zv::LinkWindowlessControl(window_, std::move(record));
  zv::WindowlessHandle handle;
  handle.id = id;
  handle.form = window_;
  return handle;
}

void PumpPending() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void PumpFor(int milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    PumpPending();
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= static_cast<DWORD>(milliseconds)) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

RECT ChildRect(HWND child) {
  RECT rect{};
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

namespace {

std::vector<CreationArgs> gCreations;

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
    CreationArgs args{reinterpret_cast<HWND>(wParam), L"", static_cast<DWORD>(create->style),
                      create->dwExStyle, create->x, create->y, create->cx, create->cy};
    if (!IS_INTRESOURCE(create->lpszClass)) args.className = create->lpszClass;
    gCreations.push_back(args);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

CreationSpy::CreationSpy()
    : hook_(::SetWindowsHookExW(WH_CBT, CreationHook, nullptr, ::GetCurrentThreadId())) {
  gCreations.clear();
}

CreationSpy::~CreationSpy() { ::UnhookWindowsHookEx(hook_); }

CreationArgs CreationSpy::For(HWND window) const {
  for (const CreationArgs& args : gCreations) {
    if (args.window == window) return args;
  }
  return {};
}

bool IconAlive(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return false;
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return true;
}

}  // namespace zvtest
