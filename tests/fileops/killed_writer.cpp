// Writes into a folder as the installer does and stops half way, to be killed there by the
// test: one file whole (stamped with TIME, a FILETIME as a number), then a file new to the folder
// and a file replacing another (FOLDER\sub\old.txt), each half written and still open. Then it
// sets the event named on its command line and waits.
//   fileops_killed_writer FOLDER EVENT TIME
#include <windows.h>

#include <cwchar>
#include <string>

#include "app/fileops.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring folder = argv[1];
  const unsigned long long ticks = std::wcstoull(argv[3], nullptr, 10);
  const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  if (zv::WriteFileWithTime(folder + L"\\whole.txt", "whole", time) != zv::kWriteOk) return 1;
  zv::PartialFile fresh;
  zv::PartialFile replacement;
  if (!zv::BeginPartialFile(folder + L"\\new.txt", fresh) || !zv::AppendPartialFile(fresh, "half of ")) return 1;
  if (!zv::BeginPartialFile(folder + L"\\sub\\old.txt", replacement) || !zv::AppendPartialFile(replacement, "half of ")) {
    return 1;
  }
  zv::KernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
  if (!ready || !::SetEvent(ready.get())) return 1;
  ::Sleep(INFINITE);
  return 0;
}
