#include "tests/e2e/driver.h"

#include <gdiplus.h>
#include <shlobj.h>

#include <cstdlib>
#include <stdexcept>

#include "win/wide.h"

namespace e2e {

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring WindowTextOf(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got));
  return text;
}

struct FindTopLevel {
  DWORD pid;
  std::wstring className;
  bool visibleOnly;
  HWND found = nullptr;
};

BOOL CALLBACK FindTopLevelProc(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindTopLevel*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != find->pid) return TRUE;
  if (find->visibleOnly && !IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != find->className) return TRUE;
  find->found = window;
  return FALSE;
}

HWND FindWindowOf(DWORD pid, const std::wstring& className, bool visibleOnly) {
  FindTopLevel find{pid, className, visibleOnly};
  EnumWindows(FindTopLevelProc, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

bool SavePng(HBITMAP bitmap, const std::wstring& path) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    Gdiplus::Bitmap image(bitmap, nullptr);
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
      if (std::wstring(encoders[i].MimeType) == L"image/png") {
        saved = image.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
        break;
      }
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

// A bitmap of a part of the screen, for the caller to delete.
HBITMAP CopyScreen(const RECT& rect) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

std::wstring& ScreenshotFolder() {
  static std::wstring folder = Widen(ZV_SCREENS_DIR);
  return folder;
}

std::wstring ScreensFolder() {
  // The shell's call makes missing parents too, but only of a full path without a trailing "\".
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(ScreenshotFolder().c_str(), MAX_PATH, full, nullptr);
  std::wstring folder = full;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder + L"\\";
}

}  // namespace

void SetScreenshotFolder(const std::wstring& folder) { ScreenshotFolder() = folder; }

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  for (;;) {
    if (pred()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

zv::InfoFields Info(const std::string& name, const std::string& program, int number) {
  zv::InfoFields info;
  info.Number = number;
  info.Name = name;
  info.ProgramFile = program;
  info.Date = "2026-12-08";
  info.Version = "1.0.2";
  info.Description = "测试软件的说明";
  return info;
}

zv::Bytes RawFileList(const std::vector<Entry>& entries) {
  zv::Bytes list;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i) list += "\r\n";
    if (entries[i].folder) {
      list += "DIR";
    } else {
      for (int b = 0; b < 8; ++b) list += static_cast<char>((entries[i].time >> (8 * b)) & 0xFF);
    }
    list += entries[i].path;
  }
  return list;
}

zv::Bytes BuildPackage(const zv::InfoFields& info, const std::vector<Entry>& entries) {
  std::vector<zv::Bytes> blocks;
  for (const Entry& e : entries) {
    if (!e.folder) blocks.push_back(zv::EncodeBlock(e.content));
  }
  return BuildPackageFromBlocks(zv::EncodeBlock(zv::BuildInfoBlock(info)),
                                zv::EncodeBlock(RawFileList(entries)), blocks);
}

zv::Bytes BuildPackageFromBlocks(const zv::Bytes& infoBlock, const zv::Bytes& listBlock,
                                 const std::vector<zv::Bytes>& contentBlocks) {
  zv::Bytes out;
  zv::PackageWriter writer([&out](zv::ByteView bytes) {
    out.append(bytes);
    return true;
  });
  if (!writer.BeginBlocks(infoBlock, listBlock, contentBlocks.size())) throw std::runtime_error("BeginBlocks");
  for (const zv::Bytes& block : contentBlocks) {
    if (!writer.AddContent(block)) throw std::runtime_error("AddContent");
  }
  if (!writer.Finish()) throw std::runtime_error("Finish");
  return out;
}

zv::Bytes StubBytes() {
  static const zv::Bytes stub = ReadFileBytes(Widen(ZV_STUB_PATH));
  return stub;
}

std::wstring RecorderPath() { return Widen(ZV_RECORDER_PATH); }
std::wstring DpiProbePath() { return Widen(ZV_DPI_PROBE_PATH); }

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, path);
  return std::wstring(path) + L"\\";
}

std::wstring ScratchRoot() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring root = std::wstring(temp) + L"zve2e\\";
  CreateDirectoryW(root.c_str(), nullptr);
  return root;
}

std::wstring Scratch(const std::wstring& name) {
  const std::wstring folder = ScratchRoot() + name;
  RemoveTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

void WriteInstaller(const std::wstring& path, const zv::Bytes& package) {
  if (!WriteFileBytes(path, StubBytes() + package)) throw std::runtime_error("cannot write installer");
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::uint64_t LastWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) {
  std::wstring base = path;
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = base + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(base.c_str());
}

Installer::Installer(const std::wstring& exePath, const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring command = L"\"" + exePath + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  if (!CreateProcessW(exePath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    process_ = {};
  }
}

Installer::~Installer() {
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
}

HWND Installer::Form(int timeoutMs) {
  if (form_ && IsWindow(form_)) return form_;
  WaitUntil([&] {
    form_ = FindWindowOf(process_.dwProcessId, L"Zelv软件安装_Form1", true);
    return form_ != nullptr;
  }, timeoutMs);
  return form_;
}

HWND Installer::Item(int id) { return GetDlgItem(Form(), id); }

bool Installer::Visible(int id) {
  HWND item = Item(id);
  return item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE);
}

bool Installer::Enabled(int id) {
  HWND item = Item(id);
  return item && IsWindowEnabled(item);
}

std::wstring Installer::Text(int id) { return WindowTextOf(Item(id)); }

void Installer::SetText(int id, const std::wstring& text) {
  SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Installer::Checked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Installer::SetChecked(int id, bool checked) {
  SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Installer::Click(int id) { PostMessageW(Item(id), BM_CLICK, 0, 0); }

void Installer::PostToForm(UINT message, WPARAM wParam, LPARAM lParam) {
  PostMessageW(Form(), message, wParam, lParam);
}

std::wstring Installer::Title() { return WindowTextOf(Form()); }

int Installer::Page() {
  if (!Form(0)) return 0;
  if (Visible(kCheck1)) return 4;
  if (Visible(kProgress)) return 3;
  if (Visible(kFolder)) return 2;
  if (Visible(kNext) && !Visible(kBack) && !Visible(kBrowse)) return 1;
  return 0;
}

bool Installer::WaitForPage(int page, int timeoutMs) {
  const bool reached = WaitUntil([&] { return Page() == page; }, timeoutMs);
  if (reached) Sleep(300);  // let the page finish painting (the repaint timer is 33 ms)
  return reached;
}

bool Installer::GoToFolderPage(const std::wstring& folder) {
  if (!WaitForPage(1)) return false;
  Click(kNext);
  if (!WaitForPage(2)) return false;
  SetText(kFolder, folder);
  return true;
}

std::optional<MessageBoxView> Installer::WaitForMessageBox(int timeoutMs) {
  HWND box = nullptr;
  if (!WaitUntil([&] {
        box = FindWindowOf(process_.dwProcessId, L"#32770", true);
        return box != nullptr;
      }, timeoutMs)) {
    return std::nullopt;
  }
  Sleep(200);  // fully laid out and painted
  MessageBoxView view;
  view.window = box;
  view.caption = WindowTextOf(box);
  view.text = WindowTextOf(GetDlgItem(box, 0xFFFF));
  for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
    HWND button = GetDlgItem(box, id);
    if (button && (GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) view.defaultButton = id;
  }
  return view;
}

bool Installer::Answer(const MessageBoxView& box, int buttonId) {
  HWND button = GetDlgItem(box.window, buttonId);
  if (!button) return false;
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 10000);
}

std::optional<DWORD> Installer::WaitForExit(int timeoutMs) {
  if (!process_.hProcess) return std::nullopt;
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

HWND Installer::Focus() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(Form(0), nullptr);
  return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::optional<DWORD> Installer::RunInProcess(const std::wstring& dll, const char* function,
                                             DWORD argument) {
  // The same system DLLs sit at the same addresses in every process, and the DLL's own export at
  // the same offset from wherever it is loaded.
  HMODULE local = LoadLibraryW(dll.c_str());
  const auto export_ = local ? reinterpret_cast<std::uintptr_t>(GetProcAddress(local, function)) : 0;
  const auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  if (!export_ || !process_.hProcess) return std::nullopt;
  auto run = [&](LPTHREAD_START_ROUTINE start, void* parameter) -> std::optional<DWORD> {
    HANDLE thread = CreateRemoteThread(process_.hProcess, nullptr, 0, start, parameter, 0, nullptr);
    if (!thread) return std::nullopt;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(thread, 60000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return ended ? std::optional<DWORD>(code) : std::nullopt;
  };
  const size_t bytes = (dll.size() + 1) * sizeof(wchar_t);
  void* remotePath = VirtualAllocEx(process_.hProcess, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
  if (!remotePath || !WriteProcessMemory(process_.hProcess, remotePath, dll.c_str(), bytes, nullptr)) {
    return std::nullopt;
  }
  const std::optional<DWORD> remoteBase = run(loadLibrary, remotePath);  // a 32-bit process
  VirtualFreeEx(process_.hProcess, remotePath, 0, MEM_RELEASE);
  if (!remoteBase || *remoteBase == 0) return std::nullopt;
  const std::uintptr_t remoteExport = *remoteBase + (export_ - reinterpret_cast<std::uintptr_t>(local));
  return run(reinterpret_cast<LPTHREAD_START_ROUTINE>(remoteExport),
             reinterpret_cast<void*>(static_cast<std::uintptr_t>(argument)));
}

bool TypeKeys(const std::string& xdotoolArguments) {
  // The feeder watches a folder on the Linux side: a request is written whole under another
  // name and renamed, and the feeder renames it to .done once xdotool has run.
  static int gRequests = 0;
  const char* folder = std::getenv("ZV_E2E_KEYS");
  if (!folder) return false;
  std::wstring base = L"Z:" + Widen(folder);
  for (wchar_t& c : base) c = c == L'/' ? L'\\' : c;
  base += L"\\" + std::to_wstring(++gRequests);
  if (!WriteFileBytes(base + L".tmp", xdotoolArguments) ||
      !MoveFileW((base + L".tmp").c_str(), (base + L".req").c_str())) {
    return false;
  }
  const bool done = WaitUntil([&] { return Exists(base + L".done"); }, 30000);
  Sleep(300);  // the events reach the window through Wine's own queue
  return done;
}

bool Installer::Screenshot(const std::wstring& name, HWND window) {
  if (!window) window = Form(0);
  if (!window) return false;
  RECT rect{};
  GetWindowRect(window, &rect);
  HBITMAP bitmap = CopyScreen(rect);
  const bool saved = SavePng(bitmap, ScreensFolder() + name + L".png");
  DeleteObject(bitmap);
  return saved;
}

ScreenPixels ReadScreen(const RECT& rect) {
  ScreenPixels area;
  area.width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  area.pixels.resize(static_cast<size_t>(area.width) * height);
  HBITMAP bitmap = CopyScreen(rect);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = area.width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, height, area.pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  for (std::uint32_t& pixel : area.pixels) pixel &= 0xFFFFFF;
  return area;
}

}  // namespace e2e
