// PaintVectorPicture: the picture reader's drawing sink on the page canvas.
#include <cstddef>

#include "paint/picture_painter.h"
#include "paint/vector_picture.h"

namespace zv {
namespace {

static_assert(sizeof(PicturePoint) == sizeof(Gdiplus::PointF) &&
                  offsetof(PicturePoint, y) == sizeof(float),
              "picture points are handed to GDI+ as they are");

const Gdiplus::PointF* AsGdiplus(std::span<const PicturePoint> points) {
  return reinterpret_cast<const Gdiplus::PointF*>(points.data());
}
int Count(std::span<const PicturePoint> points) { return static_cast<int>(points.size()); }

class CanvasPictureSink final : public PictureSink {
 public:
  CanvasPictureSink(PageCanvas& canvas, const GdiplusApi* api) : c_(canvas), api_(api) {}

  void SetClip(float x, float y, float width, float height) override {
    if (Graphics()) api_->GdipSetClipRect(Graphics(), x, y, width, height, Gdiplus::CombineModeReplace);
  }
  void ResetClip() override {
    if (Graphics()) api_->GdipResetClip(Graphics());
  }

  void SetSmoothBrush(uint32_t argb) override { c_.SetSmoothBrush(argb); }
  void SetSmoothPen(float width, uint32_t argb) override { c_.SetSmoothPen(width, argb); }
  void SetPenStartCap(int lineCap) override {
    if (Pen()) api_->GdipSetPenStartCap(Pen(), static_cast<Gdiplus::GpLineCap>(lineCap));
  }
  void SetPenEndCap(int lineCap) override {
    if (Pen()) api_->GdipSetPenEndCap(Pen(), static_cast<Gdiplus::GpLineCap>(lineCap));
  }
  void SetArrowCaps(float endHeight, float endWidth, bool filled, float startHeight,
                    float startWidth) override {
    c_.SetArrowCaps(endHeight, endWidth, filled, startHeight, startWidth);
  }
  void SetPenDashStyle(int dashStyle) override {
    if (Pen()) api_->GdipSetPenDashStyle(Pen(), static_cast<Gdiplus::GpDashStyle>(dashStyle));
  }
  void SetPenLineJoin(int lineJoin) override {
    if (Pen()) api_->GdipSetPenLineJoin(Pen(), static_cast<Gdiplus::GpLineJoin>(lineJoin));
  }

  void SmoothLine(float x1, float y1, float x2, float y2) override { c_.SmoothLine(x1, y1, x2, y2); }
  void SmoothRect(float x, float y, float w, float h) override { c_.SmoothRect(x, y, w, h); }
  void SmoothRoundRect(float x, float y, float w, float h, float cw, float ch,
                       int corners) override {
    c_.SmoothRoundRect(x, y, w, h, cw, ch, corners);
  }
  void SmoothEllipse(float x, float y, float w, float h) override { c_.SmoothEllipse(x, y, w, h); }
  void SmoothPie(float x, float y, float w, float h, float start, float sweep) override {
    c_.SmoothPie(x, y, w, h, start, sweep);
  }
  void SmoothPolygon(std::span<const PicturePoint> points, int fillMode) override {
    c_.SmoothPolygon({AsGdiplus(points), points.size()}, fillMode);
  }
  void DrawLines(std::span<const PicturePoint> points) override {
    if (Graphics() && Pen()) api_->GdipDrawLines(Graphics(), Pen(), AsGdiplus(points), Count(points));
  }
  void FillPie(float x, float y, float w, float h, float start, float sweep) override {
    if (Graphics() && Brush()) api_->GdipFillPie(Graphics(), Brush(), x, y, w, h, start, sweep);
  }
  void DrawPie(float x, float y, float w, float h, float start, float sweep) override {
    if (Graphics() && Pen()) api_->GdipDrawPie(Graphics(), Pen(), x, y, w, h, start, sweep);
  }

  void NewPath(int fillMode) override { c_.NewPath(fillMode); }
  void AddPathBeziers(std::span<const PicturePoint> points) override {
    if (Path()) api_->GdipAddPathBeziers(Path(), AsGdiplus(points), Count(points));
  }
  void AddPathLine(float x1, float y1, float x2, float y2) override {
    if (Path()) api_->GdipAddPathLine(Path(), x1, y1, x2, y2);
  }
  void AddPathCurve(std::span<const PicturePoint> points) override {
    if (Path()) api_->GdipAddPathCurve(Path(), AsGdiplus(points), Count(points));
  }
  void AddPathBezier(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                     float y4) override {
    if (Path()) api_->GdipAddPathBezier(Path(), x1, y1, x2, y2, x3, y3, x4, y4);
  }
  void AddPathRectangle(float x, float y, float w, float h) override {
    if (Path()) api_->GdipAddPathRectangle(Path(), x, y, w, h);
  }
  void AddPathEllipse(float x, float y, float w, float h) override {
    if (Path()) api_->GdipAddPathEllipse(Path(), x, y, w, h);
  }
  void ClosePathFigure() override {
    if (Path()) api_->GdipClosePathFigure(Path());
  }
  void FillDrawPath() override { c_.FillDrawPath(); }

  void FillClosedCurve2(std::span<const PicturePoint> points, float tension,
                        int fillMode) override {
    if (Graphics() && Brush()) {
      api_->GdipFillClosedCurve2(Graphics(), Brush(), AsGdiplus(points), Count(points), tension,
                                 static_cast<Gdiplus::GpFillMode>(fillMode));
    }
  }
  void DrawClosedCurve2(std::span<const PicturePoint> points, float tension) override {
    if (Graphics() && Pen()) {
      api_->GdipDrawClosedCurve2(Graphics(), Pen(), AsGdiplus(points), Count(points), tension);
    }
  }
  void DrawCurve2(std::span<const PicturePoint> points, float tension) override {
    if (Graphics() && Pen()) {
      api_->GdipDrawCurve2(Graphics(), Pen(), AsGdiplus(points), Count(points), tension);
    }
  }

  void SetPathFont(std::string_view face, float size, bool bold, bool italic, bool strikeout,
                   bool underline) override {
    // A face that names no installed font leaves the canvas without a family, and PathText
    // then draws in the default face.
    c_.SetPathFont(PictureTextToWide(face), size, bold, italic, strikeout, underline);
  }
  void PathText(float x, float y, float w, float h, std::string_view text) override {
    c_.PathText(x, y, w, h, PictureTextToWide(text));
  }

 private:
  Gdiplus::GpGraphics* Graphics() const { return c_.graphics.get(); }
  Gdiplus::GpPen* Pen() const { return c_.smoothPen.get(); }
  Gdiplus::GpSolidFill* Brush() const { return c_.smoothBrush.get(); }
  // The path the reader appends to; an alternate-mode one is started when there is none.
  Gdiplus::GpPath* Path() {
    if (!c_.path) c_.NewPath(Gdiplus::FillModeAlternate);
    return c_.path.get();
  }

  PageCanvas& c_;
  const GdiplusApi* api_;
};

void PrintTooLong() {
  // The one console line of the program, in the user's code page like any other console text.
  static const wchar_t kText[] = L"异常长度\n";
  char bytes[64];
  int n = ::WideCharToMultiByte(CP_ACP, 0, kText, -1, bytes, sizeof(bytes), nullptr, nullptr);
  if (n <= 0) return;
  // Written to the standard output handle directly: the C runtime's streams would be a lot of
  // installer for one line.
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(n - 1), &written, nullptr);
}

}  // namespace

std::wstring PictureTextToWide(std::string_view text, UINT codePage) {
  std::wstring wide;
  if (text.empty()) return wide;
  int length = static_cast<int>(text.size());
  int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (n > 0) {
    wide.resize(static_cast<size_t>(n));
    n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), n);
  }
  if (n <= 0) {
    wide.clear();
    for (char c : text) {
      auto byte = static_cast<unsigned char>(c);
      wide.push_back(byte < 0x80 ? static_cast<wchar_t>(byte) : L'?');
    }
  }
  return wide;
}

void PaintVectorPicture(PageCanvas& canvas, float x, float y, float width, float height,
                        std::string_view picture, std::string_view colours) {
  // Without GDI+ no graphics, pen, brush or path exists, and the sink draws nothing.
  CanvasPictureSink sink(canvas, GdiplusLibrary());
  if (ReadVectorPicture(picture, x, y, width, height, colours, sink) == PictureStatus::kTooLong) {
    PrintTooLong();
  }
}

}  // namespace zv
