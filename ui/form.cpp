// FormWindow, the ControlData property, DPI queries, class registration and top-level windows.
#include "ui/form.h"

#include <commctrl.h>

#include <cmath>
#include <cwchar>

#include "ui/internal.h"
#include "ui/properties.h"
#include "win/screen.h"

namespace zv {

namespace {

// Process-wide cache of the named classes RegisterFormClass registered.
struct ClassCacheEntry {
  std::wstring name;
  HINSTANCE module;
  ATOM atom;
};
std::vector<ClassCacheEntry> gClassCache;
int gClassRegistrations = 0;

template <typename Fn>
Fn LibraryFunction(HMODULE module, const char* name) {
  // Through the generic function pointer type, which converts to any other without a warning.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

void CopyText(wchar_t* target, size_t capacity, const wchar_t* source) {
  size_t i = 0;
  if (source) {
    for (; i + 1 < capacity && source[i]; ++i) target[i] = source[i];
  }
  target[i] = L'\0';
}

double ScreenScale() {
  return GetScreenDpi().x / 96.0;
}

FormWindow::FormWindow(const wchar_t* name) {
  CopyText(className, 260, name);
  module = ::GetModuleHandleW(nullptr);
  const bool aware = IsDpiAware();
  SetDpi(*this, aware ? -1.0f : 96.0f);
  ChooseDefaultFont(*this, aware, WindowsVersionNumber());
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), 0x7FFF};
  ::InitCommonControlsEx(&init);
}

FormWindow::~FormWindow() {
  if (className[0] && ::UnregisterClassW(className, module)) {
    // The class is really gone (no window of it is left): forget it so that a later form of
    // the same name registers it again instead of using a dead atom.
    std::erase_if(gClassCache, [&](const ClassCacheEntry& e) {
      return e.module == module && ::lstrcmpiW(e.name.c_str(), className) == 0;
    });
  }
}

ControlData* GetControlData(HWND window) {
  if (!window) return nullptr;
  return static_cast<ControlData*>(::GetPropW(window, kControlProp));
}

ControlData* AttachControlData(HWND window, std::unique_ptr<ControlData> data) {
  if (!data || !::IsWindow(window)) return nullptr;
  std::unique_ptr<ControlData> previous = DetachControlData(window);
  if (!::SetPropW(window, kControlProp, data.get())) return nullptr;
  return data.release();
}

std::unique_ptr<ControlData> DetachControlData(HWND window) {
  if (!window) return nullptr;
  return std::unique_ptr<ControlData>(static_cast<ControlData*>(::RemovePropW(window, kControlProp)));
}

ControlData* LinkWindowlessControl(HWND form, std::unique_ptr<ControlData> record) {
  ControlData* last = GetControlData(form);
  if (!last || !record) return nullptr;
  while (last->nextWindowless) last = last->nextWindowless.get();
  last->nextWindowless = std::move(record);
  return last->nextWindowless.get();
}

FormWindow* GetFormWindow(HWND form) {
  if (!::IsWindow(form) || ::GetClassLongPtrW(form, GCL_CBWNDEXTRA) < LONG_PTR{sizeof(void*)}) {
    return nullptr;
  }
  auto* formWindow = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(form, 0));
  return formWindow && formWindow->window == form ? formWindow : nullptr;
}

bool IsDpiAware() {
  ModuleHandle user32(::LoadLibraryExW(L"user32.dll", nullptr, 0));
  if (!user32) return false;
  auto isAware = LibraryFunction<BOOL(WINAPI*)()>(user32.get(), "IsProcessDPIAware");
  return isAware && isAware();
}

int WindowsVersionNumber() {
  ModuleHandle ntdll(::LoadLibraryExW(L"NtDll.dll", nullptr, 0));
  if (!ntdll) return 0;
  auto getVersion = LibraryFunction<LONG(WINAPI*)(OSVERSIONINFOW*)>(ntdll.get(), "RtlGetVersion");
  if (!getVersion) return 0;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (getVersion(&info) != 0) return 0;
  return static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
}

void ChooseDefaultFont(FormWindow& form, bool dpiAware, int windowsVersion) {
  const bool modern = windowsVersion >= 600 && dpiAware;
  if (!form.defaultFontFace[0]) CopyText(form.defaultFontFace, 32, modern ? L"Segoe UI" : L"Tahoma");
  if (form.defaultFontSize == 0) form.defaultFontSize = modern ? 9 : 8;
}

void SetDpi(FormWindow& form, float dpi) {
  double value = dpi;
  if (value < 0.0) value = GetScreenDpi().x;
  form.dpi = RoundHalfEven(value);
  form.scaleX = form.scaleY = static_cast<float>(form.dpi / 96.0);
}

ATOM RegisterFormClass(const wchar_t* className, HINSTANCE module, WNDPROC procedure) {
  wchar_t name[256];
  const bool named = className && className[0];
  if (named) {
    // Compared the way Windows compares class names (without regard to case): a second
    // registration of the same class in other letters would only fail.
    for (const ClassCacheEntry& e : gClassCache) {
      if (e.module == module && ::lstrcmpiW(e.name.c_str(), className) == 0) return e.atom;
    }
    CopyText(name, 256, className);
  } else {
    const std::wstring numbered = L"KWDWindowClass:" + DecimalText(gClassRegistrations);
    CopyText(name, 256, numbered.c_str());
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = procedure ? procedure : ::DefWindowProcW;
  wc.cbWndExtra = sizeof(void*);
  wc.hInstance = module;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  const ATOM atom = ::RegisterClassExW(&wc);
  if (!atom) return 0;
  if (named) gClassCache.push_back({name, module, atom});
  ++gClassRegistrations;
  return atom;
}

void CreateDefaultFont(FormWindow& form) {
  LOGFONTW font{};
  font.lfHeight = FontHeightAt(form.defaultFontSize, form.dpi);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  CopyText(font.lfFaceName, LF_FACESIZE, form.defaultFontFace);
  form.defaultFont.reset(::CreateFontIndirectW(&font));
}

namespace {

int ScaleCoordinate(int value, float scale) {
  return value == CW_USEDEFAULT ? value : RoundHalfEven(static_cast<double>(value) * scale);
}

}  // namespace

HWND CreateFormWindow(FormWindow& form, HWND owner, const wchar_t* caption, WNDPROC procedure,
                      int x, int y, int width, int height, DWORD style, DWORD exStyle) {
  if (form.window) return nullptr;
  form.classAtom = RegisterFormClass(form.className, form.module, procedure);
  if (!form.classAtom) return nullptr;
  if (!form.defaultFont) CreateDefaultFont(form);
  HWND window = ::CreateWindowExW(
      exStyle, MAKEINTATOM(form.classAtom), caption, style, ScaleCoordinate(x, form.scaleX),
      ScaleCoordinate(y, form.scaleY), ScaleCoordinate(width, form.scaleX),
      ScaleCoordinate(height, form.scaleY), owner, nullptr, form.module, &form);
  if (!window) return nullptr;
  form.window = window;
  ::GetClassNameW(window, form.className, 260);
  if (form.defaultFont) {
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(form.defaultFont.get()), FALSE);
  }
  ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(&form));
  return window;
}

}  // namespace zv
