// Start-up steps around the package: the default parent folder and window title while Form1 is
// built, and the package information once the window is up.
#include <windows.h>

#include "app/fileops.h"
#include "app/installer_win.h"
#include "app/page_pictures.h"
#include "app/texts.h"
#include "package/format.h"
#include "package/names.h"
#include "package/stream_decode.h"
#include "ui/dialogs.h"
#include "ui/properties.h"

namespace zv {

constinit PackageInfo gPackageInfo;
constinit std::wstring gWelcomeName;
constinit std::wstring gDefaultFolder;
FilePackageSource gPackage;
constinit JoinableThread gIntegrityCheck;
constinit IntegrityLine gIntegrityLine;
Integrity gIntegrity = Integrity::NoKey;
std::string_view gPagePictures[3];

namespace {

std::wstring ParentFolderOn(const std::wstring& drive, bool chinese) {
  return Join({drive, L"\\", chinese ? text::kFolderChinese : text::kFolderOther, L"\\"});
}

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t buffer[260] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 260);
  return length > 0 && length < 260 ? std::wstring(buffer, length) : std::wstring();
}

void ShowWelcomePage(HWND form) {
  if (!form) return;  // an unattended install
  gWizardState = 1;
  ApplyWizardState();
  Refresh(form);
}

}  // namespace

void SetDefaultFolder() {
  const bool chinese = GetUserDefaultLangID() == 2052;
  std::wstring folder = ParentFolderOn(text::kDriveD, chinese);
  if (!MakeFolderTree(folder)) {
    folder = ParentFolderOn(EnvironmentValue(L"HOMEDRIVE"), chinese);
    MakeFolderTree(folder);
  }
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  gDefaultFolder = folder;

  SetWindowText(gForm1.window, text::kWindowTitle);

  gPagePictures[0] = kPagePicture1;
  gPagePictures[1] = kPagePicture2;
  gPagePictures[2] = kPagePicture3;
}

bool RefuseUnsafeInfo(HWND form, const PackageInfo& info) {
  if (FindInfoFault(info) == InfoFault::None) return false;
  Tell(form, text::kDataError, MB_ICONERROR, kExitPackage);
  return true;
}

void LoadPackageInfo(HWND form) {
  for (;;) {
    ShowWelcomePage(form);
    const std::wstring path = Join({gAppInfo.folder, gAppInfo.exeName});
    // Only the stub's image, the marker and the information block are read here: start-up
    // takes the same time for a package of any size.
    if (gPackage.Open(FromWide(path)) != FilePackageSource::Status::Ok) {
      const int answer =
          Tell(form, Join({path, text::kMissingPackageTail}), MB_RETRYCANCEL | MB_ICONERROR, kExitPackage, text::kAppTitle);
      if (answer == IDRETRY) continue;
      PostClose(form);
      return;
    }
    break;
  }
  Bytes buffer;
  if (!HasMagic(gPackage.Read(0, kMagic.size(), buffer))) {
    Tell(form, text::kNotOurPackage, MB_ICONERROR, kExitPackage);
    PostClose(form);
    return;
  }
  // Zeros a stream stands for at its end would only end its last line: they are not made.
  DecodeRecordText(gPackage, LocateRecord(gPackage, kFirstRecordOffset), buffer);
  PackageInfo info = ParseInfo(buffer);
  // Nothing is shown or written, and nothing of the package is kept for a later step to use.
  if (RefuseUnsafeInfo(form, info)) {
    PostClose(form);
    return;
  }
  gPackageInfo = std::move(info);
  gIntegrityLine = ReadIntegrityLine(buffer);
  if (gIntegrityLine.Present) {
    gIntegrityCheck.Start([](void*) { gIntegrity = CheckIntegrity(gPackage, gIntegrityLine); }, nullptr);
  }
  gWelcomeName = ToWide(gPackageInfo.DisplayName);
  ShowWelcomePage(form);
}

}  // namespace zv
