// Helpers of the paint tests: GDI+ for the whole test program, pixel reading and a real window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "paint/canvas.h"

namespace zv::test {

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);

COLORREF Pixel(const PageCanvas& canvas, int x, int y);
// True when every channel of the pixel is below half: black and dense anti-aliased black edges.
bool IsDark(COLORREF c);
bool IsWhite(COLORREF c);
// Number of pixels in the device rectangle [x0, x1) x [y0, y1) for which IsDark holds.
int CountDark(const PageCanvas& canvas, int x0, int y0, int x1, int y1);
// Number of pixels of exactly that colour in the device rectangle [x0, x1) x [y0, y1).
int CountColour(const PageCanvas& canvas, COLORREF colour, int x0, int y0, int x1, int y1);
// The row in column x, within [y0, y1), whose pixel is darkest.
int DarkestRow(const PageCanvas& canvas, int x, int y0, int y1);

// An offscreen canvas of the given device size at the given scale, cleared to white.
void OpenWhite(PageCanvas& canvas, int width, int height, float scale);

// A top-level popup window with the given client size, destroyed with the object.
class TestWindow {
 public:
  TestWindow(int width, int height, bool visible = true);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND get() const { return window_; }
  // Fills the client area through a window DC, as another painter would.
  void Fill(COLORREF colour);
  COLORREF ClientPixel(int x, int y) const;

 private:
  HWND window_ = nullptr;
};

}  // namespace zv::test
