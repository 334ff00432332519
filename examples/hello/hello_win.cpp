// 你好: a small sample program for packing. One window that shows the program's own folder,
// the current folder, and whether the data files unpacked beside it are there.
#include <windows.h>

#include <string>

#include "win/handles.h"

namespace {

constexpr wchar_t kClassName[] = L"ZvHelloWindow";
constexpr wchar_t kTitle[] = L"你好 — 示例程序";
constexpr int kWidth = 560;
constexpr int kHeight = 260;

std::wstring OwnFolder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size()) {
    path.resize(path.size() * 2);
  }
  path.resize(length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring CurrentFolder() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring path(needed, L'\0');
  path.resize(::GetCurrentDirectoryW(needed, path.data()));
  return path;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Report() {
  const std::wstring own = OwnFolder();
  std::wstring text = L"程序所在文件夹：\r\n    " + own + L"\r\n\r\n当前文件夹：\r\n    " +
                      CurrentFolder() + L"\r\n\r\n";
  for (const wchar_t* file : {L"说明.txt", L"数据\\设置.ini", L"docs\\readme.txt"}) {
    text += std::wstring(Exists(own + file) ? L"✓ " : L"✗ ") + file + L"\r\n";
  }
  return text;
}

zv::GdiFont gFont;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      gFont.reset(::CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                DEFAULT_PITCH, L"Microsoft YaHei"));
      return 0;
    case WM_PAINT: {
      zv::PaintGuard paint(window);
      RECT area{};
      ::GetClientRect(window, &area);
      ::InflateRect(&area, -16, -16);
      zv::SelectGuard font(paint.dc(), gFont.get());
      ::SetBkMode(paint.dc(), TRANSPARENT);
      const std::wstring text = Report();
      ::DrawTextW(paint.dc(), text.c_str(), static_cast<int>(text.size()), &area,
                  DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClassName;
  if (!::RegisterClassExW(&windowClass)) return 1;

  HWND window = ::CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, kWidth, kHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, show);
  ::UpdateWindow(window);

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  gFont.reset();
  return static_cast<int>(message.wParam);
}
