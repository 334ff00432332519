// A PictureSink that records every call, as readable text and with the exact point lists.
#pragma once

#include <string>
#include <vector>

#include "paint/vector_picture.h"

namespace zv::test {

class RecordingSink : public PictureSink {
 public:
  // One line per call, e.g. "SmoothLine(0 0 100 100)"; numbers printed with %g.
  std::vector<std::string> calls;
  // The point lists handed over, in call order (polygons, polylines, curves, Béziers).
  std::vector<std::vector<PicturePoint>> pointLists;

  // Calls without the clip pair that frames every picture.
  std::vector<std::string> Drawing() const;

  void SetClip(float x, float y, float width, float height) override;
  void ResetClip() override;
  void SetSmoothBrush(uint32_t argb) override;
  void SetSmoothPen(float width, uint32_t argb) override;
  void SetPenStartCap(int lineCap) override;
  void SetPenEndCap(int lineCap) override;
  void SetArrowCaps(float endHeight, float endWidth, bool filled, float startHeight,
                    float startWidth) override;
  void SetPenDashStyle(int dashStyle) override;
  void SetPenLineJoin(int lineJoin) override;
  void SmoothLine(float x1, float y1, float x2, float y2) override;
  void SmoothRect(float x, float y, float width, float height) override;
  void SmoothRoundRect(float x, float y, float width, float height, float cornerWidth,
                       float cornerHeight, int corners) override;
  void SmoothEllipse(float x, float y, float width, float height) override;
  void SmoothPie(float x, float y, float width, float height, float startAngle,
                 float sweepAngle) override;
  void SmoothPolygon(std::span<const PicturePoint> points, int fillMode) override;
  void DrawLines(std::span<const PicturePoint> points) override;
  void FillPie(float x, float y, float width, float height, float startAngle,
               float sweepAngle) override;
  void DrawPie(float x, float y, float width, float height, float startAngle,
               float sweepAngle) override;
  void NewPath(int fillMode) override;
  void AddPathBeziers(std::span<const PicturePoint> points) override;
  void AddPathLine(float x1, float y1, float x2, float y2) override;
  void AddPathCurve(std::span<const PicturePoint> points) override;
  void AddPathBezier(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                     float y4) override;
  void AddPathRectangle(float x, float y, float width, float height) override;
  void AddPathEllipse(float x, float y, float width, float height) override;
  void ClosePathFigure() override;
  void FillDrawPath() override;
  void FillClosedCurve2(std::span<const PicturePoint> points, float tension,
                        int fillMode) override;
  void DrawClosedCurve2(std::span<const PicturePoint> points, float tension) override;
  void DrawCurve2(std::span<const PicturePoint> points, float tension) override;
  void SetPathFont(std::string_view face, float size, bool bold, bool italic, bool strikeout,
                   bool underline) override;
  void PathText(float x, float y, float width, float height, std::string_view text) override;

 private:
  void Add(const char* name, std::initializer_list<double> numbers, std::string tail = {});
  void AddPoints(const char* name, std::span<const PicturePoint> points,
                 std::initializer_list<double> numbers);
};

// Encodes a parameter as two characters ("SK" for 0, "eU" for 1000).
std::string V(int value);
// Encodes a point as four characters.
std::string Pt(int x, int y);

}  // namespace zv::test
