// A small program packed into test installers: started by the finish page, it records where it
// runs (its current folder, its own path and the process that started it) so the test can
// check the program start.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t current[MAX_PATH] = {};
  wchar_t self[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t log[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, log);
  const std::wstring path = std::wstring(log) + L"zve2e\\recorder.txt";
  // And who started it: the installer itself, or the desktop's shell on its behalf.
  DWORD parent = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  const std::wstring line = std::wstring(current) + L"\n" + self + L"\n" + std::to_wstring(parent) + L"\n";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
  return 0;
}
