// The finish page's action: the desktop shortcut and the program start.
#include <windows.h>
#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include "app/fileops.h"
#include "app/install_rules.h"
#include "app/installer_win.h"
#include "ui/properties.h"

namespace zv {

namespace {

// The Windows Script Host shell object and its scripting interface. Both it and the shortcut
// object it creates are automation objects, so they are driven through IDispatch by name.
constexpr CLSID kClsidWshShell = {0x72C24DD5, 0xD70A, 0x438B, {0x8A, 0x42, 0x98, 0x42, 0x4B, 0x88, 0xAF, 0xB8}};
constexpr IID kIidIWshShell = {0xF935DC21, 0x1CF0, 0x11D0, {0xAD, 0xB9, 0x00, 0xC0, 0x4F, 0xD5, 0x8A, 0x0B}};

using DispatchPtr = ComPtr<IDispatch>;

struct BstrTraits : Win32Release {
  using Value = BSTR;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { SysFreeString(v); }
};
using Bstr = Owned<BstrTraits>;

// Calls a method or puts a property by name; the arguments are given in order.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
                     VARIANT* result) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  // IDispatch takes its arguments last first.
  VARIANT reversed[2];
  for (UINT i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed, (flags & DISPATCH_PROPERTYPUT) ? &named : nullptr, count,
                    (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

void PutText(IDispatch* object, const wchar_t* property, const std::wstring& value) {
  Bstr text(SysAllocStringLen(value.data(), static_cast<UINT>(value.size())));
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = text.get();
  InvokeByName(object, property, DISPATCH_PROPERTYPUT, &arg, 1, nullptr);
}

// A BSTR variant that borrows its text: it lives no longer than the text.
VARIANT TextArgument(BSTR text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text;
  return v;
}

// Starts the program as the signed-in user: the installer runs elevated, and a program it
// started itself would too (its files owned by the administrators, no drag and drop from the
// shell, no mapped drives). The desktop's shell process runs with the user's own rights, so the
// program is handed to it: the shell's windows, the desktop's view, its application object and
// that one's ShellExecute. False when any step is missing (no shell, a service session): the
// caller then starts the program itself.
bool StartThroughShell(const std::wstring& program, const std::wstring& folder) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              reinterpret_cast<void**>(windows.put())))) {
    return false;
  }
  VARIANT desktop;
  VariantInit(&desktop);
  desktop.vt = VT_I4;
  desktop.lVal = CSIDL_DESKTOP;
  VARIANT empty;
  VariantInit(&empty);
  LONG window = 0;
  ComPtr<IDispatch> found;
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (windows.get()->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                  found.put()) != S_OK ||
      !found ||
      FAILED(found.get()->QueryInterface(IID_IServiceProvider,
                                         reinterpret_cast<void**>(services.put()))) ||
      FAILED(services.get()->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                          reinterpret_cast<void**>(browser.put()))) ||
      FAILED(browser.get()->QueryActiveShellView(view.put())) ||
      FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                       reinterpret_cast<void**>(background.put()))) ||
      FAILED(background.get()->QueryInterface(IID_IShellFolderViewDual,
                                              reinterpret_cast<void**>(folderView.put()))) ||
      FAILED(folderView.get()->get_Application(application.put())) || !application ||
      FAILED(application.get()->QueryInterface(IID_IShellDispatch2,
                                               reinterpret_cast<void**>(shell.put())))) {
    return false;
  }
  Bstr file(SysAllocStringLen(program.data(), static_cast<UINT>(program.size())));
  Bstr directory(SysAllocStringLen(folder.data(), static_cast<UINT>(folder.size())));
  Bstr verb(SysAllocStringLen(L"open", 4));
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell.get()->ShellExecute(file.get(), empty, TextArgument(directory.get()),
                                             TextArgument(verb.get()), show));
}

}  // namespace

void CreateDesktopShortcut(const std::wstring& linkPath, const std::wstring& target,
                           const std::wstring& workingFolder, const std::wstring& description) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const bool uninitialize = init == S_OK || init == S_FALSE;
  {
    DispatchPtr shortcut;
    {
      DispatchPtr shell;
      if (SUCCEEDED(CoCreateInstance(kClsidWshShell, nullptr, CLSCTX_INPROC_SERVER, kIidIWshShell,
                                     reinterpret_cast<void**>(shell.put())))) {
        Bstr path(SysAllocStringLen(linkPath.data(), static_cast<UINT>(linkPath.size())));
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_BSTR;
        arg.bstrVal = path.get();
        VARIANT created;
        VariantInit(&created);
        if (SUCCEEDED(InvokeByName(shell.get(), L"CreateShortcut", DISPATCH_METHOD, &arg, 1, &created)) &&
            created.vt == VT_DISPATCH) {
          shortcut.reset(created.pdispVal);  // takes the reference the call returned
        } else {
          VariantClear(&created);
        }
      }
    }
    if (shortcut) {
      PutText(shortcut.get(), L"Description", description);
      PutText(shortcut.get(), L"WorkingDirectory", workingFolder);
      PutText(shortcut.get(), L"TargetPath", target);
      VARIANT style;
      VariantInit(&style);
      style.vt = VT_I4;
      style.lVal = 1;  // normal window
      InvokeByName(shortcut.get(), L"WindowStyle", DISPATCH_PROPERTYPUT, &style, 1, nullptr);
      InvokeByName(shortcut.get(), L"Save", DISPATCH_METHOD, nullptr, 0, nullptr);
    }
  }
  if (uninitialize) CoUninitialize();
}

void FinishInstall(bool shortcut, bool run) {
  // Checked again right where it acts, whatever led here: the link is one plain name in the
  // desktop folder, and the program lies inside the folder the files went into.
  if (RefuseUnsafeInfo(gForm1.window, gPackageInfo)) return;
  const std::wstring& folder = gTargetFolder;
  const std::wstring program = Join({folder, gPackageInfo.ProgramFile});
  if (shortcut) {
    wchar_t desktop[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, desktop);
    // Without the desktop's path there is no link: an empty one would put it at the drive's root.
    if (desktop[0]) {
      const std::wstring link = Join({WithTrailingSeparator(desktop), gPackageInfo.DisplayName, L".lnk"});
      CreateDesktopShortcut(link, program, folder, gPackageInfo.Description);
    }
  }
  if (run) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool started = StartThroughShell(program, folder);
    if (init == S_OK || init == S_FALSE) CoUninitialize();
    if (!started) {
      ChangeCurrentFolder(folder);
      ShellExecuteW(nullptr, L"open", program.c_str(), L"", nullptr, SW_SHOWNORMAL);
    }
  }
}

void FinishAction() {
  const bool desktop = GetCheck(gForm1.check2);
  const bool run = GetCheck(gForm1.check1);
  ShowForm(gForm1.window, false);
  FinishInstall(desktop, run);
  PostClose(gForm1.window);
}

}  // namespace zv
