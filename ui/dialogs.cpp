// Message boxes with the application's captions, and the shell's folder picker.

#include "ui/dialogs.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>

namespace zv {
namespace {

constexpr size_t kTitleMax = 99;
constexpr size_t kCaptionBuffer = 200;
constexpr size_t kPathMax = MAX_PATH - 1;  // 259 characters
// BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS | BIF_EDITBOX |
// BIF_NEWDIALOGSTYLE
constexpr UINT kBrowseFlags = 0x5B;

std::wstring gApplicationTitle;
std::atomic<int> gDialogsUp{0};

// Counts a box or picker as up for as long as it lives.
struct DialogUp {
  DialogUp() { ++gDialogsUp; }
  ~DialogUp() { --gDialogsUp; }
  DialogUp(const DialogUp&) = delete;
  DialogUp& operator=(const DialogUp&) = delete;
};

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
  DialogUp up;
  return ::MessageBoxW(owner, text, caption, flags);
}

// A path the installer can use: a drive letter followed by ":" ("C:\..."). Network paths and
// virtual folders have none.
bool HasDrivePath(const wchar_t* path) { return path[0] != L'\0' && path[1] == L':'; }

// The file-system path of a shell item into `path`; false (and an empty path) when it has none.
bool PathOfItem(PCIDLIST_ABSOLUTE item, wchar_t (&path)[MAX_PATH]) {
  path[0] = L'\0';
  if (item && ::SHGetPathFromIDListW(item, path)) return true;
  path[0] = L'\0';
  return false;
}

// Apartment-threaded COM for the duration of a call, balanced only when this call started it
// (or added a reference to it); a thread that already runs another model is left as it is.
class ComApartment {
 public:
  ComApartment() noexcept : started_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (started_) ::CoUninitialize();
  }

 private:
  bool started_;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) noexcept {
  if (message == BFFM_INITIALIZED) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH];
    if (!PathOfItem(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path) || !HasDrivePath(path)) {
      ::SendMessageW(dialog, BFFM_ENABLEOK, 0, 0);
    }
  }
  return 0;
}

}  // namespace

void SetApplicationTitle(const std::wstring& title) {
  gApplicationTitle = title.substr(0, kTitleMax);
}

const std::wstring& ApplicationTitle() { return gApplicationTitle; }

bool IsDialogUp() { return gDialogsUp > 0; }

int MessageBoxCaption(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
  return ShowMessageBox(owner, text.c_str(), caption.c_str(), flags);
}

int MessageBoxAppTitle(HWND owner, const std::wstring& text, UINT flags) {
  wchar_t caption[kCaptionBuffer] = {};
  const size_t length = std::min(gApplicationTitle.size(), kCaptionBuffer - 1);
  std::copy_n(gApplicationTitle.data(), length, caption);
  return ShowMessageBox(owner, text.c_str(), caption, flags);
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initialFolder) {
  std::wstring initial = initialFolder.substr(0, kPathMax);
  if (initial.empty()) {
    wchar_t current[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, current);
    if (length > 0 && length < MAX_PATH) initial = current;
  }
  // One trailing separator goes, except after a drive ("D:\"), where "D:" alone would name the
  // drive's current folder rather than its root.
  if (!initial.empty() && initial.back() == L'\\' && !(initial.size() == 3 && initial[1] == L':')) {
    initial.pop_back();
  }

  // The new dialog style hosts shell views that need an apartment-threaded COM.
  ComApartment com;
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = kBrowseFlags;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(initial.c_str());
  PIDLIST_ABSOLUTE chosen;
  {
    DialogUp up;
    chosen = ::SHBrowseForFolderW(&info);
  }
  if (!chosen) return {};
  wchar_t path[MAX_PATH];
  const bool converted = PathOfItem(chosen, path);
  ::CoTaskMemFree(chosen);
  // A path typed into the edit box bypasses the selection rule; the result obeys it too.
  if (!converted || !HasDrivePath(path)) return {};
  return path;
}

}  // namespace zv
