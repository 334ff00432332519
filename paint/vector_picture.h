// Vector pictures: drawings stored as one line of printable 8-bit text in a 1000 x 1000 unit
// space, painted into any box. This is the portable reader: it decodes the text and hands every
// drawing step, already mapped to design units, to a PictureSink. The Win32 painter implements
// the sink on the page canvas (GDI+); tests implement it with a recorder.
//
// Notation in short: an optional "{...}" header (skipped), an optional colour list
// "(AARRGGBB,...)" for palette entries 1..16, then commands separated by "+". A command is a
// letter a..i followed by parameters: one character "0".."@" for 0..16, two characters
// "A".."x" for -1000..2080 ("SK" = 0, "eU" = 1000), "." + c skips c - 48 positions, and
// "&" starts a text run whose length is the parameter before it. "*" (prefix copy) and "%"
// (point repeat) reuse the previous command.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zv {

// One point in design units; same layout as GDI+'s GpPointF (two 32-bit floats).
struct PicturePoint {
  float x;
  float y;
};

// The drawing operations the reader issues. Coordinates, sizes and widths are design units
// (already mapped from the picture's 1000-unit space into the target box); colours are ARGB
// (0 = no colour); angles are degrees, clockwise. Every fill uses the current smooth brush and
// every outline the current smooth pen, each only when there is one (the implementation
// decides; the reader never asks). Font names and texts are the picture's raw 8-bit bytes; the
// implementation converts them (ANSI code page on Windows).
class PictureSink {
 public:
  virtual ~PictureSink() = default;

  // Clip to the picture's box for the duration of the picture; reset (to none) at the end.
  virtual void SetClip(float x, float y, float width, float height) = 0;
  virtual void ResetClip() = 0;

  // Style. SetSmoothPen replaces the pen: the new one has flat caps, no dash and miter joins.
  // A width below 0.01 means no pen; colour 0 for the brush means no brush.
  virtual void SetSmoothBrush(uint32_t argb) = 0;
  virtual void SetSmoothPen(float width, uint32_t argb) = 0;
  virtual void SetPenStartCap(int lineCap) = 0;  // GDI+ LineCap
  virtual void SetPenEndCap(int lineCap) = 0;
  // Adjustable arrowheads, sizes in multiples of the pen width: at the end when endHeight and
  // endWidth are both > 0 (otherwise the end cap stays as it is), at the start when startHeight
  // and startWidth are both > 0 (otherwise the custom start cap is removed).
  virtual void SetArrowCaps(float endHeight, float endWidth, bool filled, float startHeight,
                            float startWidth) = 0;
  virtual void SetPenDashStyle(int dashStyle) = 0;  // GDI+ DashStyle 0..4
  virtual void SetPenLineJoin(int lineJoin) = 0;    // GDI+ LineJoin 0 miter, 1 bevel, 2 round

  // Shapes: fill first, then outline.
  virtual void SmoothLine(float x1, float y1, float x2, float y2) = 0;
  virtual void SmoothRect(float x, float y, float width, float height) = 0;
  // corners: bits 1 top-left, 2 bottom-left, 4 top-right, 8 bottom-right; cornerWidth and
  // cornerHeight are the full size of the ellipse shaping a corner.
  virtual void SmoothRoundRect(float x, float y, float width, float height, float cornerWidth,
                               float cornerHeight, int corners) = 0;
  virtual void SmoothEllipse(float x, float y, float width, float height) = 0;
  // Fills the pie, outlines only its arc.
  virtual void SmoothPie(float x, float y, float width, float height, float startAngle,
                         float sweepAngle) = 0;
  virtual void SmoothPolygon(std::span<const PicturePoint> points, int fillMode) = 0;
  virtual void DrawLines(std::span<const PicturePoint> points) = 0;  // open polyline, pen only
  virtual void FillPie(float x, float y, float width, float height, float startAngle,
                       float sweepAngle) = 0;  // brush only
  virtual void DrawPie(float x, float y, float width, float height, float startAngle,
                       float sweepAngle) = 0;  // pen only, arc and both radii

  // The current path. NewPath discards the previous one.
  virtual void NewPath(int fillMode) = 0;  // GDI+ FillMode 0 alternate, 1 winding
  // 1 + 3k points: a start point and three per cubic segment (the reader passes no other count).
  virtual void AddPathBeziers(std::span<const PicturePoint> points) = 0;
  virtual void AddPathLine(float x1, float y1, float x2, float y2) = 0;
  // Cardinal spline through the points with the default tension (the reader passes three).
  virtual void AddPathCurve(std::span<const PicturePoint> points) = 0;
  virtual void AddPathBezier(float x1, float y1, float x2, float y2, float x3, float y3,
                             float x4, float y4) = 0;
  virtual void AddPathRectangle(float x, float y, float width, float height) = 0;  // w, h >= 0
  virtual void AddPathEllipse(float x, float y, float width, float height) = 0;    // w, h >= 0
  virtual void ClosePathFigure() = 0;
  virtual void FillDrawPath() = 0;

  // Cardinal splines with an explicit tension (at least two points).
  virtual void FillClosedCurve2(std::span<const PicturePoint> points, float tension,
                                int fillMode) = 0;                                  // brush
  virtual void DrawClosedCurve2(std::span<const PicturePoint> points, float tension) = 0;  // pen
  virtual void DrawCurve2(std::span<const PicturePoint> points, float tension) = 0;        // pen

  // Outlined text. size is the picture's font size in design units (the canvas turns it into
  // an em size); an empty face means the default face.
  virtual void SetPathFont(std::string_view face, float size, bool bold, bool italic,
                           bool strikeout, bool underline) = 0;
  // Text laid out from (x, y), wrapping at width; outlined with the pen, filled with the brush.
  virtual void PathText(float x, float y, float width, float height, std::string_view text) = 0;
};

enum class PictureStatus {
  kDrawn,    // the picture was read (possibly drawing nothing if malformed); clip set and reset
  kNothing,  // empty picture or a box narrower or lower than 1: no sink call at all
  kTooLong,  // more than kMaxPictureLength characters: no sink call; the caller prints "异常长度"
};

inline constexpr std::size_t kMaxPictureLength = 9999;

// Palette entries 0..16; entry 0 is "no colour".
using PicturePalette = std::array<uint32_t, 17>;
inline constexpr PicturePalette kDefaultPicturePalette = {
    0x00000000, 0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00,
    0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF, 0xFF800000, 0xFF008000, 0xFF000080,
    0xFF808000, 0xFF800080, 0xFF008080, 0xFFC0C0C0, 0xFF808080};

// Reads the picture and draws it into the box (x, y, width, height) on the sink. overrides is
// a comma-separated list of ARGB values replacing palette entries 1, 2, ... after the
// picture's own colour list ("" for none; an empty item sets its entry to 0).
PictureStatus ReadVectorPicture(std::string_view picture, float x, float y, float width,
                                float height, std::string_view overrides, PictureSink& sink);

// --- Pieces of the reader, exposed for tests ---

// Hexadecimal digits from the start of item (either case) up to the first other character, as
// an unsigned 32-bit value (only the last eight digits count); 0 when there are none.
uint32_t ParsePictureHex(std::string_view item);

// The palette from the defaults, the picture's colour list and the override list; *commands
// receives the part of the picture after the header and colour list (may be null).
PicturePalette ReadPicturePalette(std::string_view picture, std::string_view overrides,
                                  std::string_view* commands);

// Expands the prefix copy ("*") and the point repeat ("%") of one command against the expanded
// previous command; without a previous command the text is returned unchanged.
std::string ExpandPictureCommand(std::string_view command,
                                 std::optional<std::string_view> previous);

// The parameter vector of one expanded command: p[0] is the letter's code, p[1]... the
// parameters; size() - 1 is the index of the last parameter read ("last"), counting skipped
// positions and the text-run position. Empty for an empty command.
std::vector<int> ReadPictureParameters(std::string_view command);

}  // namespace zv
