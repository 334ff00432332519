// PageCanvas: the double-buffered surface a page is painted on during one WM_PAINT.
//
// All drawing goes to an off-screen back buffer that is copied to the window in one block
// transfer when the canvas is closed. Two families of operations share the buffer:
//  - GDI operations (text, one-pixel lines, flat boxes) take integer design units and scale them
//    with the DPI factors, rounding to nearest with halves to even; colours are COLORREF.
//  - Smooth operations (GDI+, anti-aliased) take float design units; the graphics' world
//    transform does the scaling. Colours are ARGB (0xAARRGGBB).
// A design unit is one pixel at 96 DPI. Every setter releases the object it replaces, End
// releases the rest. A canvas opened on a handle that is not a window is inert.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "paint/gdiplus_api.h"
#include "base/text.h"
#include "win/handles.h"
#include "win/screen.h"

namespace zv {

inline constexpr COLORREF kCanvasNoColor = 0xFFFFFFFFu;  // -1: saved background / hollow / transparent
inline constexpr float kPathFontEmFactor = 1.5208f;     // point size -> em size of PathText
inline constexpr wchar_t kCanvasDefaultFace[] = L"Microsoft YaHei";

// The LOGFONTW of PageCanvas::SetFont for a size in points at a horizontal scale factor, on a
// screen of vertical DPI screenDpiY: 9 points give a height of -12 at 96 DPI and -18 at 144 DPI
// (scale 1.5); the quality turns to anti-aliased from a scaled size of 24 upward.
LOGFONTW MakeCanvasFont(std::wstring_view face, float size, bool bold, bool italic, bool underline,
                        bool strikeout, float scaleX, int screenDpiY);

struct PageCanvas {
  PageCanvas() = default;
  ~PageCanvas() { Release(); }  // a canvas that was never ended is released without presenting
  PageCanvas(const PageCanvas&) = delete;
  PageCanvas& operator=(const PageCanvas&) = delete;

  // Opening and closing. background: COLORREF, or kCanvasNoColor to start from the window's
  // pixels. x, y, width, height: the covered part of the window in device pixels; a width or
  // height below 1 reaches the right or bottom edge. dpi: the window's own DPI (a form moved to
  // a screen of another scale), or 0 for the DC's.
  void Begin(HWND window, COLORREF background, bool usePaint, int x, int y, int width, int height,
             bool useWindowDc, int dpi = 0);
  // A canvas on a screen-compatible bitmap of width x height device pixels and no window, at
  // explicit scale factors (tools and tests render at any DPI this way).
  void BeginOffscreenAtScale(int width, int height, float scaleX, float scaleY);
  void End();      // Present, then release everything
  void Present();  // copy the back buffer to the target DC
  void Clear(COLORREF colour);  // fill the buffer, or kCanvasNoColor: restore the saved background

  // GDI operations: integer design units, COLORREF colours.
  void SetLinePen(int width, COLORREF colour, int style);  // width 0: the null pen
  void SetFillBrush(COLORREF colour);                     // kCanvasNoColor: hollow
  void Line(int x1, int y1, int x2, int y2);
  void Box(int x, int y, int w, int h);  // 0, 0, 0, 0 after the position: to the buffer's edges
  void SetFont(std::wstring_view face, float size, bool bold, bool italic, bool underline,
               bool strikeout);
  void Text(int x, int y, std::wstring_view text);
  int TextInBox(int x, int y, int w, int h, std::wstring_view text, UINT format);
  void SetTextColors(COLORREF foreground, COLORREF background);  // background -1: transparent
  void SetFontEx(std::wstring_view face, float size, float width, float angle, int weight,
                 bool italic, bool underline, bool strikeout);

  // Smooth operations: float design units, ARGB colours, angles in degrees clockwise.
  void SetSmoothPen(float width, uint32_t colour);  // width below 0.01: no pen
  void SetSmoothBrush(uint32_t colour);             // 0: no brush
  void SetArrowCaps(float endHeight, float endWidth, bool filled, float startHeight,
                    float startWidth);
  void SmoothLine(float x1, float y1, float x2, float y2);
  void SmoothRect(float x, float y, float w, float h);
  void SmoothEllipse(float x, float y, float w, float h);
  void SmoothPie(float x, float y, float w, float h, float start, float sweep);
  void SmoothPolygon(std::span<const Gdiplus::PointF> points, int fillMode);
  // corners: 1 top-left, 2 bottom-left, 4 top-right, 8 bottom-right; cw, ch: full size of the
  // ellipse that shapes a corner.
  void SmoothRoundRect(float x, float y, float w, float h, float cw, float ch, int corners);
  void NewPath(int fillMode);
  void PathLine(float x1, float y1, float x2, float y2);
  void PathArc(float x, float y, float w, float h, float start, float sweep);
  void FillDrawPath();
  void SetRotation(float angle, float cx, float cy);
  void SetPathFont(std::wstring_view face, float size, bool bold, bool italic, bool strikeout,
                   bool underline);
  void PathText(float x, float y, float w, float h, std::wstring_view text);

  // The record. Declared so that members are destroyed in a safe order: GDI+ objects first,
  // then the memory DCs, then the bitmaps and GDI objects they held.
  PAINTSTRUCT paintInfo{};
  GpMatrixOwner worldTransform;
  GdiFont font;
  GdiPen linePen;
  GdiBrush fillBrush;  // may hold the stock hollow brush; deleting a stock object does nothing
  GdiBitmap backBitmap;
  GdiBitmap savedBitmap;
  MemoryDc backDc;
  MemoryDc savedDc;
  HDC targetDc = nullptr;  // from BeginPaint, GetWindowDC or GetDC; given back by End
  GpFontFamilyOwner pathFontFamily;
  float pathFontSize = 0.0f;  // em size; 0 = not set
  int32_t pathFontStyle = 0;  // FontStyle bits: bold 1, italic 2, underline 4, strikeout 8
  GpPenOwner smoothPen;
  GpBrushOwner smoothBrush;
  GpPathOwner path;
  GpGraphicsOwner graphics;
  HWND window = nullptr;
  int32_t width = 0, height = 0;
  int32_t originX = 0, originY = 0;
  int32_t openedForPaint = 0;
  float scaleX = 1.0f, scaleY = 1.0f;
  int32_t dpi = 0;  // the window's DPI when Begin was given one, else 0 (the screen's)

 private:
  void Release();
  void StartGraphics();       // graphics with anti-aliasing and the DPI world transform
  void SelectNewFont(HFONT created);
  int DeviceX(double v) const { return RoundHalfEven(v * scaleX); }
  int DeviceY(double v) const { return RoundHalfEven(v * scaleY); }
};

}  // namespace zv
