#include "tests/paint_win/paint_test_support.h"

#include <gtest/gtest.h>

#include "paint/gdiplus_api.h"

namespace zv::test {
namespace {

// GDI+ runs for the whole test program, as it does for the installer's window.
class GdiplusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { token_ = StartGdiplus(); ASSERT_NE(token_, 0u) << "GDI+ did not start"; }
  void TearDown() override { ShutdownGdiplus(token_); }

 private:
  ULONG_PTR token_ = 0;
};
const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;  // the tests own every pixel
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

COLORREF Pixel(const PageCanvas& canvas, int x, int y) {
  return ::GetPixel(canvas.backDc.get(), x, y);
}
bool IsDark(COLORREF c) {
  return c != CLR_INVALID && GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
}
bool IsWhite(COLORREF c) { return c == kWhite; }

int CountDark(const PageCanvas& canvas, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += IsDark(Pixel(canvas, x, y)) ? 1 : 0;
  }
  return n;
}

int CountColour(const PageCanvas& canvas, COLORREF colour, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += Pixel(canvas, x, y) == colour ? 1 : 0;
  }
  return n;
}

int DarkestRow(const PageCanvas& canvas, int x, int y0, int y1) {
  int best = y0, bestBrightness = 1000;
  for (int y = y0; y < y1; ++y) {
    int b = Brightness(Pixel(canvas, x, y));
    if (b < bestBrightness) {
      bestBrightness = b;
      best = y;
    }
  }
  return best;
}

void OpenWhite(PageCanvas& canvas, int width, int height, float scale) {
  canvas.BeginOffscreenAtScale(width, height, scale, scale);
  canvas.Clear(kWhite);
}

TestWindow::TestWindow(int width, int height, bool visible) {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZvPaintTestWindow";
    return ::RegisterClassW(&wc);
  }();
  RECT r{0, 0, width, height};
  ::AdjustWindowRectEx(&r, WS_POPUP, FALSE, 0);
  window_ = ::CreateWindowExW(0, MAKEINTATOM(atom), L"paint test",
                              WS_POPUP | (visible ? WS_VISIBLE : 0), 50, 50,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
  if (visible) ::UpdateWindow(window_);
}

TestWindow::~TestWindow() {
  if (window_) ::DestroyWindow(window_);
}

void TestWindow::Fill(COLORREF colour) {
  WindowDc dc = WindowDc::Client(window_);
  GdiBrush brush(::CreateSolidBrush(colour));
  RECT r{};
  ::GetClientRect(window_, &r);
  ::FillRect(dc.get(), &r, brush.get());
}

COLORREF TestWindow::ClientPixel(int x, int y) const {
  WindowDc dc = WindowDc::Client(window_);
  return ::GetPixel(dc.get(), x, y);
}

}  // namespace zv::test
