// The wizard for people who do not use a mouse or a screen, and for a window that moves to a
// screen of another scale: keyboard alone (real key events through the X server), what an
// accessibility client reads, and a change of DPI while the installer runs.
#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace e2e {
namespace {

constexpr std::uint64_t kTime = 133000000000000000ull;

std::vector<Entry> SampleTree() {
  return {
      {"app.exe", ReadFileBytes(RecorderPath()), kTime},
      {"docs", "", 0, true},
      {"docs\\readme.txt", "Hello.\r\n", kTime},
      {"empty.txt", "", kTime},
  };
}

std::wstring Installer(const std::wstring& name, const std::string& display) {
  const std::wstring path = ScratchRoot() + name + L".exe";
  WriteInstaller(path, BuildPackage(Info(display, "app.exe"), SampleTree()));
  return path;
}

bool IsDefaultButton(HWND button) {
  return (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// Key events go to the active window, as they would for a person who has just started the
// installer: its window is brought to the front (earlier tests may have left another window
// there), and the pointer rests on the screen's one X window, which passes the keys to Wine.
bool ReadyForKeys(e2e::Installer& setup) {
  if (!TypeKeys("mousemove 5 5")) return false;
  if (GetForegroundWindow() != setup.Form()) SetForegroundWindow(setup.Form());
  return WaitUntil([&] { return GetForegroundWindow() == setup.Form(); }, 10000);
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c);  // ASCII paths only
  return out;
}

// ---- keyboard ----

TEST(Keyboard, InstallsTheSampleWithTheKeyboardAlone) {
  const std::wstring exe = Installer(L"keys", "Keys");
  const std::wstring target = Scratch(L"keys-target") + L"Keys";
  const std::wstring link = DesktopFolder() + L"Keys.lnk";
  DeleteFileW(link.c_str());
  DeleteFileW((ScratchRoot() + L"recorder.txt").c_str());
  e2e::Installer setup(exe);
  ASSERT_TRUE(setup.WaitForPage(1));
  ASSERT_TRUE(ReadyForKeys(setup)) << "no key feeder (tests/e2e/run-e2e starts it), or no window to type into";

  // Welcome page: the focus is on Next, which is the default button; Enter goes on.
  EXPECT_EQ(setup.Focus(), setup.Item(kNext));
  EXPECT_TRUE(IsDefaultButton(setup.Item(kNext)));
  EXPECT_EQ(SendMessageW(setup.Form(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0) << "focus drawn";
  ASSERT_TRUE(TypeKeys("key Return"));
  ASSERT_TRUE(setup.WaitForPage(2)) << "active window " << GetForegroundWindow() << ", the installer's "
                                    << setup.Form() << ", focus " << setup.Focus();
  EXPECT_EQ(setup.Focus(), setup.Item(kNext));

  // Alt + the underlined letters: Back (F), then Next (H).
  ASSERT_TRUE(TypeKeys("key alt+f"));
  ASSERT_TRUE(setup.WaitForPage(1));
  ASSERT_TRUE(TypeKeys("key alt+h"));
  ASSERT_TRUE(setup.WaitForPage(2));

  // Back to the folder box (Cancel, Back, the box), its text selected: typed over; Enter in it
  // is Next.
  ASSERT_TRUE(TypeKeys("key shift+Tab"));
  EXPECT_EQ(setup.Focus(), setup.Item(kCancel));
  // On a push button Enter presses that button, which is drawn as the default meanwhile.
  EXPECT_TRUE(IsDefaultButton(setup.Item(kCancel)));
  EXPECT_FALSE(IsDefaultButton(setup.Item(kNext)));
  ASSERT_TRUE(TypeKeys("key shift+Tab shift+Tab"));
  EXPECT_EQ(setup.Focus(), setup.Item(kFolder));
  ASSERT_TRUE(TypeKeys("type --delay 30 " + Narrow(target)));
  EXPECT_EQ(setup.Text(kFolder), target);
  EXPECT_TRUE(IsDefaultButton(setup.Item(kNext)));
  ASSERT_TRUE(TypeKeys("key Return"));
  ASSERT_TRUE(setup.WaitForPage(4, 120000));

  // Finish page: the focus on 完成; Tab to each check box and Space toggles it.
  EXPECT_EQ(setup.Focus(), setup.Item(kNext));
  ASSERT_TRUE(TypeKeys("key Tab"));
  EXPECT_EQ(setup.Focus(), setup.Item(kCheck2));
  EXPECT_FALSE(IsDefaultButton(setup.Item(kCheck2)));
  ASSERT_TRUE(TypeKeys("key space"));
  EXPECT_FALSE(setup.Checked(kCheck2));
  ASSERT_TRUE(TypeKeys("key Tab space space"));
  EXPECT_EQ(setup.Focus(), setup.Item(kCheck1));
  EXPECT_TRUE(setup.Checked(kCheck1));
  // Tab to Cancel makes it the default for the moment; Tab on leaves it to 完成 again.
  ASSERT_TRUE(TypeKeys("key Tab"));
  EXPECT_TRUE(IsDefaultButton(setup.Item(kCancel)));
  EXPECT_FALSE(IsDefaultButton(setup.Item(kNext)));
  ASSERT_TRUE(TypeKeys("key Tab"));
  EXPECT_EQ(setup.Focus(), setup.Item(kNext));
  EXPECT_TRUE(IsDefaultButton(setup.Item(kNext)));
  ASSERT_TRUE(TypeKeys("key Return"));

  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFileBytes(target + L"\\docs\\readme.txt"), "Hello.\r\n");
  EXPECT_TRUE(WaitUntil([] { return Exists(ScratchRoot() + L"recorder.txt"); }, 30000))
      << "the program was started";
  EXPECT_FALSE(Exists(link)) << "the shortcut box was cleared with Space";
}

TEST(Keyboard, EscapeCancelsWhereCancelIsShown) {
  const std::wstring exe = Installer(L"escape", "Escape");
  e2e::Installer setup(exe);
  ASSERT_TRUE(setup.WaitForPage(1));
  ASSERT_TRUE(ReadyForKeys(setup));
  ASSERT_TRUE(TypeKeys("key Return"));
  ASSERT_TRUE(setup.WaitForPage(2));
  ASSERT_TRUE(TypeKeys("key Escape"));
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

// ---- accessibility ----

struct Child {
  bool text = false;  // a painted text (a simple element), else a window's object
  std::wstring name;
  long role = 0;
};

// The children of the window's client object, as a screen reader walks them.
std::vector<Child> ReadClient(HWND form) {
  std::vector<Child> children;
  IAccessible* client = nullptr;
  if (FAILED(AccessibleObjectFromWindow(form, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&client)))) {
    return children;
  }
  long count = 0;
  client->get_accChildCount(&count);
  std::vector<VARIANT> got(static_cast<size_t>(count));
  long obtained = 0;
  AccessibleChildren(client, 0, count, got.data(), &obtained);
  for (long i = 0; i < obtained; ++i) {
    Child child;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    IAccessible* object = nullptr;
    VARIANT id = self;
    if (got[i].vt == VT_DISPATCH && got[i].pdispVal) {
      got[i].pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&object));
    } else if (got[i].vt == VT_I4) {
      child.text = true;
      id = got[i];
      object = client;
      object->AddRef();
    }
    if (object) {
      BSTR name = nullptr;
      if (object->get_accName(id, &name) == S_OK && name) child.name = name;
      SysFreeString(name);
      VARIANT role;
      VariantInit(&role);
      if (SUCCEEDED(object->get_accRole(id, &role)) && role.vt == VT_I4) child.role = role.lVal;
      object->Release();
    }
    VariantClear(&got[i]);
    children.push_back(child);
  }
  client->Release();
  return children;
}

void ExpectTexts(const std::vector<Child>& children, const std::vector<std::wstring>& texts,
                 const std::vector<std::wstring>& windows) {
  ASSERT_EQ(children.size(), texts.size() + windows.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_TRUE(children[i].text) << i;
    EXPECT_EQ(children[i].role, ROLE_SYSTEM_STATICTEXT) << i;
    EXPECT_EQ(children[i].name, texts[i]) << i;
  }
  for (size_t i = 0; i < windows.size(); ++i) {
    const Child& c = children[texts.size() + i];
    EXPECT_FALSE(c.text) << i;
    EXPECT_EQ(c.name, windows[i]) << i;
  }
}

const std::wstring kHeaderStudio = L"Zelv软件开发小组";

TEST(Accessibility, ClientAreaReadsThePageTextsAndControlsInOrder) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring exe = Installer(L"reader", "Reader");
  const std::wstring target = Scratch(L"reader-target") + L"Reader";
  e2e::Installer setup(exe);
  ASSERT_TRUE(setup.WaitForPage(1));
  std::vector<Child> page = ReadClient(setup.Form());
  ASSERT_GE(page.size(), 10u);
  ExpectTexts(page,
              {L"欢迎您使用Zelv软件，即将安装以下软件", L"Reader", page[2].name,
               L"这个向导将指引你完成本软件的安装进程。", L"单击 【下一步】 继续。", L"Zelv软件",
               L"绝对保证无毒无害无污染", L"欢迎安装Zelv软件开发小组制作的软件"},
              {L"取消(C)", L"下一步(H)"});  // a control's name drops the "&" of its mnemonic
  EXPECT_NE(page[2].name.find(L"版本"), std::wstring::npos) << "the version line";

  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(2));
  setup.SetText(kFolder, target);
  page = ReadClient(setup.Form());
  ASSERT_GE(page.size(), 5u);
  EXPECT_EQ(page[0].name, L"选择安装位置");
  EXPECT_EQ(page[1].name, kHeaderStudio);
  EXPECT_EQ(page[3].name, L"选择“Reader”的安装文件夹");
  bool frame = false;
  for (const Child& c : page) frame = frame || (c.text && c.name == L"选择目标文件夹");
  EXPECT_TRUE(frame) << "the frame's caption";
  EXPECT_EQ(page.back().name, L"下一步(H)");

  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 120000));
  page = ReadClient(setup.Form());
  ASSERT_GE(page.size(), 4u);
  EXPECT_EQ(page[0].name, L"安装选项");
  bool finishTexts = false, start = false, shortcut = false;
  for (const Child& c : page) {
    finishTexts = finishTexts || (c.text && c.name == L"请选择你要执行的操作");
    start = start || (!c.text && c.name == L"完成后立即启动软件");
    shortcut = shortcut || (!c.text && c.name == L"在桌面添加快捷方式");
  }
  EXPECT_TRUE(finishTexts);
  EXPECT_TRUE(start);
  EXPECT_TRUE(shortcut);
  EXPECT_EQ(page.back().name, L"完成");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  CoUninitialize();
}

// The names of the texts that change during extraction, as the events announce them.
std::vector<std::wstring> gAnnounced;
int gValueChanges = 0;
DWORD gInstallerPid = 0;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG objectId, LONG child, DWORD, DWORD) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != gInstallerPid) return;
  if (event == EVENT_OBJECT_VALUECHANGE) {
    ++gValueChanges;
    return;
  }
  IAccessible* object = nullptr;
  VARIANT id;
  VariantInit(&id);
  if (AccessibleObjectFromEvent(window, static_cast<DWORD>(objectId), static_cast<DWORD>(child), &object, &id) != S_OK) {
    return;
  }
  BSTR name = nullptr;
  if (object->get_accName(id, &name) == S_OK && name) gAnnounced.push_back(name);
  SysFreeString(name);
  object->Release();
}

TEST(Accessibility, ExtractionAnnouncesTheFileAndTheProgress) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<Entry> entries = SampleTree();
  // Files that take a while each (data that does not compress), so that the client reads the
  // label while it still shows the file the event was about.
  std::string noise(3 * 1024 * 1024, '\0');
  unsigned seed = 1;
  for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  for (int i = 0; i < 8; ++i) {
    noise[0] = static_cast<char>(i);
    entries.push_back({"file" + std::to_string(i) + ".dat", noise, kTime});
  }
  const std::wstring exe = ScratchRoot() + L"announce.exe";
  WriteInstaller(exe, BuildPackage(Info("Announce", "app.exe"), entries));
  e2e::Installer setup(exe);
  gInstallerPid = setup.ProcessId();
  ASSERT_TRUE(setup.GoToFolderPage(Scratch(L"announce-target") + L"Announce"));
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                       OnEvent, gInstallerPid, 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_TRUE(hook);
  setup.Click(kNext);
  // Events out of context arrive as messages to this thread.
  WaitUntil([&] {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    return setup.Page() == 4;
  }, 120000);
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  UnhookWinEvent(hook);
  bool file = false;
  for (const std::wstring& name : gAnnounced) file = file || name.find(L".dat") != std::wstring::npos;
  EXPECT_TRUE(file) << gAnnounced.size() << " names announced";
  EXPECT_GT(gValueChanges, 0);
  // At most once a repaint: far fewer announcements than files and progress steps.
  EXPECT_LE(gAnnounced.size(), entries.size() + 2);
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  CoUninitialize();
}


// ---- a change of screen ----

// The DPI Wine gives processes started from now on.
void SetScreenDpi(DWORD dpi) {
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
}

struct ScreenDpiBack {
  ~ScreenDpiBack() { SetScreenDpi(96); }
};

// What a page looks like: the visible controls' rectangles in client coordinates, and the
// client area's pixels.
struct Look {
  std::vector<std::pair<int, RECT>> controls;
  ScreenPixels client;
  int height = 0;
};

Look Capture(e2e::Installer& setup) {
  Sleep(500);  // the change's repaint
  Look look;
  HWND form = setup.Form();
  for (int id : {kCheck2, kCheck1, kBrowse, kFolder, kProgress, kBack, kCancel, kNext}) {
    HWND item = setup.Item(id);
    if (!item || !IsWindowVisible(item)) continue;
    RECT r{};
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    look.controls.push_back({id, r});
  }
  RECT client{};
  GetClientRect(form, &client);
  MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&client), 2);
  look.height = client.bottom - client.top;
  look.client = ReadScreen(client);
  return look;
}

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// The same controls within two pixels, and the painted page the same outside them (the part of
// the client area both have: the window frame is the system's, drawn at the screen's own scale).
void ExpectSameLook(const Look& moved, const Look& started, const char* what) {
  ASSERT_EQ(moved.controls.size(), started.controls.size()) << what;
  for (size_t i = 0; i < moved.controls.size(); ++i) {
    const RECT& a = moved.controls[i].second;
    const RECT& b = started.controls[i].second;
    EXPECT_EQ(moved.controls[i].first, started.controls[i].first) << what;
    EXPECT_LE(std::abs(a.left - b.left), 2) << what << " control " << moved.controls[i].first;
    EXPECT_LE(std::abs(a.top - b.top), 2) << what << " control " << moved.controls[i].first;
    EXPECT_LE(std::abs(a.right - b.right), 2) << what << " control " << moved.controls[i].first;
    EXPECT_LE(std::abs(a.bottom - b.bottom), 2) << what << " control " << moved.controls[i].first;
  }
  const int width = std::min(moved.client.width, started.client.width);
  const int height = std::min(moved.height, started.height);
  EXPECT_LE(std::abs(moved.client.width - started.client.width), 4) << what;
  int compared = 0, different = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bool onControl = false;
      for (const auto& [id, r] : started.controls) {
        onControl = onControl || (x >= r.left - 2 && x < r.right + 2 && y >= r.top - 2 && y < r.bottom + 2);
      }
      if (onControl) continue;
      ++compared;
      const std::uint32_t a = moved.client.At(x, y), b = started.client.At(x, y);
      for (int shift : {0, 8, 16}) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > 48) {
          ++different;
          break;
        }
      }
    }
  }
  ASSERT_GT(compared, 0) << what;
  // The pictures and texts at the new size: all but a sliver of the page is the same.
  EXPECT_LE(different * 100, compared) << what << ": " << different << " of " << compared << " pixels differ";
}

// Screenshots of the folder page (where the installer stands) and of the two pages after it.
void ShootTheLastPages(e2e::Installer& setup, const std::wstring& prefix) {
  setup.Screenshot(prefix + L"-page2-folder");
  setup.Click(kNext);
  if (setup.WaitForPage(3)) setup.Screenshot(prefix + L"-page3-extracting");
  ASSERT_TRUE(setup.WaitForPage(4, 120000));
  setup.Screenshot(prefix + L"-page4-finish");
}

TEST(Dpi, AChangeOfScreenLooksLikeAStartAtThatDpi) {
  ScreenDpiBack back;
  const std::wstring exe = Installer(L"dpi-change", "Dpi");
  std::vector<std::pair<Look, Look>> started;  // welcome and folder page, at 144 and at 192
  for (DWORD dpi : {144u, 192u}) {
    SetScreenDpi(dpi);
    e2e::Installer setup(exe);
    ASSERT_TRUE(setup.WaitForPage(1));
    RECT window{};
    GetWindowRect(setup.Form(), &window);
    ASSERT_EQ(window.right - window.left, static_cast<LONG>(std::nearbyint(451.0 * dpi / 96.0)))
        << "an installer started at " << dpi << " DPI";
    const Look welcome = Capture(setup);
    if (dpi == 192) setup.Screenshot(L"dpi192-page1-welcome");
    setup.Click(kNext);
    ASSERT_TRUE(setup.WaitForPage(2));
    setup.SetText(kFolder, Scratch(L"dpi-192") + L"Dpi");
    const Look folder = Capture(setup);
    started.push_back({welcome, folder});
    if (dpi == 192) ShootTheLastPages(setup, L"dpi192");
    setup.Click(kCancel);
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  }
  SetScreenDpi(96);

  e2e::Installer setup(exe);
  ASSERT_TRUE(setup.WaitForPage(1));
  const Look welcome96 = Capture(setup);
  const DWORD order[] = {144, 192, 96};
  for (size_t i = 0; i < 3; ++i) {
    const DWORD dpi = order[i];
    ASSERT_EQ(setup.RunInProcess(DpiProbePath(), "DeliverDpi", dpi), std::optional<DWORD>(2));
    const std::string what = "welcome page at " + std::to_string(dpi);
    ExpectSameLook(Capture(setup), dpi == 96 ? welcome96 : started[i].first, what.c_str());
    if (dpi == 96) break;
    setup.Click(kNext);
    ASSERT_TRUE(setup.WaitForPage(2));
    setup.SetText(kFolder, Scratch(L"dpi-192") + L"Dpi");
    const std::string folderWhat = "folder page at " + std::to_string(dpi);
    ExpectSameLook(Capture(setup), started[i].second, folderWhat.c_str());
    setup.Click(kBack);
    ASSERT_TRUE(setup.WaitForPage(1));
  }

  // Every page after a change from 96 to 144 DPI, for the documentation.
  ASSERT_EQ(setup.RunInProcess(DpiProbePath(), "DeliverDpi", 144), std::optional<DWORD>(2));
  Sleep(500);
  setup.Screenshot(L"dpi96to144-page1-welcome");
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(2));
  setup.SetText(kFolder, Scratch(L"dpi-change-target") + L"Dpi");
  ShootTheLastPages(setup, L"dpi96to144");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
