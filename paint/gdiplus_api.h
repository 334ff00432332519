// GDI+ flat API, loaded at run time.
//
// The installer runs elevated, often straight from a downloads folder, so it must not let the
// loader search that folder for gdiplus.dll: GDI+ is kept out of the import table and loaded from
// the system folder only, after the process has restricted its DLL search. Every function we call
// is resolved by name into one table; when the DLL or any of its functions is missing, GdiplusLibrary()
// gives null and everything drawing through GDI+ quietly does nothing.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include "win/handles.h"

namespace zv {

// The flat functions the installer uses, by their exported names. (Tools that do more, such as
// saving images, import the rest themselves: every name here is installer bytes.)
#define ZV_GDIPLUS_FUNCTIONS(X)                                                               \
  X(GdipCreateFromHDC) X(GdipDeleteGraphics) X(GdipSetSmoothingMode) X(GdipSetClipRect)        \
  X(GdipResetClip) X(GdipSetWorldTransform) X(GdipGetWorldTransform) X(GdipCreateMatrix)        \
  X(GdipDeleteMatrix) X(GdipScaleMatrix) X(GdipTranslateMatrix) X(GdipRotateMatrix)             \
  X(GdipGetMatrixElements) X(GdipCreatePen1) X(GdipDeletePen) X(GdipSetPenStartCap)             \
  X(GdipSetPenEndCap) X(GdipSetPenCustomStartCap) X(GdipSetPenCustomEndCap)                     \
  X(GdipSetPenDashStyle) X(GdipSetPenLineJoin) X(GdipCreateAdjustableArrowCap)                  \
  X(GdipDeleteCustomLineCap) X(GdipCreateSolidFill) X(GdipDeleteBrush) X(GdipDrawLine)          \
  X(GdipDrawLines) X(GdipFillRectangle) X(GdipDrawRectangle) X(GdipFillEllipse)                 \
  X(GdipDrawEllipse) X(GdipFillPie) X(GdipDrawPie) X(GdipDrawArc) X(GdipFillPolygon)            \
  X(GdipDrawPolygon) X(GdipFillClosedCurve2) X(GdipDrawClosedCurve2) X(GdipDrawCurve2)          \
  X(GdipCreatePath) X(GdipDeletePath) X(GdipAddPathLine) X(GdipAddPathArc)                      \
  X(GdipAddPathBezier) X(GdipAddPathBeziers) X(GdipAddPathCurve) X(GdipAddPathRectangle)        \
  X(GdipAddPathEllipse) X(GdipAddPathString) X(GdipClosePathFigure) X(GdipWindingModeOutline)   \
  X(GdipFillPath) X(GdipDrawPath) X(GdipCreateFontFamilyFromName) X(GdipDeleteFontFamily)       \
  X(GdipCreateStringFormat) X(GdipDeleteStringFormat)

struct GdiplusApi {
#define ZV_GDIPLUS_FIELD(name) decltype(&Gdiplus::DllExports::name) name = nullptr;
  ZV_GDIPLUS_FUNCTIONS(ZV_GDIPLUS_FIELD)
#undef ZV_GDIPLUS_FIELD
  decltype(&Gdiplus::GdiplusStartup) GdiplusStartup = nullptr;
  decltype(&Gdiplus::GdiplusShutdown) GdiplusShutdown = nullptr;
};

// Loads gdiplus.dll from the system folder on first use and resolves the table; null when that
// failed. The library stays loaded for the life of the process. Owning thread of the UI only.
const GdiplusApi* GdiplusLibrary();

// GdiplusStartup with a version 1 input: a token for ShutdownGdiplus, 0 when GDI+ is unavailable
// or refused to start (drawing through GDI+ then does nothing).
ULONG_PTR StartGdiplus();
// GdiplusShutdown for a token from StartGdiplus; 0 is ignored.
void ShutdownGdiplus(ULONG_PTR token);

// Starts GDI+ for its lifetime: the installer's entry holds one around its window.
class GdiplusSession {
 public:
  GdiplusSession() noexcept : token_(StartGdiplus()) {}
  ~GdiplusSession() { ShutdownGdiplus(token_); }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool started() const noexcept { return token_ != 0; }

 private:
  ULONG_PTR token_;
};

// Owners of GDI+ objects. They only ever hold objects created through the table, so the table
// is there whenever one has to be released.
template <typename T, auto Member>
struct GdiplusTraits {
  using Value = T*;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) {
    if (const GdiplusApi* api = GdiplusLibrary()) (api->*Member)(v);
  }
};
using GpGraphicsOwner = Owned<GdiplusTraits<Gdiplus::GpGraphics, &GdiplusApi::GdipDeleteGraphics>>;
using GpPenOwner = Owned<GdiplusTraits<Gdiplus::GpPen, &GdiplusApi::GdipDeletePen>>;
using GpBrushOwner = Owned<GdiplusTraits<Gdiplus::GpSolidFill, &GdiplusApi::GdipDeleteBrush>>;
using GpPathOwner = Owned<GdiplusTraits<Gdiplus::GpPath, &GdiplusApi::GdipDeletePath>>;
using GpMatrixOwner = Owned<GdiplusTraits<Gdiplus::GpMatrix, &GdiplusApi::GdipDeleteMatrix>>;
using GpFontFamilyOwner =
    Owned<GdiplusTraits<Gdiplus::GpFontFamily, &GdiplusApi::GdipDeleteFontFamily>>;
using GpLineCapOwner =
    Owned<GdiplusTraits<Gdiplus::GpCustomLineCap, &GdiplusApi::GdipDeleteCustomLineCap>>;
using GpStringFormatOwner =
    Owned<GdiplusTraits<Gdiplus::GpStringFormat, &GdiplusApi::GdipDeleteStringFormat>>;

}  // namespace zv
