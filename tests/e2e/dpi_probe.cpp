// Loaded into a running installer by the DPI test: tells its window that it moved to a screen
// of another DPI. WM_DPICHANGED carries a pointer to the suggested rectangle, so it can only be
// sent from inside the installer's process.
#include <windows.h>

#include <cmath>

namespace {

BOOL CALLBACK FindForm(HWND window, LPARAM found) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (pid != GetCurrentProcessId() || lstrcmpW(name, L"Zelv软件安装_Form1") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

}  // namespace

// The thread's argument is the new DPI. The suggested rectangle has the outer size of the
// window made at that DPI (451 x 314 design units), centred on the work area as such a window
// starts (the screen it moved to).
extern "C" __declspec(dllexport) DWORD WINAPI DeliverDpi(void* argument) {
  const int dpi = static_cast<int>(reinterpret_cast<UINT_PTR>(argument));
  HWND form = nullptr;
  EnumWindows(FindForm, reinterpret_cast<LPARAM>(&form));
  if (!form) return 1;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const LONG width = static_cast<LONG>(std::nearbyint(451.0 * dpi / 96.0));
  const LONG height = static_cast<LONG>(std::nearbyint(314.0 * dpi / 96.0));
  RECT rect{};
  rect.left = work.left + (work.right - work.left - width) / 2;
  rect.top = work.top + (work.bottom - work.top - height) / 2;
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&rect));
  return 2;
}
