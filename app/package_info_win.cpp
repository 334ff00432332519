// Start-up steps around the package: the default parent folder and window title while Form1 is
// built, and the package information once the window is up.
#include <windows.h>

#include "app/fileops.h"
#include "base/file.h"
#include "app/installer_win.h"
#include "app/page_pictures.h"
#include "app/texts.h"
#include "ui/dialogs.h"
#include "ui/properties.h"

namespace zv {

PackageInfo gPackageInfo;
std::wstring gWelcomeName;
std::wstring gDefaultFolder;
Bytes gInstallerBytes;
ByteView gPackageBytes;
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

  const std::wstring title = Join({text::kTitleHead, DecimalText(gAppInfo.version[0]), L".", DecimalText(gAppInfo.version[1]),
                                   L".", DecimalText(gAppInfo.version[2]), text::kTitleTail});
  SetWindowText(gForm1.window, title);

  gPagePictures[0] = kPagePicture1;
  gPagePictures[1] = kPagePicture2;
  gPagePictures[2] = kPagePicture3;
}

void LoadPackageInfo(HWND form) {
  for (;;) {
    ShowWelcomePage(form);
    const std::wstring path = Join({gAppInfo.folder, gAppInfo.exeName});
    gInstallerBytes = ReadWholeFile(FromWide(path));
    const std::optional<ByteView> package = FindPackage(gInstallerBytes);
    if (!package) {
      const int answer = MessageBoxCaption(form, Join({path, text::kMissingPackageTail}), text::kAppTitle,
                                           MB_RETRYCANCEL | MB_ICONERROR);
      if (answer == IDRETRY) continue;
      PostClose(form);
      return;
    }
    gPackageBytes = *package;
    break;
  }
  if (!HasMagic(gPackageBytes)) {
    MessageBoxAppTitle(form, text::kNotOurPackage, MB_ICONERROR);
    PostClose(form);
    return;
  }
  const Record info = ReadRecord(gPackageBytes, kFirstRecordOffset);
  gPackageInfo = ParseInfo(DecodeBlock(info.Block));
  gWelcomeName = ToWide(gPackageInfo.DisplayName);
  ShowWelcomePage(form);
}

}  // namespace zv
