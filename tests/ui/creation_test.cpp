// Window classes, control creation from keywords, DPI scaling, fonts and the lifetime of the
// per-window records.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cwctype>
#include <memory>
#include <sstream>

#include "tests/ui/support.h"

using namespace zv;
using zvtest::CreationSpy;
using zvtest::TestForm;

namespace {

struct KeywordCase {
  const wchar_t* keywords;   // separated by spaces
  const wchar_t* className;  // null: the keyword itself
  DWORD style;               // WS_CHILD included
  DWORD exStyle;
};

// The whole keyword table, as the windows are asked to be created with default styles.
const KeywordCase kKeywordCases[] = {
    {L"BUTTON", nullptr, 0x50010F00, 0},
    {L"CHECKBOX", L"Button", 0x50010D03, 0},
    {L"EDIT TEXTBOX", L"Edit", 0x50010080, 0x200},
    {L"PROGRESSBAR MSCTLS_PROGRESS32", L"msctls_progress32", 0x50000000, 0},
};

std::wstring Lower(const wchar_t* text) {
  std::wstring result(text);
  for (wchar_t& c : result) c = static_cast<wchar_t>(std::towlower(c));
  return result;
}

// Under Wine the creation hook sees the class name with the activation context's version
// prefix ("6.0.2600.2982!Button") for the classes the common controls 6 manifest redirects.
std::wstring WithoutVersion(const std::wstring& className) {
  const size_t bang = className.find(L'!');
  return bang == std::wstring::npos ? className : className.substr(bang + 1);
}

// Fonts given to windows of the test's own child class.
HFONT gLastFont = nullptr;
LRESULT CALLBACK FontRecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFONT) gLastFont = reinterpret_cast<HFONT>(wParam);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[260] = {};
  ::GetClassNameW(window, name, 260);
  return name;
}

HWND Create(TestForm& form, const wchar_t* keyword, DWORD style = kDefaultStyle,
            DWORD exStyle = kDefaultStyle, const wchar_t* caption = L"", int x = 10, int y = 10,
            int w = 120, int h = 40) {
  return CreateControl(form.formWindow(), keyword, nullptr, 200, caption, x, y, w, h, style,
                       exStyle, nullptr, nullptr, 0, 0);
}

}  // namespace

TEST(ControlCreation, EveryKeywordGivesItsClassAndDefaultStyles) {
  TestForm form(400, 300);
  ASSERT_TRUE(form.window());
  for (const KeywordCase& c : kKeywordCases) {
    std::wistringstream keywords(c.keywords);
    for (std::wstring keyword; keywords >> keyword;) {
      SCOPED_TRACE(testing::Message() << "keyword " << testing::PrintToString(keyword));
      CreationSpy spy;
      HWND control = Create(form, keyword.c_str());
      ASSERT_TRUE(control);
      const zvtest::CreationArgs args = spy.For(control);
      const std::wstring expectedClass = Lower(c.className ? c.className : keyword.c_str());
      EXPECT_EQ(Lower(WithoutVersion(args.className).c_str()), expectedClass);
      EXPECT_EQ(Lower(ClassOf(control).c_str()), expectedClass);
      EXPECT_EQ(args.style, c.style);
      EXPECT_EQ(args.exStyle, c.exStyle);
      EXPECT_EQ(::GetDlgCtrlID(control), 200);
      ::DestroyWindow(control);
    }
  }
}

TEST(ControlCreation, KeywordsIgnoreLetterCase) {
  TestForm form(400, 300);
  for (const wchar_t* keyword : {L"checkbox", L"CheckBox", L"cHECKbOX"}) {
    CreationSpy spy;
    HWND control = Create(form, keyword);
    ASSERT_TRUE(control);
    EXPECT_EQ(WithoutVersion(spy.For(control).className), L"Button");
    EXPECT_EQ(spy.For(control).style, 0x50010D03u);
    ::DestroyWindow(control);
  }
  // A class name that is also an alias takes that keyword's defaults.
  CreationSpy spy;
  HWND progress = Create(form, L"msctls_progress32");
  ASSERT_TRUE(progress);
  EXPECT_EQ(spy.For(progress).style, 0x50000000u);
  EXPECT_EQ(::SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
}

TEST(ControlCreation, UnknownKeywordIsUsedAsClassNameWithChildStyleOnly) {
  TestForm form(400, 300);
  const ATOM atom =
      RegisterFormClass(L"ZvTestCustomChild", form.formWindow().module, FontRecordingProc);
  ASSERT_NE(atom, 0);
  CreationSpy spy;
  gLastFont = nullptr;
  HWND control = Create(form, L"ZvTestCustomChild");
  ASSERT_TRUE(control);
  EXPECT_EQ(spy.For(control).className, L"ZvTestCustomChild");
  EXPECT_EQ(spy.For(control).style, static_cast<DWORD>(WS_CHILD));
  EXPECT_EQ(spy.For(control).exStyle, 0u);
  // It gets the form's default font.
  EXPECT_EQ(gLastFont, form.formWindow().defaultFont.get());

  EXPECT_EQ(Create(form, L"ZvNoSuchClassAnywhere"), nullptr);
  EXPECT_EQ(Create(form, L""), nullptr);
}

TEST(ControlCreation, ButtonSpecialStylesAndExplicitStyles) {
  TestForm form(400, 300);
  const std::pair<DWORD, DWORD> cases[] = {
      {0x8000, 0x50018F00}, {1, 0x50010F01},          {11, 0x5001000B},
      {0x54010F00, 0x54010F00}, {BS_CHECKBOX, 0x40000002}, {0, 0x40000000},
  };
  for (auto [given, expected] : cases) {
    CreationSpy spy;
    HWND button = Create(form, L"BUTTON", given);
    ASSERT_TRUE(button);
    EXPECT_EQ(spy.For(button).style, expected) << "given style " << given;
    ::DestroyWindow(button);
  }
  // The special styles are the push button's own: another kind takes them as they are.
  CreationSpy spy;
  HWND check = Create(form, L"CHECKBOX", 1);
  ASSERT_TRUE(check);
  EXPECT_EQ(spy.For(check).style, 0x40000001u);
}

TEST(ControlCreation, PerKindSetUp) {
  TestForm form(400, 300);
  HWND progress = Create(form, L"PROGRESSBAR");
  ASSERT_TRUE(progress);
  PBRANGE range{};
  ::SendMessageW(progress, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  EXPECT_EQ(::SendMessageW(progress, PBM_GETPOS, 0, 0), 0);

  // Kinds with the font column get the form's default font.
  HWND edit = Create(form, L"TEXTBOX");
  ASSERT_TRUE(edit);
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(edit, WM_GETFONT, 0, 0)),
            form.formWindow().defaultFont.get());
}

TEST(DpiScaling, ControlsAndFormsRoundToNearestEven) {
  FormWindow probe(L"");
  SetDpi(probe, 144.0f);
  EXPECT_EQ(probe.dpi, 144);
  EXPECT_FLOAT_EQ(probe.scaleX, 1.5f);
  EXPECT_FLOAT_EQ(probe.scaleY, 1.5f);
  SetDpi(probe, 119.5f);
  EXPECT_EQ(probe.dpi, 120);  // 119.5 to the even neighbour
  SetDpi(probe, -1.0f);       // the screen's DPI
  zv::WindowDc screen = zv::WindowDc::Client(nullptr);
  EXPECT_EQ(probe.dpi, ::GetDeviceCaps(screen.get(), LOGPIXELSX));

  CreationSpy spy;
  TestForm form(451, 314, 144.0f);
  ASSERT_TRUE(form.window());
  RECT outer{};
  ::GetWindowRect(form.window(), &outer);
  EXPECT_EQ(outer.right - outer.left, 676);  // 676.5
  EXPECT_EQ(outer.bottom - outer.top, 471);

  HWND check = form.AddControl(L"CHECKBOX", 103, 35, 125, 149, 13);
  ASSERT_TRUE(check);
  const RECT rect = zvtest::ChildRect(check);
  EXPECT_EQ(rect.left, 52);   // 52.5
  EXPECT_EQ(rect.top, 188);   // 187.5
  EXPECT_EQ(rect.right - rect.left, 224);  // 223.5
  EXPECT_EQ(rect.bottom - rect.top, 20);   // 19.5

  // The default font grows with the form's DPI: 9 points at 144 DPI, as a 144 DPI screen gives
  // them (a form moved to such a screen must look like one started there).
  LOGFONTW font{};
  ASSERT_TRUE(::GetObjectW(form.formWindow().defaultFont.get(), sizeof(font), &font));
  EXPECT_EQ(font.lfHeight, -::MulDiv(9, 144, 72));
  EXPECT_EQ(font.lfWeight, FW_NORMAL);
  EXPECT_EQ(font.lfOutPrecision, OUT_TT_PRECIS);
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(check, WM_GETFONT, 0, 0)),
            form.formWindow().defaultFont.get());
}

TEST(DpiScaling, DefaultPositionPassesThrough) {
  FormWindow* formWindow = new FormWindow(L"");
  SetDpi(*formWindow, 144.0f);
  CreationSpy spy;
  HWND window = CreateFormWindow(*formWindow, nullptr, L"t", zvtest::TestFormProc, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 100, 100, WS_OVERLAPPEDWINDOW, 0);
  ASSERT_TRUE(window);
  // Wine's creation hook already sees the position the system chose; a scaled CW_USEDEFAULT
  // would have been a position far off the screen.
  RECT rect{};
  ::GetWindowRect(window, &rect);
  EXPECT_GE(rect.left, 0);
  EXPECT_LT(rect.left, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(spy.For(window).width, 150);
  EXPECT_EQ(GetFormWindow(window), formWindow);
  ::DestroyWindow(window);
}

TEST(FormWindowSetUp, DefaultFontChoice) {
  // Wine reports every process DPI aware, so the unaware choice is checked directly.
  const struct {
    bool aware;
    int version;
    const wchar_t* face;
    int size;
  } cases[] = {{false, 1000, L"Tahoma", 8}, {true, 502, L"Tahoma", 8}, {true, 600, L"Segoe UI", 9}};
  for (const auto& c : cases) {
    FormWindow form(L"");
    form.defaultFontFace[0] = L'\0';
    form.defaultFontSize = 0;
    ChooseDefaultFont(form, c.aware, c.version);
    EXPECT_STREQ(form.defaultFontFace, c.face);
    EXPECT_EQ(form.defaultFontSize, c.size);
    form.defaultFontSize = 12;  // set values are kept
    ChooseDefaultFont(form, !c.aware, 1000 - c.version);
    EXPECT_EQ(form.defaultFontSize, 12);
    EXPECT_STREQ(form.defaultFontFace, c.face);
  }
}

TEST(FormWindowSetUp, ClassNameIsReadBackAndSecondCreationRefused) {
  TestForm form(200, 100, 96.0f, WS_POPUP, L"Zelv软件安装_TestForm");
  ASSERT_TRUE(form.window());
  EXPECT_STREQ(form.formWindow().className, L"Zelv软件安装_TestForm");
  EXPECT_EQ(ClassOf(form.window()), L"Zelv软件安装_TestForm");
  EXPECT_EQ(CreateFormWindow(form.formWindow(), nullptr, L"", zvtest::TestFormProc, 0, 0, 10, 10,
                             WS_POPUP, 0),
            nullptr);
  // A second form of the same class uses the registered class.
  TestForm second(200, 100, 96.0f, WS_POPUP, L"Zelv软件安装_TestForm");
  ASSERT_TRUE(second.window());
  EXPECT_EQ(second.formWindow().classAtom, form.formWindow().classAtom);
}

namespace {

int ClassNumber(ATOM atom) {
  HWND probe = ::CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  const std::wstring name = ClassOf(probe);
  ::DestroyWindow(probe);
  const std::wstring prefix = L"KWDWindowClass:";
  if (name.compare(0, prefix.size(), prefix) != 0) return -1;
  return std::stoi(name.substr(prefix.size()));
}

}  // namespace

TEST(ClassRegistration, CounterAndCache) {
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  const ATOM first = RegisterFormClass(L"", module, nullptr);
  ASSERT_NE(first, 0);
  const int n = ClassNumber(first);
  ASSERT_GE(n, 0);
  EXPECT_EQ(ClassNumber(RegisterFormClass(nullptr, module, nullptr)), n + 1);

  // A named registration advances the number too; repeating it (in any letter case) does not.
  const ATOM named = RegisterFormClass(L"ZvTestCachedClass", module, nullptr);
  ASSERT_NE(named, 0);
  EXPECT_EQ(RegisterFormClass(L"ZvTestCachedClass", module, zvtest::TestFormProc), named);
  EXPECT_EQ(RegisterFormClass(L"zvtestcachedclass", module, nullptr), named);
  EXPECT_EQ(ClassNumber(RegisterFormClass(L"", module, nullptr)), n + 3);

  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(::GetClassInfoExW(module, L"ZvTestCachedClass", &info));
  EXPECT_EQ(info.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
  EXPECT_EQ(info.cbWndExtra, static_cast<int>(sizeof(void*)));
  EXPECT_EQ(info.cbClsExtra, 0);
  EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

TEST(ClassRegistration, FormWithoutWindowGivesItsClassBack) {
  // A form whose window was never created unregisters its class; the next form of that name
  // registers it again rather than using a dead atom.
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  {
    FormWindow form(L"ZvTestShortLived");
    ASSERT_NE(RegisterFormClass(form.className, module, zvtest::TestFormProc), 0);
  }
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  EXPECT_FALSE(::GetClassInfoExW(module, L"ZvTestShortLived", &info));
  TestForm again(100, 100, 96.0f, WS_POPUP, L"ZvTestShortLived");
  EXPECT_TRUE(again.window());
}

TEST(Fonts, CacheAndFontText) {
  HFONT yahei = CreateFontFromText(L"Microsoft YaHei,9,0");
  ASSERT_TRUE(yahei);
  EXPECT_EQ(CreateFontFromText(L"Microsoft YaHei,9,0"), yahei);
  EXPECT_NE(CreateFontFromText(L"Microsoft YaHei,9,1"), yahei);

  zv::WindowDc screen = zv::WindowDc::Client(nullptr);
  const int logX = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
  const int logY = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
  LOGFONTW font{};
  ASSERT_TRUE(::GetObjectW(yahei, sizeof(font), &font));
  EXPECT_STREQ(font.lfFaceName, L"Microsoft YaHei");
  EXPECT_EQ(font.lfHeight, -::MulDiv(9 * logX / logY, logY, 72));
  EXPECT_EQ(font.lfWeight, FW_NORMAL);
  EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(font.lfOutPrecision, OUT_TT_PRECIS);
  EXPECT_EQ(font.lfQuality, DEFAULT_QUALITY);

  ASSERT_TRUE(::GetObjectW(CreateFontFromText(L"Arial,30,1,1,1,2"), sizeof(font), &font));
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  EXPECT_TRUE(font.lfItalic && font.lfUnderline && font.lfStrikeOut);
  EXPECT_EQ(font.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_EQ(font.lfHeight, -::MulDiv(30 * logX / logY, logY, 72));

  // Empty face and size: SimSun 9.
  ASSERT_TRUE(::GetObjectW(CreateFontFromText(L",0"), sizeof(font), &font));
  EXPECT_STREQ(font.lfFaceName, L"SimSun");
  EXPECT_EQ(font.lfHeight, -::MulDiv(9 * logX / logY, logY, 72));
  ASSERT_TRUE(::GetObjectW(CreateFontFromText(L""), sizeof(font), &font));
  EXPECT_STREQ(font.lfFaceName, L"SimSun");

  // The face is cut to 31 characters.
  const std::wstring longFace(40, L'x');
  ASSERT_TRUE(::GetObjectW(CreateFontFromText(longFace + L",10"), sizeof(font), &font));
  EXPECT_EQ(std::wstring(font.lfFaceName), longFace.substr(0, 31));
}

TEST(Records, ControlDestroyedBeforeItsFormFreesItsRecord) {
  TestForm form(300, 200);
  HWND control = form.AddControl(L"TEXTBOX", 106, 10, 10, 100, 20);
  ASSERT_TRUE(control);
  ControlData* record = GetControlData(control);
  ASSERT_TRUE(record);
  EXPECT_EQ(::GetWindowLongPtrW(control, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&SubclassProc));
  EXPECT_TRUE(::GetPropW(control, kOldWndProcProp));

  record->backBrush.reset(::CreateSolidBrush(RGB(1, 2, 3)));
  record->cursor.reset(::CopyIcon(::LoadCursorW(nullptr, IDC_ARROW)));
  record->tooltip.reset(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                          nullptr, nullptr));
  const HBRUSH brush = record->backBrush.get();
  const HCURSOR cursor = record->cursor.get();
  const HWND tooltip = record->tooltip.get();
  ASSERT_TRUE(brush && cursor && tooltip);

  ::DestroyWindow(control);
  EXPECT_EQ(::GetObjectType(brush), 0u);
  EXPECT_FALSE(zvtest::IconAlive(cursor));
  EXPECT_FALSE(::IsWindow(tooltip));
  // The form's chain holds only the form's own record: windowed controls are never in it.
  EXPECT_EQ(form.record().nextWindowless, nullptr);
}

TEST(Records, ControlWithoutSubclassProcStillFreesItsRecord) {
  TestForm form(300, 200);
  HWND control = Create(form, L"Static");
  ASSERT_TRUE(control);
  auto record = std::make_unique<ControlData>();
  record->backBrush.reset(::CreateSolidBrush(RGB(4, 5, 6)));
  const HBRUSH brush = record->backBrush.get();
  AttachControlData(control, std::move(record));
  // Attaching again replaces and frees the earlier record.
  auto replacement = std::make_unique<ControlData>();
  replacement->backBrush.reset(::CreateSolidBrush(RGB(7, 8, 9)));
  const HBRUSH second = replacement->backBrush.get();
  AttachControlData(control, std::move(replacement));
  EXPECT_EQ(::GetObjectType(brush), 0u);
  EXPECT_EQ(::GetObjectType(second), static_cast<DWORD>(OBJ_BRUSH));
  ::DestroyWindow(control);
  EXPECT_EQ(::GetObjectType(second), 0u);
}

TEST(Records, FormDestructionReleasesFormWindowAndChain) {
  zvtest::gCounters = {};
  auto form = std::make_unique<TestForm>(300, 200);
  HWND window = form->window();
  ASSERT_TRUE(window);
  const HFONT defaultFont = form->formWindow().defaultFont.get();
  ASSERT_TRUE(defaultFont);
  SetMousePointer(window, 13);
  const HCURSOR formCursor = form->record().cursor.get();
  ASSERT_TRUE(formCursor);
  form->record().largeIcon.reset(::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
  const HICON icon = form->record().largeIcon.get();
  form->record().tooltip.reset(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                                 nullptr, nullptr, nullptr));
  const HWND tooltip = form->record().tooltip.get();
  HandleSysColorChange(window);
  const HBRUSH formBrush = form->record().backBrush.get();
  ASSERT_TRUE(formBrush);

  form->AddWindowless(102, 0, 0, 10, 10);
  WindowlessHandle frame = form->AddWindowless(107, 0, 0, 50, 50);
  ControlData* frameRecord = FindWindowlessControl(frame);
  ASSERT_TRUE(frameRecord);
  frameRecord->cursor.reset(::CopyIcon(::LoadCursorW(nullptr, IDC_HAND)));
  const HCURSOR frameCursor = frameRecord->cursor.get();

  HWND control = form->AddControl(L"BUTTON", 111, 10, 10, 60, 20);
  GetControlData(control)->backBrush.reset(::CreateSolidBrush(RGB(9, 9, 9)));
  const HBRUSH controlBrush = GetControlData(control)->backBrush.get();

  ::DestroyWindow(window);
  EXPECT_EQ(zvtest::gCounters.destroys, 1);
  EXPECT_EQ(::GetObjectType(defaultFont), 0u);  // the FormWindow was destroyed
  EXPECT_FALSE(zvtest::IconAlive(formCursor));
  EXPECT_FALSE(zvtest::IconAlive(icon));
  EXPECT_FALSE(::IsWindow(tooltip));
  EXPECT_EQ(::GetObjectType(formBrush), 0u);
  EXPECT_FALSE(zvtest::IconAlive(frameCursor));
  EXPECT_EQ(::GetObjectType(controlBrush), 0u);
  form.reset();
}

TEST(Records, FocusIsRememberedByTheForm) {
  TestForm form(300, 200);
  HWND first = form.AddControl(L"TEXTBOX", 106, 10, 10, 100, 20);
  HWND second = form.AddControl(L"BUTTON", 111, 10, 40, 100, 20);
  ::ShowWindow(form.window(), SW_SHOW);
  ::SetFocus(second);
  EXPECT_EQ(form.record().focusOrAttached, second);
  ::SetFocus(first);
  EXPECT_EQ(form.record().focusOrAttached, first);
}
