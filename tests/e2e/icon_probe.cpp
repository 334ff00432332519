// Reads icons as the system draws them, for the branding test. Loaded into a running installer
// (a remote thread calls LoadLibraryW, another ProbeWindowIcons) it draws that process's window
// icons: an icon handle is of no use in another process under Wine. The test also calls
// SaveIconPixels itself for icons it got in its own process.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBackground = 0x00FF00FF;  // magenta: any pixel the icon leaves shows

// Appends width, height and the pixels (0x00RRGGBB, rows top first) of the icon drawn with
// DrawIconEx at its own size over the background; 0 x 0 for no icon.
void AppendPixels(HICON icon, std::string& out) {
  std::int32_t size[2] = {0, 0};
  ICONINFO info{};
  BITMAP bitmap{};
  if (icon && GetIconInfo(icon, &info)) {
    HBITMAP shape = info.hbmColor ? info.hbmColor : info.hbmMask;
    GetObjectW(shape, sizeof bitmap, &bitmap);
    size[0] = bitmap.bmWidth;
    size[1] = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  out.append(reinterpret_cast<const char*>(size), sizeof size);
  if (!size[0] || !size[1]) return;
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = size[0];
  header.bmiHeader.biHeight = -size[1];
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateDIBSection(dc, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, target);
  std::vector<std::uint32_t> pixels(static_cast<size_t>(size[0]) * size[1], kBackground);
  std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
  DrawIconEx(dc, 0, 0, icon, size[0], size[1], 0, nullptr, DI_NORMAL);
  GdiFlush();
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t*>(bits)[i] & 0xFFFFFF;
  out.append(reinterpret_cast<const char*>(pixels.data()), pixels.size() * sizeof(std::uint32_t));
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
}

}  // namespace

// Writes the two icons' pixels (AppendPixels) to path.
extern "C" __declspec(dllexport) BOOL SaveIconPixels(HICON big, HICON smallIcon, const wchar_t* path) {
  std::string out;
  AppendPixels(big, out);
  AppendPixels(smallIcon, out);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == out.size();
}

// A thread entry: the window's big and small icons (WM_GETICON) into %TEMP%\zve2e\icon-probe.bin.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeWindowIcons(void* window) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + L"zve2e\\icon-probe.bin";
  HWND form = static_cast<HWND>(window);
  HICON big = reinterpret_cast<HICON>(SendMessageW(form, WM_GETICON, ICON_BIG, 0));
  HICON smallIcon = reinterpret_cast<HICON>(SendMessageW(form, WM_GETICON, ICON_SMALL, 0));
  return SaveIconPixels(big, smallIcon, path.c_str()) ? 1 : 0;
}
