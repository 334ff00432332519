#include "tests/picture/recording_sink.h"

#include <cstdio>

namespace zv::test {

namespace {
std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}
std::string Hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(v));
  return buffer;
}
}  // namespace

std::string V(int value) {
  int raw = value + 1000;
  return {static_cast<char>(raw / 55 + 65), static_cast<char>(raw % 55 + 65)};
}
std::string Pt(int x, int y) { return V(x) + V(y); }

std::vector<std::string> RecordingSink::Drawing() const {
  std::vector<std::string> result;
  for (const std::string& call : calls)
    if (call.rfind("SetClip", 0) != 0 && call != "ResetClip()") result.push_back(call);
  return result;
}

void RecordingSink::Add(const char* name, std::initializer_list<double> numbers,
                        std::string tail) {
  std::string line = std::string(name) + "(";
  bool first = true;
  for (double n : numbers) {
    if (!first) line += " ";
    line += Number(n);
    first = false;
  }
  if (!tail.empty()) line += (first ? "" : " ") + tail;
  calls.push_back(line + ")");
}

void RecordingSink::AddPoints(const char* name, std::span<const PicturePoint> points,
                              std::initializer_list<double> numbers) {
  pointLists.emplace_back(points.begin(), points.end());
  std::string text;
  for (const PicturePoint& p : points) {
    if (!text.empty()) text += " ";
    text += Number(p.x) + "," + Number(p.y);
  }
  Add(name, numbers, "[" + text + "]");
}

void RecordingSink::SetClip(float x, float y, float w, float h) { Add("SetClip", {x, y, w, h}); }
void RecordingSink::ResetClip() { Add("ResetClip", {}); }
void RecordingSink::SetSmoothBrush(uint32_t argb) { Add("SetSmoothBrush", {}, Hex(argb)); }
void RecordingSink::SetSmoothPen(float width, uint32_t argb) {
  Add("SetSmoothPen", {width}, Hex(argb));
}
void RecordingSink::SetPenStartCap(int cap) { Add("SetPenStartCap", {double(cap)}); }
void RecordingSink::SetPenEndCap(int cap) { Add("SetPenEndCap", {double(cap)}); }
void RecordingSink::SetArrowCaps(float eh, float ew, bool filled, float sh, float sw) {
  Add("SetArrowCaps", {eh, ew, double(filled), sh, sw});
}
void RecordingSink::SetPenDashStyle(int style) { Add("SetPenDashStyle", {double(style)}); }
void RecordingSink::SetPenLineJoin(int join) { Add("SetPenLineJoin", {double(join)}); }
void RecordingSink::SmoothLine(float x1, float y1, float x2, float y2) {
  Add("SmoothLine", {x1, y1, x2, y2});
}
void RecordingSink::SmoothRect(float x, float y, float w, float h) { Add("SmoothRect", {x, y, w, h}); }
void RecordingSink::SmoothRoundRect(float x, float y, float w, float h, float cw, float ch,
                                    int corners) {
  Add("SmoothRoundRect", {x, y, w, h, cw, ch, double(corners)});
}
void RecordingSink::SmoothEllipse(float x, float y, float w, float h) {
  Add("SmoothEllipse", {x, y, w, h});
}
void RecordingSink::SmoothPie(float x, float y, float w, float h, float start, float sweep) {
  Add("SmoothPie", {x, y, w, h, start, sweep});
}
void RecordingSink::SmoothPolygon(std::span<const PicturePoint> points, int fillMode) {
  AddPoints("SmoothPolygon", points, {double(fillMode)});
}
void RecordingSink::DrawLines(std::span<const PicturePoint> points) {
  AddPoints("DrawLines", points, {});
}
void RecordingSink::FillPie(float x, float y, float w, float h, float start, float sweep) {
  Add("FillPie", {x, y, w, h, start, sweep});
}
void RecordingSink::DrawPie(float x, float y, float w, float h, float start, float sweep) {
  Add("DrawPie", {x, y, w, h, start, sweep});
}
void RecordingSink::NewPath(int fillMode) { Add("NewPath", {double(fillMode)}); }
void RecordingSink::AddPathBeziers(std::span<const PicturePoint> points) {
  AddPoints("AddPathBeziers", points, {});
}
void RecordingSink::AddPathLine(float x1, float y1, float x2, float y2) {
  Add("AddPathLine", {x1, y1, x2, y2});
}
void RecordingSink::AddPathCurve(std::span<const PicturePoint> points) {
  AddPoints("AddPathCurve", points, {});
}
void RecordingSink::AddPathBezier(float x1, float y1, float x2, float y2, float x3, float y3,
                                  float x4, float y4) {
  Add("AddPathBezier", {x1, y1, x2, y2, x3, y3, x4, y4});
}
void RecordingSink::AddPathRectangle(float x, float y, float w, float h) {
  Add("AddPathRectangle", {x, y, w, h});
}
void RecordingSink::AddPathEllipse(float x, float y, float w, float h) {
  Add("AddPathEllipse", {x, y, w, h});
}
void RecordingSink::ClosePathFigure() { Add("ClosePathFigure", {}); }
void RecordingSink::FillDrawPath() { Add("FillDrawPath", {}); }
void RecordingSink::FillClosedCurve2(std::span<const PicturePoint> points, float tension,
                                     int fillMode) {
  AddPoints("FillClosedCurve2", points, {tension, double(fillMode)});
}
void RecordingSink::DrawClosedCurve2(std::span<const PicturePoint> points, float tension) {
  AddPoints("DrawClosedCurve2", points, {tension});
}
void RecordingSink::DrawCurve2(std::span<const PicturePoint> points, float tension) {
  AddPoints("DrawCurve2", points, {tension});
}
void RecordingSink::SetPathFont(std::string_view face, float size, bool bold, bool italic,
                                bool strikeout, bool underline) {
  Add("SetPathFont", {size, double(bold), double(italic), double(strikeout), double(underline)},
      "'" + std::string(face) + "'");
}
void RecordingSink::PathText(float x, float y, float w, float h, std::string_view text) {
  Add("PathText", {x, y, w, h}, "'" + std::string(text) + "'");
}

}  // namespace zv::test
