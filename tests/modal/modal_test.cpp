// The modal loop and the owner re-enabling.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "tests/modal/test_windows.h"
#include "ui/form.h"
#include "ui/modal.h"
#include "ui/properties.h"

namespace zv {
namespace {

using namespace zv::test;

class ModalLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = WindowLog{};
    form_ = std::make_unique<FormWindow>(L"");
  }
  void TearDown() override {
    for (HWND w : {form_->window, owner_}) {
      if (::IsWindow(w)) ::DestroyWindow(w);
    }
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // A visible top-level owner window with one child button.
  void MakeOwner() {
    owner_ = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 10, 10, 400, 300);
    ASSERT_TRUE(owner_);
    button_ = ::CreateWindowExW(0, L"Button", L"child", WS_CHILD | WS_VISIBLE, 10, 10, 80, 24,
                                owner_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(button_);
    gLog.watchOwner = owner_;
    gLog.watchChild = button_;
  }

  // The form's window, not yet shown.
  HWND MakeForm(DWORD style, HWND owner, DWORD exStyle = 0) {
    form_->window = MakeWindow(style, owner, 60, 60, 300, 200, exStyle);
    return form_->window;
  }

  // Posts `messages` to the form, in order, then runs it modally.
  LRESULT RunAfter(std::initializer_list<UINT> messages, HWND owner) {
    for (UINT message : messages) ::PostMessageW(form_->window, message, 0, 0);
    return Run(owner);
  }

  LRESULT Run(HWND owner, int mode = kModal) {
    Watchdog watchdog(20000);
    const LRESULT result = RunModal(*form_, mode, form_->window, owner, SW_SHOWNORMAL, 0);
    EXPECT_FALSE(Watchdog::Fired()) << "the loop did not end by itself";
    return result;
  }

  std::unique_ptr<FormWindow> form_;
  HWND owner_ = nullptr;
  HWND button_ = nullptr;
};

TEST_F(ModalLoop, EndsWhenTheFormClosesItself) {
  const HWND window = MakeForm(WS_OVERLAPPEDWINDOW, nullptr);
  ASSERT_TRUE(window);
  ::PostMessageW(window, kCount, 0, 0);
  PostClose(window);  // the framework's close request
  EXPECT_EQ(Run(nullptr), 0);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(gLog.count, 1);
}

TEST_F(ModalLoop, PlainShowReturnsTheWindowAtOnce) {
  const HWND window = MakeForm(WS_OVERLAPPEDWINDOW, nullptr);
  ASSERT_TRUE(window);
  ::PostMessageW(window, kCount, 0, 0);
  EXPECT_EQ(Run(nullptr, 0), reinterpret_cast<LRESULT>(window));
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(gLog.count, 0);  // no loop ran: the posted message still waits
}

TEST_F(ModalLoop, NoActivateFormIsShownWithoutActivation) {
  MakeOwner();
  ::SetActiveWindow(owner_);
  ASSERT_EQ(::GetActiveWindow(), owner_);
  const HWND window = MakeForm(WS_POPUP | WS_CAPTION, owner_, WS_EX_NOACTIVATE);
  ASSERT_TRUE(window);
  Run(owner_, 0);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(::GetActiveWindow(), owner_);

  // The same form without the style takes the activation.
  ::DestroyWindow(window);
  const HWND plain = MakeForm(WS_POPUP | WS_CAPTION, owner_);
  Run(owner_, 0);
  EXPECT_EQ(::GetActiveWindow(), plain);
}

TEST_F(ModalLoop, TopLevelAboveAChildOwnerIsDisabledUntilClose) {
  MakeOwner();
  // A pop-up owned by a child control is owned by that control's top-level window.
  const HWND window = MakeForm(WS_POPUP | WS_CAPTION | WS_SYSMENU, button_);
  ASSERT_TRUE(window);
  EXPECT_EQ(RunAfter({kProbe, WM_CLOSE}, button_), 0);
  EXPECT_EQ(gLog.ownerEnabledDuringRun, 0);
  EXPECT_EQ(gLog.childEnabledDuringRun, 1);
  EXPECT_EQ(gLog.ownerEnabledAtDestroy, 1);  // by WM_CLOSE, before the window went
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(ModalLoop, OwnedOverlappedFormReenablesItsOwner) {
  // GetParent reports no owner for an overlapped window; the re-enabling must still find it.
  MakeOwner();
  const HWND window = MakeForm(WS_OVERLAPPEDWINDOW, owner_);
  ASSERT_TRUE(window);
  EXPECT_EQ(RunAfter({kProbe, WM_CLOSE}, owner_), 0);
  EXPECT_EQ(gLog.ownerEnabledDuringRun, 0);
  EXPECT_EQ(gLog.ownerEnabledAtDestroy, 1);
}

TEST_F(ModalLoop, FormDestroyedWithoutClosingStillFreesItsOwner) {
  MakeOwner();
  const HWND window = MakeForm(WS_POPUP | WS_CAPTION, owner_);
  ASSERT_TRUE(window);
  EXPECT_EQ(RunAfter({kDestroy}, owner_), 0);
  EXPECT_EQ(gLog.ownerEnabledAtDestroy, 0);
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(ModalLoop, OwnerDisabledBeforeTheRunStaysSo) {
  MakeOwner();
  ::EnableWindow(owner_, FALSE);
  const HWND window = MakeForm(WS_POPUP | WS_CAPTION, owner_);
  ASSERT_TRUE(window);
  EXPECT_EQ(RunAfter({kDestroy}, owner_), 0);
  EXPECT_FALSE(::IsWindowEnabled(owner_));
}

TEST_F(ModalLoop, QuitEndsTheLoopWhileTheWindowLives) {
  MakeOwner();
  const HWND window = MakeForm(WS_POPUP | WS_CAPTION, owner_);
  ASSERT_TRUE(window);
  EXPECT_EQ(RunAfter({kQuit}, owner_), 0);
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_TRUE(::IsWindowEnabled(owner_));
}

TEST_F(ModalLoop, OwnerThatIsNoWindowIsLeftAlone) {
  const HWND window = MakeForm(WS_OVERLAPPEDWINDOW, nullptr);
  ASSERT_TRUE(window);
  PostClose(window);
  EXPECT_EQ(Run(reinterpret_cast<HWND>(0x7FF0)), 0);
  EXPECT_EQ(DisabledOwnerOf(reinterpret_cast<HWND>(0x7FF0)), nullptr);
  EXPECT_EQ(DisabledOwnerOf(nullptr), nullptr);
}

TEST_F(ModalLoop, DisabledOwnerIsTheTopLevelAboveNestedChildren) {
  MakeOwner();
  const HWND inner = ::CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 10, 10, button_, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(inner);
  EXPECT_EQ(DisabledOwnerOf(inner), owner_);
  EXPECT_EQ(DisabledOwnerOf(owner_), owner_);
}

TEST_F(ModalLoop, AcceleratorsOfTheForegroundFormAreTranslated) {
  ACCEL accel{FVIRTKEY, VK_F5, 4242};
  form_->accelerators = AccelHandle(::CreateAcceleratorTableW(&accel, 1));
  ASSERT_TRUE(form_->accelerators);
  const HWND window = MakeForm(WS_OVERLAPPEDWINDOW, nullptr);
  ASSERT_TRUE(window);
  ::PostMessageW(window, WM_KEYDOWN, VK_F5, 0x003F0001);
  PostClose(window);
  EXPECT_EQ(Run(nullptr), 0);
  EXPECT_EQ(gLog.lastCommand, 4242);
}

TEST_F(ModalLoop, TabMovesTheFocusBetweenControls) {
  const HWND window = MakeForm(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
  ASSERT_TRUE(window);
  HWND buttons[2];
  for (int i = 0; i < 2; ++i) {
    buttons[i] = ::CreateWindowExW(0, L"Button", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                   10 + 90 * i, 10, 80, 24, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(200 + i)),
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(buttons[i]);
  }
  ::SetFocus(buttons[0]);
  ASSERT_EQ(::GetFocus(), buttons[0]);
  MSG tab{buttons[0], WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {}};
  HandleModalMessage(*form_, tab, 0, ModalLoopVersion());
  EXPECT_EQ(::GetFocus(), buttons[1]);
}

class WheelRedirection : public ModalLoop {
 protected:
  void SetUp() override {
    ModalLoop::SetUp();
    left_ = MakeForm(WS_POPUP | WS_VISIBLE, nullptr);
    right_ = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, 500, 60, 300, 200);
    ASSERT_TRUE(left_ && right_);
    ::UpdateWindow(left_);
    ::UpdateWindow(right_);
    ::SetCursorPos(650, 160);
    POINT p{};
    ::GetCursorPos(&p);
    if (p.x != 650 || p.y != 160 || ::WindowFromPoint(p) != right_) {
      GTEST_SKIP() << "the cursor cannot be placed on this display";
    }
  }
  void TearDown() override {
    if (::IsWindow(right_)) ::DestroyWindow(right_);
    ModalLoop::TearDown();
  }
  void SendWheel(int version) {
    MSG wheel{left_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(650, 160), 0, {650, 160}};
    HandleModalMessage(*form_, wheel, 0, version);
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
  }
  HWND left_ = nullptr;
  HWND right_ = nullptr;
};

TEST_F(WheelRedirection, BeforeWindows8TheWindowUnderTheCursorGetsIt) {
  SendWheel(61);
  EXPECT_EQ(gLog.wheelReceiver, right_);
}

TEST_F(WheelRedirection, FromWindows8OnTheFocusWindowGetsIt) {
  SendWheel(62);
  EXPECT_EQ(gLog.wheelReceiver, left_);
}

}  // namespace
}  // namespace zv
