// PageCanvas: back buffer, GDI operations and GDI+ smooth operations.
#include "paint/canvas.h"

#include <cmath>

namespace zv {
namespace {

constexpr int kDesignDpi = 96;
constexpr float kDefaultPathFontSize = 9.0f * kPathFontEmFactor;  // 13.6872

void CopyFace(wchar_t (&out)[LF_FACESIZE], std::wstring_view face) {
  size_t n = face.size() < LF_FACESIZE - 1 ? face.size() : LF_FACESIZE - 1;  // at most 31
  face.copy(out, n);
  out[n] = L'\0';
}

LOGFONTW BaseLogFont(std::wstring_view face, int height, int weight, bool italic, bool underline,
                     bool strikeout, bool antialiased) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfStrikeOut = strikeout ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = antialiased ? ANTIALIASED_QUALITY : DEFAULT_QUALITY;
  CopyFace(lf.lfFaceName, face);
  return lf;
}

bool NullPenSelected(HDC dc) {
  LOGPEN pen{};
  return dc && ::GetObjectW(::GetCurrentObject(dc, OBJ_PEN), sizeof(pen), &pen) == sizeof(pen) &&
         pen.lopnStyle == PS_NULL;
}

}  // namespace


LOGFONTW MakeCanvasFont(std::wstring_view face, float size, bool bold, bool italic, bool underline,
                        bool strikeout, float scaleX, int screenDpiY) {
  int scaled = RoundHalfEven(static_cast<double>(size) * scaleX);
  int points = scaled * kDesignDpi / screenDpiY;
  return BaseLogFont(face, -::MulDiv(points, screenDpiY, 72), bold ? FW_BOLD : FW_NORMAL, italic,
                     underline, strikeout, points >= 24);
}

// ---- opening and closing ------------------------------------------------------------------

void PageCanvas::Begin(HWND target, COLORREF background, bool usePaint, int x, int y, int w,
                       int h, bool useWindowDc, int windowDpi) {
  Release();
  if (::IsWindow(target)) {
    window = target;
    openedForPaint = usePaint ? 1 : 0;
    if (usePaint) {
      targetDc = ::BeginPaint(target, &paintInfo);
    } else {
      targetDc = useWindowDc ? ::GetWindowDC(target) : ::GetDC(target);
    }
    originX = x;
    originY = y;
    if (w >= 1 && h >= 1) {
      width = w;
      height = h;
    } else {
      RECT r{};
      if (useWindowDc) {
        ::GetWindowRect(target, &r);
      } else {
        ::GetClientRect(target, &r);
      }
      width = r.right - r.left - x;
      height = r.bottom - r.top - y;
    }
    backBitmap.reset(::CreateCompatibleBitmap(targetDc, width, height));
    backDc.reset(::CreateCompatibleDC(targetDc));
    if (backDc) ::SelectObject(backDc.get(), backBitmap.get());
    if (background == kCanvasNoColor) {
      savedBitmap.reset(::CreateCompatibleBitmap(targetDc, width, height));
      if (savedBitmap) {
        savedDc.reset(::CreateCompatibleDC(backDc.get()));
        if (savedDc) ::SelectObject(savedDc.get(), savedBitmap.get());
      }
      ::BitBlt(savedDc.get(), 0, 0, width, height, targetDc, x, y, SRCCOPY);
      ::BitBlt(backDc.get(), 0, 0, width, height, targetDc, x, y, SRCCOPY);
    } else {
      Clear(background);
    }
    ::SetBkMode(backDc.get(), TRANSPARENT);
    scaleX = static_cast<float>((windowDpi ? windowDpi : ::GetDeviceCaps(targetDc, LOGPIXELSX)) / 96.0);
    scaleY = static_cast<float>((windowDpi ? windowDpi : ::GetDeviceCaps(targetDc, LOGPIXELSY)) / 96.0);
    dpi = windowDpi;
    StartGraphics();
    SetFont(kCanvasDefaultFace, 9, false, false, false, false);
  }
  SetSmoothPen(1.0f, 0xFF000000u);
}

void PageCanvas::BeginOffscreenAtScale(int w, int h, float sx, float sy) {
  Release();
  width = w;
  height = h;
  WindowDc screen = WindowDc::Client(nullptr);
  backBitmap.reset(::CreateCompatibleBitmap(screen.get(), w, h));
  backDc.reset(::CreateCompatibleDC(screen.get()));
  if (backDc) ::SelectObject(backDc.get(), backBitmap.get());
  ::SetBkMode(backDc.get(), TRANSPARENT);
  scaleX = sx;
  scaleY = sy;
  StartGraphics();
  SetFont(kCanvasDefaultFace, 9, false, false, false, false);
  SetSmoothPen(1.0f, 0xFF000000u);
  SetFillBrush(kCanvasNoColor);
}

void PageCanvas::StartGraphics() {
  const GdiplusApi* api = GdiplusLibrary();
  if (!api || !backDc) return;
  Gdiplus::GpGraphics* created = nullptr;
  if (api->GdipCreateFromHDC(backDc.get(), &created) != Gdiplus::Ok) return;
  graphics.reset(created);
  api->GdipSetSmoothingMode(created, Gdiplus::SmoothingModeAntiAlias);
  SetRotation(0.0f, 0.0f, 0.0f);  // the world transform: the DPI scale alone
}

void PageCanvas::End() {
  Present();
  Release();
}

void PageCanvas::Release() {
  smoothPen.reset();
  smoothBrush.reset();
  path.reset();
  pathFontFamily.reset();
  graphics.reset();
  if (window && ::IsWindow(window)) {
    if (openedForPaint) {
      ::EndPaint(window, &paintInfo);
    } else if (targetDc) {
      ::ReleaseDC(window, targetDc);
    }
  }
  // A bitmap, font, pen or brush is deleted only after the memory DC that holds it.
  backDc.reset();
  savedDc.reset();
  backBitmap.reset();
  savedBitmap.reset();
  font.reset();
  linePen.reset();
  fillBrush.reset();
  worldTransform.reset();
  paintInfo = PAINTSTRUCT{};
  targetDc = nullptr;
  window = nullptr;
  pathFontSize = 0.0f;
  pathFontStyle = 0;
  width = height = originX = originY = openedForPaint = dpi = 0;
  scaleX = scaleY = 1.0f;
}

void PageCanvas::Present() {
  if (targetDc) {
    ::BitBlt(targetDc, originX, originY, width, height, backDc.get(), 0, 0, SRCCOPY);
  }
}

void PageCanvas::Clear(COLORREF colour) {
  if (colour == kCanvasNoColor) {
    if (savedDc) ::BitBlt(backDc.get(), 0, 0, width, height, savedDc.get(), 0, 0, SRCCOPY);
    return;
  }
  GdiBrush brush(::CreateSolidBrush(colour));
  if (!brush || !backDc) return;
  RECT all{0, 0, width, height};
  ::FillRect(backDc.get(), &all, brush.get());
}

// ---- GDI operations -----------------------------------------------------------------------

void PageCanvas::SetLinePen(int w, COLORREF colour, int style) {
  HPEN created = ::CreatePen(w == 0 ? PS_NULL : style, DeviceX(w), colour);
  if (!created) return;  // keep drawing with the pen we have
  if (backDc) ::SelectObject(backDc.get(), created);
  linePen.reset(created);  // the replaced pen is no longer selected
}

void PageCanvas::SetFillBrush(COLORREF colour) {
  HBRUSH created = colour == kCanvasNoColor ? static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH))
                                            : ::CreateSolidBrush(colour);
  if (!created) return;
  if (backDc) ::SelectObject(backDc.get(), created);
  fillBrush.reset(created);
}

void PageCanvas::Line(int x1, int y1, int x2, int y2) {
  POINT points[2] = {{DeviceX(x1), DeviceY(y1)}, {DeviceX(x2), DeviceY(y2)}};
  ::Polyline(backDc.get(), points, 2);
}

void PageCanvas::Box(int x, int y, int w, int h) {
  if (w == 0 && h == 0) {
    // Up to the buffer's right and bottom edges. Without an outline Rectangle fills one pixel
    // short of the corner it is given, so the corner moves one pixel out.
    int extra = NullPenSelected(backDc.get()) ? 1 : 0;
    ::Rectangle(backDc.get(), DeviceX(x), DeviceY(y), width + extra, height + extra);
  } else {
    ::Rectangle(backDc.get(), DeviceX(x), DeviceY(y), DeviceX(x + w), DeviceY(y + h));
  }
}

void PageCanvas::SelectNewFont(HFONT created) {
  if (!created) return;
  if (backDc) ::SelectObject(backDc.get(), created);
  font.reset(created);
}

void PageCanvas::SetFont(std::wstring_view face, float size, bool bold, bool italic,
                         bool underline, bool strikeout) {
  // On a window moved to a screen of another scale, the font that screen would give.
  const ScreenDpi screen = GetScreenDpi();
  const int fontDpiY = dpi && dpi != screen.x ? dpi : screen.y;
  LOGFONTW lf = MakeCanvasFont(face, size, bold, italic, underline, strikeout, scaleX, fontDpiY);
  SelectNewFont(::CreateFontIndirectW(&lf));
}

void PageCanvas::SetFontEx(std::wstring_view face, float size, float w, float angle, int weight,
                           bool italic, bool underline, bool strikeout) {
  LOGFONTW lf = BaseLogFont(face, -::MulDiv(RoundHalfEven(static_cast<double>(size) * scaleX), 96, 72),
                            weight, italic, underline, strikeout, size > 16);
  lf.lfWidth = RoundHalfEven(static_cast<double>(w) * scaleX);
  lf.lfEscapement = static_cast<LONG>(std::floor(static_cast<double>(angle) * 10.0));
  SelectNewFont(::CreateFontIndirectW(&lf));
}

void PageCanvas::Text(int x, int y, std::wstring_view text) {
  ::TextOutW(backDc.get(), DeviceX(x), DeviceY(y), text.data(), static_cast<int>(text.size()));
}

int PageCanvas::TextInBox(int x, int y, int w, int h, std::wstring_view text, UINT format) {
  RECT box{DeviceX(x), DeviceY(y), DeviceX(x + w), DeviceY(y + h)};
  return ::DrawTextW(backDc.get(), text.data(), static_cast<int>(text.size()), &box, format);
}

void PageCanvas::SetTextColors(COLORREF foreground, COLORREF background) {
  ::SetTextColor(backDc.get(), foreground);
  if (background == kCanvasNoColor) {
    ::SetBkMode(backDc.get(), TRANSPARENT);
  } else {
    ::SetBkMode(backDc.get(), OPAQUE);
    ::SetBkColor(backDc.get(), background);
  }
}

// ---- smooth operations --------------------------------------------------------------------

void PageCanvas::SetSmoothPen(float w, uint32_t colour) {
  smoothPen.reset();
  const GdiplusApi* api = GdiplusLibrary();
  if (w < 0.01f || !api) return;
  Gdiplus::GpPen* created = nullptr;
  if (api->GdipCreatePen1(colour, w, Gdiplus::UnitPixel, &created) == Gdiplus::Ok) {
    smoothPen.reset(created);
  }
}

void PageCanvas::SetSmoothBrush(uint32_t colour) {
  smoothBrush.reset();
  const GdiplusApi* api = GdiplusLibrary();
  if (colour == 0 || !api) return;
  Gdiplus::GpSolidFill* created = nullptr;
  if (api->GdipCreateSolidFill(colour, &created) == Gdiplus::Ok) smoothBrush.reset(created);
}

void PageCanvas::SetArrowCaps(float endHeight, float endWidth, bool filled, float startHeight,
                              float startWidth) {
  const GdiplusApi* api = GdiplusLibrary();
  if (!api || !smoothPen) return;
  auto make = [&](float h, float w) {
    Gdiplus::GpAdjustableArrowCap* cap = nullptr;
    if (api->GdipCreateAdjustableArrowCap(h, w, filled ? TRUE : FALSE, &cap) != Gdiplus::Ok) {
      cap = nullptr;
    }
    return GpLineCapOwner(cap);  // the pen keeps its own copy
  };
  if (startHeight > 0 && startWidth > 0) {
    GpLineCapOwner cap = make(startHeight, startWidth);
    if (cap) api->GdipSetPenCustomStartCap(smoothPen.get(), cap.get());
  } else {
    api->GdipSetPenCustomStartCap(smoothPen.get(), nullptr);
  }
  if (endHeight > 0 && endWidth > 0) {
    GpLineCapOwner cap = make(endHeight, endWidth);
    if (cap) api->GdipSetPenCustomEndCap(smoothPen.get(), cap.get());
  }
}

namespace {

// Fills with the canvas's smooth brush, then outlines with its pen, each only when present.
template <typename Fill, typename Outline>
void FillThenOutline(const PageCanvas& c, Fill fill, Outline outline) {
  const GdiplusApi* api = GdiplusLibrary();
  if (!api || !c.graphics) return;
  if (c.smoothBrush) fill(*api, c.graphics.get(), c.smoothBrush.get());
  if (c.smoothPen) outline(*api, c.graphics.get(), c.smoothPen.get());
}

using Api = const GdiplusApi&;
using Graphics = Gdiplus::GpGraphics*;
using Brush = Gdiplus::GpSolidFill*;
using Pen = Gdiplus::GpPen*;
constexpr auto kNoFill = [](Api, Graphics, Brush) {};

}  // namespace

void PageCanvas::SmoothLine(float x1, float y1, float x2, float y2) {
  FillThenOutline(*this, kNoFill,
                  [&](Api api, Graphics g, Pen p) { api.GdipDrawLine(g, p, x1, y1, x2, y2); });
}

void PageCanvas::SmoothRect(float x, float y, float w, float h) {
  FillThenOutline(
      *this, [&](Api api, Graphics g, Brush b) { api.GdipFillRectangle(g, b, x, y, w, h); },
      [&](Api api, Graphics g, Pen p) { api.GdipDrawRectangle(g, p, x, y, w, h); });
}

void PageCanvas::SmoothEllipse(float x, float y, float w, float h) {
  FillThenOutline(
      *this, [&](Api api, Graphics g, Brush b) { api.GdipFillEllipse(g, b, x, y, w, h); },
      [&](Api api, Graphics g, Pen p) { api.GdipDrawEllipse(g, p, x, y, w, h); });
}

void PageCanvas::SmoothPie(float x, float y, float w, float h, float start, float sweep) {
  FillThenOutline(
      *this,
      [&](Api api, Graphics g, Brush b) { api.GdipFillPie(g, b, x, y, w, h, start, sweep); },
      [&](Api api, Graphics g, Pen p) { api.GdipDrawArc(g, p, x, y, w, h, start, sweep); });
}

void PageCanvas::SmoothPolygon(std::span<const Gdiplus::PointF> points, int fillMode) {
  if (points.empty()) return;
  int n = static_cast<int>(points.size());
  FillThenOutline(
      *this,
      [&](Api api, Graphics g, Brush b) {
        api.GdipFillPolygon(g, b, points.data(), n, static_cast<Gdiplus::GpFillMode>(fillMode));
      },
      [&](Api api, Graphics g, Pen p) { api.GdipDrawPolygon(g, p, points.data(), n); });
}

void PageCanvas::NewPath(int fillMode) {
  path.reset();
  const GdiplusApi* api = GdiplusLibrary();
  if (!api) return;
  Gdiplus::GpPath* created = nullptr;
  if (api->GdipCreatePath(static_cast<Gdiplus::GpFillMode>(fillMode), &created) == Gdiplus::Ok) {
    path.reset(created);
  }
}

void PageCanvas::PathLine(float x1, float y1, float x2, float y2) {
  if (!path) NewPath(Gdiplus::FillModeAlternate);
  if (path) GdiplusLibrary()->GdipAddPathLine(path.get(), x1, y1, x2, y2);
}

void PageCanvas::PathArc(float x, float y, float w, float h, float start, float sweep) {
  if (!path) NewPath(Gdiplus::FillModeAlternate);
  if (path) GdiplusLibrary()->GdipAddPathArc(path.get(), x, y, w, h, start, sweep);
}

void PageCanvas::FillDrawPath() {
  if (!path) return;
  Gdiplus::GpPath* figure = path.get();
  FillThenOutline(
      *this, [&](Api api, Graphics g, Brush b) { api.GdipFillPath(g, b, figure); },
      [&](Api api, Graphics g, Pen p) { api.GdipDrawPath(g, p, figure); });
}

void PageCanvas::SmoothRoundRect(float x, float y, float w, float h, float cw, float ch,
                                 int corners) {
  // An ellipse without width or height cannot shape a corner (GDI+ rejects such an arc and the
  // corner would vanish from the outline): such corners stay square.
  if (cw <= 0 || ch <= 0) corners = 0;
  NewPath(Gdiplus::FillModeAlternate);
  if (!path) return;
  auto corner = [&](int bit, float px, float py, float ax, float ay, float start) {
    if (corners & bit) {
      PathArc(ax, ay, cw, ch, start, 90);
    } else {
      PathLine(px, py, px, py);
    }
  };
  corner(1, x, y, x, y, 180);
  corner(4, x + w, y, x + w - cw, y, 270);
  corner(8, x + w, y + h, x + w - cw, y + h - ch, 0);
  corner(2, x, y + h, x, y + h - ch, 90);
  GdiplusLibrary()->GdipClosePathFigure(path.get());
  FillDrawPath();
}

void PageCanvas::SetRotation(float angle, float cx, float cy) {
  worldTransform.reset();
  const GdiplusApi* api = GdiplusLibrary();
  if (!api) return;
  Gdiplus::GpMatrix* created = nullptr;
  if (api->GdipCreateMatrix(&created) != Gdiplus::Ok) return;
  worldTransform.reset(created);
  api->GdipScaleMatrix(created, scaleX, scaleY, Gdiplus::MatrixOrderAppend);
  if (RoundHalfEven(angle) % 360 != 0) {
    api->GdipTranslateMatrix(created, -cx * scaleX, -cy * scaleY, Gdiplus::MatrixOrderAppend);
    api->GdipRotateMatrix(created, angle, Gdiplus::MatrixOrderAppend);
    api->GdipTranslateMatrix(created, cx * scaleX, cy * scaleY, Gdiplus::MatrixOrderAppend);
  }
  if (graphics) api->GdipSetWorldTransform(graphics.get(), created);
}

void PageCanvas::SetPathFont(std::wstring_view face, float size, bool bold, bool italic,
                             bool strikeout, bool underline) {
  pathFontFamily.reset();
  if (const GdiplusApi* api = GdiplusLibrary()) {
    wchar_t name[100];
    size_t n = face.size() < 99 ? face.size() : 99;
    face.copy(name, n);
    name[n] = L'\0';
    Gdiplus::GpFontFamily* created = nullptr;
    if (api->GdipCreateFontFamilyFromName(name, nullptr, &created) == Gdiplus::Ok) {
      pathFontFamily.reset(created);
    }
  }
  pathFontSize = size * kPathFontEmFactor;
  int style = bold && italic ? Gdiplus::FontStyleBoldItalic
              : bold         ? Gdiplus::FontStyleBold
              : italic       ? Gdiplus::FontStyleItalic
                             : Gdiplus::FontStyleRegular;
  if (strikeout) style += Gdiplus::FontStyleStrikeout;
  if (underline) style += Gdiplus::FontStyleUnderline;
  pathFontStyle = style;
}

void PageCanvas::PathText(float x, float y, float w, float h, std::wstring_view text) {
  const GdiplusApi* api = GdiplusLibrary();
  if (!api) return;
  if (pathFontSize == 0.0f) pathFontSize = kDefaultPathFontSize;
  if (!pathFontFamily) {
    Gdiplus::GpFontFamily* created = nullptr;
    if (api->GdipCreateFontFamilyFromName(kCanvasDefaultFace, nullptr, &created) == Gdiplus::Ok) {
      pathFontFamily.reset(created);
    }
  }
  Gdiplus::GpPath* created = nullptr;
  if (api->GdipCreatePath(Gdiplus::FillModeAlternate, &created) != Gdiplus::Ok) return;
  GpPathOwner glyphs(created);
  // A default string format: top-left alignment, wrapping at the layout width. Windows takes
  // no format for the same, some other GDI+ implementations insist on one.
  Gdiplus::GpStringFormat* format = nullptr;
  if (api->GdipCreateStringFormat(0, LANG_NEUTRAL, &format) != Gdiplus::Ok) format = nullptr;
  GpStringFormatOwner formatOwner(format);
  Gdiplus::RectF layout(x, y, w, h);
  api->GdipAddPathString(created, text.data(), static_cast<int>(text.size()),
                         pathFontFamily.get(), pathFontStyle, pathFontSize, &layout, format);
  // The outline of the glyphs' union, so that overlapping strokes draw no inner edges. Where
  // GDI+ cannot compute it the glyph path is drawn as it is.
  api->GdipWindingModeOutline(created, nullptr, 0.25f);
  if (!graphics) return;
  if (smoothPen) api->GdipDrawPath(graphics.get(), smoothPen.get(), created);
  if (smoothBrush) api->GdipFillPath(graphics.get(), smoothBrush.get(), created);
}

}  // namespace zv
