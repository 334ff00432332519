// The application record.
#include <windows.h>

#include "app/install_rules.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "generated/version.h"
#include "ui/dialogs.h"

namespace zv {

AppInfo gAppInfo;

void InitAppInfo() {
  gAppInfo.instance = GetModuleHandleW(nullptr);
  gAppInfo.title = text::kAppTitle;
  gAppInfo.version[0] = ZV_VERSION_MAJOR;
  gAppInfo.version[1] = ZV_VERSION_MINOR;
  gAppInfo.version[2] = ZV_VERSION_PATCH;
  gAppInfo.version[3] = ZV_VERSION_TWEAK;
  wchar_t path[260] = {};
  const DWORD length = GetModuleFileNameW(gAppInfo.instance, path, 260);
  const ModulePath parts = SplitModulePath(FromWide(std::wstring(path, length < 260 ? length : 259)));
  gAppInfo.folder = ToWide(parts.folder);
  gAppInfo.exeName = ToWide(parts.name);
  SetApplicationTitle(gAppInfo.title);
}

}  // namespace zv
