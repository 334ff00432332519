// The application record and the process entry.
#include <windows.h>

#include "app/install_rules.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "package/package.h"
#include "ui/dialogs.h"

namespace zv {

AppInfo gAppInfo;

void InitAppInfo() {
  gAppInfo.instance = GetModuleHandleW(nullptr);
  gAppInfo.title = text::kAppTitle;
  gAppInfo.version[0] = 3;
  gAppInfo.version[1] = 1;
  gAppInfo.version[2] = 3;
  gAppInfo.version[3] = 75;
  wchar_t path[260] = {};
  const DWORD length = GetModuleFileNameW(gAppInfo.instance, path, 260);
  const ModulePath parts = SplitModulePath(FromWide(std::wstring(path, length < 260 ? length : 259)));
  gAppInfo.folder = ToWide(parts.folder);
  gAppInfo.exeName = ToWide(parts.name);
  SetApplicationTitle(gAppInfo.title);
}

}  // namespace zv
