// Frames that contain controls, and the anchored layout on resizing.
#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/support.h"

using namespace zv;
using zvtest::TestForm;

namespace {

bool Contains(const std::vector<int32_t>& ids, int32_t id) {
  for (int32_t x : ids) {
    if (x == id) return true;
  }
  return false;
}

}  // namespace

TEST(FrameChildren, AreaTests) {
  TestForm form(600, 400);
  WindowlessHandle frame = form.AddWindowless(10, 0, 0, 100, 100);
  // Windowless: the same size (ratio 1.0), 80 % inside, 81 % inside, far away, empty.
  form.AddWindowless(11, 0, 0, 100, 100);
  form.AddWindowless(12, 20, 10, 100, 10);   // 80 of 100 columns inside
  form.AddWindowless(13, 19, 30, 100, 10);   // 81 inside
  form.AddWindowless(14, 300, 300, 10, 10);
  form.AddWindowless(15, 10, 10, 0, 0);
  form.AddWindowless(-1, 10, 10, 10, 10);    // IDs must be positive
  // Windowed children, the same cases.
  form.AddControl(L"Static", 21, 0, 0, 100, 100, WS_VISIBLE);
  form.AddControl(L"Static", 22, 20, 50, 100, 10, WS_VISIBLE);
  form.AddControl(L"Static", 23, 19, 70, 100, 10, WS_VISIBLE);
  form.AddControl(L"Static", 24, 10, 85, 50, 10, WS_VISIBLE);
  // A window without a record is never listed.
  ::CreateWindowExW(0, L"Static", L"", WS_CHILD, 5, 5, 10, 10, form.window(),
                    reinterpret_cast<HMENU>(25), nullptr, nullptr);

  CollectFrameChildren(frame);
  EXPECT_EQ(frame.windowlessChildren, (std::vector<int32_t>{13}));
  EXPECT_FALSE(Contains(frame.windowedChildren, 21));
  EXPECT_FALSE(Contains(frame.windowedChildren, 22));
  EXPECT_TRUE(Contains(frame.windowedChildren, 23));
  EXPECT_TRUE(Contains(frame.windowedChildren, 24));
  EXPECT_FALSE(Contains(frame.windowedChildren, 25));
  EXPECT_EQ(frame.windowedChildren.size(), 2u);

  // A second run with the windowed list filled changes nothing.
  form.AddWindowless(16, 10, 10, 20, 20);
  CollectFrameChildren(frame);
  EXPECT_EQ(frame.windowlessChildren, (std::vector<int32_t>{13}));
}

TEST(FrameChildren, InstallerFrameGeometry) {
  // The installer's frame at (10, 150, 424, 88) and the controls around it.
  TestForm form(451, 314);
  form.AddWindowless(102, 15, 200, 400, 14);  // Label1
  WindowlessHandle frame = form.AddWindowless(107, 10, 150, 424, 88);
  form.AddControl(L"CHECKBOX", 103, 35, 125, 149, 13);
  form.AddControl(L"CHECKBOX", 104, 35, 100, 134, 18);
  form.AddControl(L"BUTTON", 105, 325, 205, 95, 25);
  form.AddControl(L"TEXTBOX", 106, 25, 175, 396, 21);
  form.AddControl(L"PROGRESSBAR", 108, 15, 215, 421, 24);
  form.AddControl(L"BUTTON", 109, 220, 255, 63, 24);
  form.AddControl(L"BUTTON", 110, 370, 255, 63, 24);
  form.AddControl(L"BUTTON", 111, 295, 255, 63, 24);
  CollectFrameChildren(frame);
  EXPECT_EQ(frame.windowlessChildren, (std::vector<int32_t>{102}));
  EXPECT_EQ(frame.windowedChildren, (std::vector<int32_t>{105, 106, 108}));
}

TEST(FrameChildren, HidingAContainerHidesWhatIsInside) {
  TestForm form(300, 200);
  ::ShowWindow(form.window(), SW_SHOW);
  WindowlessHandle frame = form.AddWindowless(10, 0, 0, 200, 150);
  form.AddWindowless(11, 10, 10, 50, 20);
  form.AddWindowless(12, 250, 160, 20, 20);  // outside
  HWND inside = form.AddControl(L"TEXTBOX", 21, 10, 50, 100, 20);
  HWND outside = form.AddControl(L"BUTTON", 22, 210, 160, 60, 20);
  HWND focus = form.AddControl(L"BUTTON", 23, 220, 10, 60, 20);
  CollectFrameChildren(frame);
  ::SetFocus(focus);
  ASSERT_EQ(::GetFocus(), focus);

  // Without the container bit only the frame itself changes.
  SetFrameVisible(frame, false);
  EXPECT_EQ(FindWindowlessControl(frame)->flags & kFlagVisible, 0u);
  EXPECT_NE(FindWindowlessControl({11, form.window(), {}, {}})->flags & kFlagVisible, 0u);
  EXPECT_TRUE(::IsWindowVisible(inside));

  FindWindowlessControl(frame)->flags |= kFlagContainer;  // as the form code sets it
  SetFrameVisible(frame, false);
  EXPECT_EQ(FindWindowlessControl({11, form.window(), {}, {}})->flags & kFlagVisible, 0u);
  EXPECT_NE(FindWindowlessControl({12, form.window(), {}, {}})->flags & kFlagVisible, 0u);
  EXPECT_FALSE(::IsWindowVisible(inside));
  EXPECT_TRUE(::IsWindowVisible(outside));

  SetFrameVisible(frame, true);
  EXPECT_NE(FindWindowlessControl(frame)->flags & kFlagVisible, 0u);
  EXPECT_NE(FindWindowlessControl({11, form.window(), {}, {}})->flags & kFlagVisible, 0u);
  EXPECT_TRUE(::IsWindowVisible(inside));
  EXPECT_EQ(::GetFocus(), focus);  // shown without being activated
}

// ---- Anchors ----

namespace {

struct AnchorCase {
  int mode;
  RECT expected;  // left, top, width, height
};

// Form client 400 x 300; control at (30, 40), 100 x 50; margins right 10, bottom 20; centre
// offsets +5, -7.
const AnchorCase kAnchorCases[] = {
    {0, {30, 40, 100, 50}},    {1, {30, 40, 360, 50}},    {2, {290, 40, 100, 50}},
    {3, {205, 40, 100, 50}},   {4, {30, 40, 100, 240}},   {5, {30, 40, 360, 240}},
    {6, {290, 40, 100, 240}},  {7, {30, 230, 100, 50}},   {8, {30, 230, 360, 50}},
    {9, {290, 230, 100, 50}},  {10, {205, 230, 100, 50}}, {11, {30, 143, 100, 50}},
    {12, {290, 143, 100, 50}}, {13, {205, 143, 100, 50}}, {14, {30, 40, 100, 50}},
};

void Anchor(ControlData& record, int mode) {
  record.anchorMode = mode;
  record.rightMargin = 10;
  record.bottomMargin = 20;
  record.centerOffsetX = 5;
  record.centerOffsetY = -7;
}

RECT DesignOf(const ControlData& r) { return {r.left, r.top, r.width, r.height}; }

RECT PlacedRect(HWND control) {
  const RECT r = zvtest::ChildRect(control);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void ExpectRect(const RECT& actual, const RECT& expected, int mode) {
  EXPECT_EQ(actual.left, expected.left) << "mode " << mode;
  EXPECT_EQ(actual.top, expected.top) << "mode " << mode;
  EXPECT_EQ(actual.right, expected.right) << "mode " << mode << " (width)";
  EXPECT_EQ(actual.bottom, expected.bottom) << "mode " << mode << " (height)";
}

}  // namespace

TEST(Anchors, EveryModeForWindowsAndWindowlessRecords) {
  // The screen scale is 1 under the test display, so design units are pixels.
  ASSERT_EQ(ScaleToDesign(400), 400);
  for (const AnchorCase& c : kAnchorCases) {
    TestForm form(400, 300);
    HWND control = form.AddControl(L"Static", 21, 30, 40, 100, 50, WS_VISIBLE);
    Anchor(*GetControlData(control), c.mode);
    WindowlessHandle label = form.AddWindowless(11, 30, 40, 100, 50);
    Anchor(*FindWindowlessControl(label), c.mode);
    // A windowless record with an attached window moves that window.
    WindowlessHandle attachedHandle = form.AddWindowless(12, 30, 40, 100, 50);
    HWND attached = ::CreateWindowExW(0, L"Static", L"", WS_CHILD, 30, 40, 100, 50, form.window(),
                                      nullptr, nullptr, nullptr);
    ControlData* attachedRecord = FindWindowlessControl(attachedHandle);
    attachedRecord->focusOrAttached = attached;
    Anchor(*attachedRecord, c.mode);

    LayoutAnchors(form.window());
    ExpectRect(PlacedRect(control), c.expected, c.mode);
    ExpectRect(DesignOf(*GetControlData(control)), c.expected, c.mode);
    ExpectRect(DesignOf(*FindWindowlessControl(label)), c.expected, c.mode);
    ExpectRect(PlacedRect(attached), c.expected, c.mode);
    ExpectRect(DesignOf(*attachedRecord), c.expected, c.mode);
  }
}

TEST(Anchors, ProportionalModeScalesFromTheFirstLayout) {
  TestForm form(400, 300);
  HWND control = form.AddControl(L"Static", 21, 30, 40, 100, 50, WS_VISIBLE);
  GetControlData(control)->anchorMode = 14;
  LayoutAnchors(form.window());
  ::SetWindowPos(form.window(), nullptr, 0, 0, 500, 375, SWP_NOMOVE | SWP_NOZORDER);  // WM_SIZE
  // 30 * 1.25 = 37.5 -> 38, 40 * 1.25 = 50, 100 * 1.25 = 125, 50 * 1.25 = 62.5 -> 62.
  ExpectRect(PlacedRect(control), {38, 50, 125, 62}, 14);
  ::SetWindowPos(form.window(), nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
  ExpectRect(PlacedRect(control), {60, 80, 200, 100}, 14);
}

TEST(Anchors, ResizingFollowsAndSizesNeverGoNegative) {
  TestForm form(401, 301);
  HWND right = form.AddControl(L"BUTTON", 21, 30, 40, 100, 50);
  Anchor(*GetControlData(right), 13);
  HWND stretched = form.AddControl(L"TEXTBOX", 22, 30, 40, 100, 50);
  Anchor(*GetControlData(stretched), 5);
  HWND fixed = form.AddControl(L"BUTTON", 23, 30, 40, 100, 50);
  LayoutAnchors(form.window());
  // Odd sizes: W/2 and H/2 truncate (200, 150).
  ExpectRect(PlacedRect(right), {205, 143, 100, 50}, 13);

  // The form's procedure lays out on WM_SIZE; a minimised form is left alone.
  ::SetWindowPos(form.window(), nullptr, 0, 0, 35, 45, SWP_NOMOVE | SWP_NOZORDER);
  ExpectRect(PlacedRect(stretched), {30, 40, 0, 0}, 5);
  ExpectRect(PlacedRect(fixed), {30, 40, 100, 50}, 0);
  ::SendMessageW(form.window(), WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(1000, 1000));
  ExpectRect(PlacedRect(stretched), {30, 40, 0, 0}, 5);
}
