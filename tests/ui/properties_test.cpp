// Colour codes, the property setters of windowed and windowless controls and forms, the repaint
// timer and the standard message handling of forms.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/ui/support.h"

using namespace zv;
using zvtest::TestForm;

TEST(Colors, ResolveColor) {
  EXPECT_EQ(ResolveColor(0x197F7F7F, kNoColor), kNoColor);
  EXPECT_EQ(ResolveColor(0x197F7F7F, RGB(1, 2, 3)), RGB(1, 2, 3));
  EXPECT_EQ(ResolveColor(0x0F7F7F7F, kNoColor), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ResolveColor(0x057F7F7F, kNoColor), ::GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ResolveColor(0x087F7F7F, kNoColor), ::GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(ResolveColor(0x00FF0000, kNoColor), 0x00FF0000u);
  EXPECT_EQ(ResolveColor(0x80123456, kNoColor), 0x00123456u);  // alpha ignored by GDI
  EXPECT_EQ(ResolveColor(0x207F7F7F, kNoColor), 0x7F7F7Fu);    // index 32: no system colour
  EXPECT_EQ(ResolveColor(0x1F7F7F7F, kNoColor), 0x7F7F7Fu);
}

TEST(Colors, ResolveColorArgb) {
  EXPECT_EQ(ResolveColorArgb(0xFF0000FF, 0), 0xFFFF0000u);  // opaque red
  EXPECT_EQ(ResolveColorArgb(0x80332211, 0), 0x80112233u);
  EXPECT_EQ(ResolveColorArgb(0x197F7F7F, 0xFF000000), 0xFF000000u);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(ResolveColorArgb(0x0F7F7F7F, 0),
            0xFF000000u | (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face));
  EXPECT_EQ(ResolveColorArgb(0xFF7F7F7F, 0), 0xFF7F7F7Fu);
}

TEST(WindowedProperties, TextAndCheckState) {
  TestForm form(300, 200);
  ControlHandle text{form.AddControl(L"TEXTBOX", 106, 10, 10, 200, 20), 106};
  ASSERT_TRUE(text.window);
  EXPECT_EQ(GetText(text), L"");
  EXPECT_EQ(GetText(text).size(), 0u);
  EXPECT_TRUE(SetText(text, L"D:\\Zelv软件\\程序"));
  EXPECT_EQ(GetText(text), L"D:\\Zelv软件\\程序");
  EXPECT_TRUE(SetText(text, L""));
  EXPECT_EQ(GetText(text), L"");

  ControlHandle three{
      form.AddControl(L"Button", 103, 10, 40, 100, 20, WS_VISIBLE | BS_AUTO3STATE), 103};
  ASSERT_TRUE(three.window);
  SetCheck(three, true);
  EXPECT_TRUE(GetCheck(three));
  ::SendMessageW(three.window, BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_FALSE(GetCheck(three));
  SetCheck(three, false);
  EXPECT_FALSE(GetCheck(three));

  // A destroyed control: nothing happens, empty results.
  ::DestroyWindow(text.window);
  EXPECT_FALSE(SetText(text, L"x"));
  EXPECT_EQ(GetText(text), L"");
  EXPECT_FALSE(GetCheck(ControlHandle{}));
}

TEST(WindowedProperties, ProgressRangeInEitherOrder) {
  TestForm form(300, 200);
  for (bool maxFirst : {true, false}) {
    ControlHandle bar{form.AddControl(L"PROGRESSBAR", 108, 15, 215, 421, 24), 108};
    ASSERT_TRUE(bar.window);
    if (maxFirst) {
      SetProgressMax(bar, 100);
      SetProgressMin(bar, 1);
    } else {
      SetProgressMin(bar, 1);
      SetProgressMax(bar, 100);
    }
    SetProgressPos(bar, 80);
    PBRANGE range{};
    ::SendMessageW(bar.window, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 1) << "max first: " << maxFirst;
    EXPECT_EQ(range.iHigh, 100) << "max first: " << maxFirst;
    EXPECT_EQ(::SendMessageW(bar.window, PBM_GETPOS, 0, 0), 80);
    ::DestroyWindow(bar.window);
  }
}

TEST(WindowedProperties, MessageOnlySettersWorkFromAnotherThread) {
  TestForm form(300, 200);
  ControlHandle text{form.AddControl(L"TEXTBOX", 106, 10, 10, 200, 20), 106};
  ControlHandle check{form.AddControl(L"CHECKBOX", 103, 10, 40, 100, 20), 103};
  ControlHandle bar{form.AddControl(L"PROGRESSBAR", 108, 10, 70, 200, 20), 108};
  std::atomic<bool> done{false};
  std::wstring seen;
  bool checked = false;
  std::thread worker([&] {
    SetText(text, L"解压 a.txt");
    seen = GetText(text);
    SetCheck(check, true);
    checked = GetCheck(check);
    SetProgressMax(bar, 500);
    SetProgressPos(bar, 250);
    done = true;
  });
  // The window's thread keeps dispatching while the worker runs, as the install action does.
  for (int i = 0; i < 500 && !done; ++i) zvtest::PumpFor(10);
  worker.join();
  EXPECT_EQ(seen, L"解压 a.txt");
  EXPECT_TRUE(checked);
  EXPECT_EQ(::SendMessageW(bar.window, PBM_GETRANGE, FALSE, 0), 500);
  EXPECT_EQ(::SendMessageW(bar.window, PBM_GETPOS, 0, 0), 250);
}

TEST(WindowedProperties, FontKeepsEditMarginsAndStoresText) {
  TestForm form(300, 200);
  ControlHandle text{form.AddControl(L"TEXTBOX", 106, 10, 10, 200, 20), 106};
  ::SendMessageW(text.window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(7, 9));
  SetFont(text, L"Microsoft YaHei,9,0");
  const auto margins = static_cast<DWORD>(::SendMessageW(text.window, EM_GETMARGINS, 0, 0));
  EXPECT_EQ(LOWORD(margins), 7);
  EXPECT_EQ(HIWORD(margins), 9);
  EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(text.window, WM_GETFONT, 0, 0)),
            CreateFontFromText(L"Microsoft YaHei,9,0"));
  EXPECT_EQ(GetControlData(text.window)->fontText, L"Microsoft YaHei,9,0");

}

TEST(WindowedProperties, ColorsReachTheColourMessages) {
  TestForm form(300, 200);
  form.record().backColor = 0x0F7F7F7F;
  ControlHandle text{form.AddControl(L"TEXTBOX", 106, 10, 10, 200, 20), 106};
  SetForeColor(text, 0x000000FF);
  EXPECT_EQ(GetControlData(text.window)->foreColor, 0x000000FFu);

  zv::MemoryDc dc(::CreateCompatibleDC(nullptr));
  auto brushColor = [](LRESULT brush) {
    LOGBRUSH info{};
    ::GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof(info), &info);
    return info.lbColor;
  };
  // Default back colour: the form's (button face).
  const LRESULT first = ::SendMessageW(form.window(), WM_CTLCOLOREDIT,
                                       reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(text.window));
  ASSERT_NE(first, 0);
  EXPECT_EQ(brushColor(first), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(::GetTextColor(dc.get()), RGB(255, 0, 0));
  EXPECT_EQ(::GetBkColor(dc.get()), ::GetSysColor(COLOR_BTNFACE));

  // Its own back colour: a new brush, the old one deleted; one brush per control.
  SetBackColor(text, RGB(10, 20, 30));
  const LRESULT second = ::SendMessageW(form.window(), WM_CTLCOLOREDIT,
                                        reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(text.window));
  EXPECT_EQ(brushColor(second), RGB(10, 20, 30));
  EXPECT_EQ(::GetObjectType(reinterpret_cast<HGDIOBJ>(first)), 0u);
  EXPECT_EQ(::GetBkColor(dc.get()), RGB(10, 20, 30));

  // A control without a record, and messages outside the four, get default processing.
  HWND bare = ::CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 10, 10, form.window(), nullptr,
                                nullptr, nullptr);
  LRESULT result = 0;
  EXPECT_FALSE(HandleColorMessage(form.window(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.get()),
                                  reinterpret_cast<LPARAM>(bare), &result));
  EXPECT_FALSE(HandleColorMessage(form.window(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc.get()),
                                  reinterpret_cast<LPARAM>(text.window), &result));
  // Default colours on both control and form record fall back to button face; without a form
  // record there is nothing to fall back on.
  GetControlData(text.window)->backColor = kDefaultColor;
  form.record().backColor = kDefaultColor;
  ASSERT_TRUE(HandleColorMessage(form.window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                                 reinterpret_cast<LPARAM>(text.window), &result));
  EXPECT_EQ(brushColor(result), ::GetSysColor(COLOR_BTNFACE));
  auto formRecord = DetachControlData(form.window());
  EXPECT_FALSE(HandleColorMessage(form.window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                                  reinterpret_cast<LPARAM>(text.window), &result));
  AttachControlData(form.window(), std::move(formRecord));
}

TEST(WindowedProperties, SystemColourChangeRebuildsBrushes) {
  TestForm form(300, 200);
  form.record().backColor = RGB(200, 100, 50);
  HWND own = form.AddControl(L"Static", 102, 10, 10, 50, 20, WS_VISIBLE);
  HWND inherits = form.AddControl(L"Static", 103, 10, 40, 50, 20, WS_VISIBLE);
  GetControlData(own)->backColor = 0x057F7F7F;
  ::SendMessageW(form.window(), WM_SYSCOLORCHANGE, 0, 0);
  auto colorOf = [](const GdiBrush& brush) {
    LOGBRUSH info{};
    ::GetObjectW(brush.get(), sizeof(info), &info);
    return info.lbColor;
  };
  ASSERT_TRUE(form.record().backBrush);
  EXPECT_EQ(colorOf(form.record().backBrush), RGB(200, 100, 50));
  EXPECT_EQ(colorOf(GetControlData(own)->backBrush), ::GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(colorOf(GetControlData(inherits)->backBrush), RGB(200, 100, 50));
}

TEST(FormProperties, MousePointerAndSetCursor) {
  TestForm form(300, 200);
  SetMousePointer(form.window(), 14);
  EXPECT_EQ(form.record().mousePointer, 14);
  const HCURSOR hand = form.record().cursor.get();
  ASSERT_TRUE(hand);
  EXPECT_EQ(::SendMessageW(form.window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form.window()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(::GetCursor(), hand);
  // Outside the client area the class cursor rules.
  LRESULT result = 0;
  EXPECT_FALSE(HandleStandardFormMessage(form.window(), WM_SETCURSOR,
                                         reinterpret_cast<WPARAM>(form.window()),
                                         MAKELPARAM(HTCAPTION, WM_MOUSEMOVE), &result));
  // A new kind replaces (and destroys) the cursor; kind 0 and unknown kinds have none.
  SetMousePointer(form.window(), 13);
  EXPECT_FALSE(zvtest::IconAlive(hand));
  SetMousePointer(form.window(), 0);
  EXPECT_FALSE(form.record().cursor);
  SetMousePointer(form.window(), 15);
  EXPECT_FALSE(form.record().cursor);
  EXPECT_FALSE(HandleSetCursor(form.window(), reinterpret_cast<WPARAM>(form.window()),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
}

TEST(FormProperties, BackColourReplacesTheClassBrush) {
  TestForm form(300, 200);
  SetFormBackColor(form.window(), RGB(1, 2, 3));
  auto classBrush = [&] {
    return reinterpret_cast<HBRUSH>(::GetClassLongPtrW(form.window(), GCLP_HBRBACKGROUND));
  };
  const HBRUSH first = classBrush();
  LOGBRUSH info{};
  ASSERT_TRUE(::GetObjectW(first, sizeof(info), &info));
  EXPECT_EQ(info.lbColor, RGB(1, 2, 3));
  EXPECT_EQ(form.record().backColor, RGB(1, 2, 3));
  // A colour code is resolved: button face.
  SetFormBackColor(form.window(), 0x0F7F7F7F);
  EXPECT_EQ(::GetObjectType(first), 0u);
  ASSERT_TRUE(::GetObjectW(classBrush(), sizeof(info), &info));
  EXPECT_EQ(info.lbColor, ::GetSysColor(COLOR_BTNFACE));
}

TEST(FormProperties, TransparentColourAndAlpha) {
  TestForm form(300, 200);
  HWND w = form.window();
  auto layered = [&] { return (::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; };
  SetTransparentColor(w, kNoColor);
  EXPECT_FALSE(layered());
  EXPECT_EQ(form.record().transparentKey, kNoColor);

  SetTransparentColor(w, RGB(0, 255, 0));
  EXPECT_TRUE(layered());
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(w, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(0, 255, 0));
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));

  form.record().transparency = 75;  // (100 - 75) * 2.55 = 63.75
  SetTransparentColor(w, kNoColor);
  EXPECT_TRUE(layered());
  ASSERT_TRUE(::GetLayeredWindowAttributes(w, &key, &alpha, &flags));
  EXPECT_EQ(alpha, 64);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

  SetTransparentColor(w, RGB(0, 0, 255));
  ASSERT_TRUE(::GetLayeredWindowAttributes(w, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(0, 0, 255));
  EXPECT_EQ(alpha, 64);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));

  form.record().transparency = 0;
  SetTransparentColor(w, kNoColor);
  EXPECT_FALSE(layered());
}

TEST(FormProperties, ClosedFormIsLeftAlone) {
  TestForm form(300, 200);
  HWND w = form.window();
  ShowForm(w, true);
  EXPECT_TRUE(::IsWindowVisible(w));
  PostClose(w);
  EXPECT_TRUE(::IsWindow(w));  // posted, not sent
  zvtest::PumpPending();
  EXPECT_FALSE(::IsWindow(w));  // default processing of WM_CLOSE destroyed it
  ShowForm(w, true);
  SetMousePointer(w, 2);
  SetWindowText(w, L"x");
  EXPECT_FALSE(ActivateExisting(w));
}

TEST(FormProperties, CenterWindow) {
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  TestForm form(300, 200);
  CenterWindow(form.formWindow(), nullptr, nullptr);
  RECT rect{};
  ::GetWindowRect(form.window(), &rect);
  EXPECT_EQ(rect.left, work.left + (work.right - work.left - 300) / 2);
  EXPECT_EQ(rect.top, work.top + (work.bottom - work.top - 200) / 2);
  EXPECT_EQ(rect.right - rect.left, 300);

  TestForm huge(5000, 4000);
  CenterWindow(huge.formWindow(), nullptr, nullptr);
  ::GetWindowRect(huge.window(), &rect);
  EXPECT_EQ(rect.left, work.left);
  EXPECT_EQ(rect.top, work.top);

  // A child centred on its parent, in the parent's client coordinates.
  HWND child = form.AddControl(L"Static", 102, 0, 0, 100, 50, WS_VISIBLE);
  CenterWindow(form.formWindow(), child, form.window());
  const RECT inParent = zvtest::ChildRect(child);
  EXPECT_EQ(inParent.left, 100);
  EXPECT_EQ(inParent.top, 75);
}

// ---- Windowless controls and the repaint timer ----

TEST(WindowlessProperties, SettersChangeTheRecord) {
  TestForm form(300, 200);
  WindowlessHandle label = form.AddWindowless(102, 15, 200, 400, 14);
  ControlData* record = FindWindowlessControl(label);
  ASSERT_TRUE(record);
  SetWindowlessCaption(label, L"a.txt");
  EXPECT_EQ(record->caption, L"a.txt");
  SetWindowlessVisible(label, false);
  EXPECT_EQ(record->flags & kFlagVisible, 0u);
  EXPECT_EQ(FindWindowlessControl(WindowlessHandle{999, form.window(), {}, {}}), nullptr);
}

TEST(WindowlessProperties, BurstOfChangesRepaintsOnce) {
  TestForm form(300, 200);
  WindowlessHandle label = form.AddWindowless(102, 15, 20, 200, 14);
  ::ShowWindow(form.window(), SW_SHOWNOACTIVATE);
  ::UpdateWindow(form.window());
  zvtest::PumpFor(100);
  zvtest::gCounters = {};

  SetWindowlessCaption(label, L"a.txt");
  SetWindowlessVisible(label, false);
  SetWindowlessVisible(label, true);
  SetWindowlessCaption(label, L"b.txt");
  EXPECT_EQ(zvtest::gCounters.paints, 0);  // nothing before the timer fires
  zvtest::PumpFor(300);
  EXPECT_EQ(zvtest::gCounters.repaintTimers, 1);
  EXPECT_EQ(zvtest::gCounters.paints, 1);
  // The timer is one-shot: nothing more arrives.
  zvtest::PumpFor(100);
  EXPECT_EQ(zvtest::gCounters.repaintTimers, 1);

  // A windowless change for an unknown control schedules nothing.
  zvtest::gCounters = {};
  SetWindowlessCaption(WindowlessHandle{555, form.window(), {}, {}}, L"x");
  zvtest::PumpFor(150);
  EXPECT_EQ(zvtest::gCounters.repaintTimers, 0);
  EXPECT_EQ(zvtest::gCounters.paints, 0);
}
