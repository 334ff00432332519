// Test helpers that need the system's own calls: Windows side.
#include <windows.h>

#include <stdexcept>

#include "tests/zvpack/support.h"
#include "win/handles.h"

namespace zv::pack::test {
namespace {

std::wstring Wide(const std::string& utf8) { return FsPath(utf8).wstring(); }

FileHandle OpenForTimes(const std::string& path, DWORD access) {
  return FileHandle(::CreateFileW(Wide(path).c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// A command line argument quoted the way CommandLineToArgvW reads it back.
std::wstring Quote(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

void SetLastWrite(const std::string& path, std::uint64_t fileTime) {
  FileHandle file = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
  const FILETIME time{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  if (!file || !::SetFileTime(file.get(), nullptr, nullptr, &time)) {
    throw std::runtime_error("cannot set the time of " + path);
  }
}

std::uint64_t LastWrite(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    throw std::runtime_error("cannot read the time of " + path);
  }
  return (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

RunResult RunBinary(const std::vector<std::string>& args) {
  std::wstring program = Wide(ZVPACK_BINARY);
  for (wchar_t& c : program) {
    if (c == L'/') c = L'\\';
  }
  std::wstring commandLine = Quote(program);
  for (const std::string& arg : args) commandLine += L" " + Quote(Wide(arg));

  wchar_t folder[MAX_PATH];
  ::GetTempPathW(MAX_PATH, folder);
  const std::wstring outName = std::wstring(folder) + L"zvpack-run-" +
                               std::to_wstring(::GetCurrentProcessId()) + L".out";
  const std::wstring errName = outName.substr(0, outName.size() - 3) + L"err";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  RunResult result;
  {
    FileHandle out(::CreateFileW(outName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    FileHandle err(::CreateFileW(errName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &process)) {
      throw std::runtime_error("cannot start zvpack.exe");
    }
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = static_cast<int>(code);
  }
  const auto utf8 = [](const std::wstring& name) {
    const std::filesystem::path path(name);
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
  };
  result.out = ReadBytes(utf8(outName));
  result.err = ReadBytes(utf8(errName));
  ::DeleteFileW(outName.c_str());
  ::DeleteFileW(errName.c_str());
  return result;
}

}  // namespace zv::pack::test
