#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "paint/vector_picture.h"
#include "tests/picture/recording_sink.h"

namespace zv::test {
namespace {

using Calls = std::vector<std::string>;

// One-character digit 0..16.
std::string D(int v) { return std::string(1, static_cast<char>('0' + v)); }

// Outline header (letters a, d, f, g, h) without caps, arrows or dash.
std::string Outline(char letter, int fill, int fillMode, int closed, int style, int line,
                    int width) {
  return std::string(1, letter) + D(fill) + D(fillMode) + D(closed) + D(style) + D(line) +
         V(width) + "0000000";
}
// Short header (letters b, c, e, i).
std::string Short(char letter, int fill, int line, int width) {
  return std::string(1, letter) + D(fill) + D(line) + V(width);
}

// Draws into the box (0, 0, 1000, 1000), where picture units are design units.
RecordingSink Draw(std::string_view picture, std::string_view overrides = "") {
  RecordingSink sink;
  EXPECT_EQ(ReadVectorPicture(picture, 0, 0, 1000, 1000, overrides, sink), PictureStatus::kDrawn);
  return sink;
}

// The drawing calls after the style calls of the first command.
Calls Figures(const RecordingSink& sink) {
  Calls result;
  for (const std::string& call : sink.Drawing())
    if (call.rfind("Set", 0) != 0) result.push_back(call);
  return result;
}

// --- Parameter codec -------------------------------------------------------------------------

TEST(PictureParameters, DecodesOneAndTwoCharacterDigits) {
  EXPECT_EQ(ReadPictureParameters("aAA"), (std::vector<int>{'a', -1000}));
  EXPECT_EQ(ReadPictureParameters("aSK"), (std::vector<int>{'a', 0}));
  EXPECT_EQ(ReadPictureParameters("a\\P"), (std::vector<int>{'a', 500}));
  EXPECT_EQ(ReadPictureParameters("aeU"), (std::vector<int>{'a', 1000}));
  EXPECT_EQ(ReadPictureParameters("axx"), (std::vector<int>{'a', 2080}));
  EXPECT_EQ(ReadPictureParameters("a0@9"), (std::vector<int>{'a', 0, 16, 9}));
  EXPECT_EQ(ReadPictureParameters("a"), (std::vector<int>{'a'}));
  EXPECT_TRUE(ReadPictureParameters("").empty());
}

TEST(PictureParameters, TwoCharacterDigitWithoutValidSecondHasLowDigitZero) {
  // A lone first digit at the end.
  EXPECT_EQ(ReadPictureParameters("a5S"), (std::vector<int>{'a', 5, 18 * 55 - 1000}));
  // An out-of-range second character gives low digit 0 and is consumed: the "3" is not a
  // parameter of its own, the "4" is.
  EXPECT_EQ(ReadPictureParameters("aS34"), (std::vector<int>{'a', 18 * 55 - 1000, 4}));
  EXPECT_EQ(ReadPictureParameters("aSy"), (std::vector<int>{'a', 18 * 55 - 1000}));
}

TEST(PictureParameters, SkipsAndIgnoredCharacters) {
  EXPECT_EQ(ReadPictureParameters("a1.32"), (std::vector<int>{'a', 1, 0, 0, 0, 2}));
  // Skipped positions at the end still count towards the last parameter.
  EXPECT_EQ(ReadPictureParameters("a1.2"), (std::vector<int>{'a', 1, 0, 0}));
  // Characters outside the notation are ignored; a negative skip never moves backwards.
  EXPECT_EQ(ReadPictureParameters("a1 ~2"), (std::vector<int>{'a', 1, 2}));
  EXPECT_EQ(ReadPictureParameters("a12.!3"), (std::vector<int>{'a', 1, 2, 3}));
  EXPECT_EQ(ReadPictureParameters("a1."), (std::vector<int>{'a', 1}));
}

TEST(PictureParameters, TextRunRecordsItsPositionAndEndsTheCommand) {
  // "5&" : length 5, run starts at 1-based position 4 ("a", "5", "&", then the run).
  EXPECT_EQ(ReadPictureParameters("a5&ab1+2"), (std::vector<int>{'a', 5, 4}));
  // The digits inside the run are not parameters.
  EXPECT_EQ(ReadPictureParameters("a12&99"), (std::vector<int>{'a', 1, 2, 5}));
}

// --- Colour list and overrides ---------------------------------------------------------------

TEST(PicturePalette, ColourListKeepsDefaultsForEmptyItems) {
  std::string_view commands;
  PicturePalette palette = ReadPicturePalette("(,FF00008B)c1", "", &commands);
  EXPECT_EQ(palette[1], 0xFF000000u);
  EXPECT_EQ(palette[2], 0xFF00008Bu);
  EXPECT_EQ(palette[3], 0xFF00FF00u);
  EXPECT_EQ(palette[0], 0u);
  EXPECT_EQ(commands, "c1");
}

TEST(PicturePalette, HeaderAndMalformedLists) {
  std::string_view commands;
  // Header skipped, lower-case digits, reading stops at a non-hex character.
  PicturePalette palette = ReadPicturePalette("{any(thing)}(ff112233,12G4)a", "", &commands);
  EXPECT_EQ(palette[1], 0xFF112233u);
  EXPECT_EQ(palette[2], 0x12u);
  EXPECT_EQ(commands, "a");
  // A header without "}" swallows everything.
  ReadPicturePalette("{(FF112233)a1", "", &commands);
  EXPECT_TRUE(commands.empty());
  // A list without ")" runs to the end: no commands.
  palette = ReadPicturePalette("(1,2+a123", "", &commands);
  EXPECT_EQ(palette[1], 1u);
  EXPECT_EQ(palette[2], 2u);
  EXPECT_TRUE(commands.empty());
  // Items after the 16th are ignored; more than eight digits keep the last eight.
  std::string list = "(";
  for (int k = 1; k <= 17; ++k) list += "7" + std::to_string(k) + ",";
  palette = ReadPicturePalette(list + "123456789)", "", &commands);
  EXPECT_EQ(palette[16], 0x716u);
  EXPECT_EQ(ParsePictureHex("123456789"), 0x23456789u);
  EXPECT_EQ(ParsePictureHex(""), 0u);
}

TEST(PicturePalette, OverrideList) {
  EXPECT_EQ(ReadPicturePalette("c", "FF00008B", nullptr)[1], 0xFF00008Bu);
  // An empty override item clears its entry.
  PicturePalette palette = ReadPicturePalette("(,FFAABBCC)c", ",FF00FF00", nullptr);
  EXPECT_EQ(palette[1], 0u);
  EXPECT_EQ(palette[2], 0xFF00FF00u);
  // A final one-character item is ignored, and so is a final empty item.
  palette = ReadPicturePalette("c", "FF00008B,5", nullptr);
  EXPECT_EQ(palette[1], 0xFF00008Bu);
  EXPECT_EQ(palette[2], 0xFFFF0000u);
  palette = ReadPicturePalette("c", "1,,2", nullptr);
  EXPECT_EQ(palette[1], 1u);
  EXPECT_EQ(palette[2], 0u);
  EXPECT_EQ(palette[3], 0xFF00FF00u);
  EXPECT_EQ(ReadPicturePalette("c", "5", nullptr)[1], 0xFF000000u);
  EXPECT_EQ(ReadPicturePalette("c", "12,", nullptr)[2], 0xFFFF0000u);
}

TEST(VectorPicture, OverrideRecoloursEntryOne) {
  std::string ellipse = Short('c', 1, 1, 10) + Pt(0, 0) + Pt(100, 100);
  EXPECT_EQ(Draw(ellipse, "FF00008B").Drawing()[0], "SetSmoothBrush(FF00008B)");
  EXPECT_EQ(Draw(ellipse).Drawing()[0], "SetSmoothBrush(FF000000)");
}

// --- Shorthands ------------------------------------------------------------------------------

TEST(PictureShorthands, PrefixCopy) {
  EXPECT_EQ(ExpandPictureCommand("a*2XY", "aBCDEFG"), "aBCDXY");
  EXPECT_EQ(ExpandPictureCommand("a*0XY", "aBCDEFG"), "aBXY");
  EXPECT_EQ(ExpandPictureCommand("b*9XY", "aBC"), "bBCXY");  // copies what there is
  EXPECT_EQ(ExpandPictureCommand("a*2XY", std::nullopt), "a*2XY");
}

TEST(PictureShorthands, PointRepeat) {
  std::string previous = "a1" + Pt(100, 200) + Pt(0, 0) + Pt(1000, 1000);
  // n = 2, offsets "0" and "0": the last two points unchanged.
  EXPECT_EQ(ExpandPictureCommand("a9%200", previous), "a9" + Pt(0, 0) + Pt(1000, 1000));
  // Offsets in either encoding: +500 (two characters) and +3 (one).
  EXPECT_EQ(ExpandPictureCommand("a9%2" + V(500) + "3", previous),
            "a9" + Pt(500, 3) + Pt(1500, 1003));
  EXPECT_EQ(ExpandPictureCommand("a%1" + V(-100) + V(-200), previous), "a" + Pt(900, 800));
  // Never more points than the previous command holds; nothing after the offsets survives.
  EXPECT_EQ(ExpandPictureCommand("c%900XYZ", "cSKSK"), "c" + Pt(0, 0));
  // Not in text commands, and not without a previous command.
  EXPECT_EQ(ExpandPictureCommand("i%100", previous), "i%100");
  EXPECT_EQ(ExpandPictureCommand("a%100", std::nullopt), "a%100");
  // Both: the prefix copy first, then the point repeat.
  EXPECT_EQ(ExpandPictureCommand("a*0%100", previous), "a1" + Pt(1000, 1000));
}

TEST(VectorPicture, ShorthandsUseTheExpandedPreviousCommandAndAnEmptyCommandResetsIt) {
  std::string first = Outline('a', 0, 0, 0, 0, 1, 10) + Pt(10, 20) + Pt(30, 40);
  // Second: the previous header (14 characters after the letter, count character "=") and
  // the previous two points moved by (5, -5).
  std::string second = "a*=%2" + V(5) + V(-5);
  RecordingSink sink = Draw(first + "+" + second);
  EXPECT_EQ(Figures(sink), (Calls{"SmoothLine(10 20 30 40)", "SmoothLine(15 15 35 35)"}));
  // After an empty command the shorthands are not expanded: "%" is ignored, "2" is a size.
  sink = Draw(first + "++" + Short('c', 0, 1, 10) + Pt(1, 2) + "%2" + V(5));
  EXPECT_EQ(Figures(sink).back(), "SmoothEllipse(1 2 2 5)");
}

// --- Figures ---------------------------------------------------------------------------------

TEST(VectorPicture, LineAndPointCountsForOddValueCounts) {
  std::string head = Outline('a', 0, 0, 0, 0, 1, 10);
  EXPECT_TRUE(Figures(Draw(head + Pt(1, 2))).empty());  // last < 16
  EXPECT_EQ(Figures(Draw(head + Pt(1, 2) + V(3))), Calls{"SmoothLine(1 2 3 0)"});
  EXPECT_EQ(Figures(Draw(head + Pt(1, 2) + Pt(3, 4) + V(5))), Calls{"SmoothLine(1 2 3 4)"});
  // Seven values: three points, the seventh ignored.
  EXPECT_EQ(Figures(Draw(head + Pt(1, 2) + Pt(3, 4) + Pt(5, 6) + V(7))),
            Calls{"DrawLines([1,2 3,4 5,6])"});
  // Nine values: five points, the fifth with y = 0.
  EXPECT_EQ(Figures(Draw(head + Pt(1, 2) + Pt(3, 4) + Pt(5, 6) + Pt(7, 8) + V(9))),
            Calls{"DrawLines([1,2 3,4 5,6 7,8 9,0])"});
  // Closed: a polygon with the fill mode.
  EXPECT_EQ(Figures(Draw(Outline('a', 2, 1, 1, 0, 1, 10) + Pt(1, 2) + Pt(3, 4) + Pt(5, 6))),
            Calls{"SmoothPolygon(1 [1,2 3,4 5,6])"});
}

TEST(VectorPicture, MapsIntoTheBoxAndClipsToIt) {
  RecordingSink sink;
  std::string line = Outline('a', 0, 0, 0, 0, 1, 10) + Pt(0, 500) + Pt(1000, -1000);
  ASSERT_EQ(ReadVectorPicture(line, 5, 150, 110, 220, "", sink), PictureStatus::kDrawn);
  EXPECT_EQ(sink.calls.front(), "SetClip(5 150 110 220)");
  EXPECT_EQ(sink.calls.back(), "ResetClip()");
  EXPECT_EQ(sink.calls[2], "SetSmoothPen(1.1 FF000000)");  // width in thousandths of W
  EXPECT_EQ(Figures(sink), Calls{"SmoothLine(5 260 115 -70)"});
}

TEST(VectorPicture, RectanglesAndRoundedCorners) {
  std::string box = Pt(100, 200) + Pt(400, 300);
  EXPECT_EQ(Figures(Draw(Short('b', 1, 1, 10) + "000" + box)), Calls{"SmoothRect(100 200 400 300)"});
  // Rounded corners need p6 > 0 and some corner size; a 0 size becomes 1 percent.
  EXPECT_EQ(Figures(Draw(Short('b', 1, 1, 10) + V(10) + "0?" + box)),
            Calls{"SmoothRoundRect(100 200 400 300 40 3 15)"});
  EXPECT_EQ(Figures(Draw(Short('b', 1, 1, 10) + V(10) + V(10) + "0" + box)),
            Calls{"SmoothRect(100 200 400 300)"});
}

TEST(VectorPicture, PiesClosedOrOpen) {
  std::string geometry = Pt(100, 100) + Pt(500, 400) + V(270) + V(90);
  EXPECT_EQ(Figures(Draw(Outline('d', 1, 0, 1, 0, 1, 10) + geometry)),
            (Calls{"FillPie(100 100 500 400 270 90)", "DrawPie(100 100 500 400 270 90)"}));
  EXPECT_EQ(Figures(Draw(Outline('d', 1, 0, 0, 0, 1, 10) + geometry)),
            Calls{"SmoothPie(100 100 500 400 270 90)"});
}

// Vertex k of an "e" figure in the box (0, 0, 1000, 1000) with its bounding box (0, 0, 1000,
// 1000): the notation's own angle factor, angles kept within 360.
PicturePoint StarVertex(int k, int n, double start, double indentX, double indentY) {
  double a = start;
  for (int j = 0; j <= k; ++j) {
    if (a > 360) a -= 360;
    if (j < k) a += 360.0 / n;
  }
  double theta = a * 0.017453292222222222;
  double fx = k % 2 ? (100 - indentX) * 0.01 : 1.0;
  double fy = k % 2 ? (100 - indentY) * 0.01 : 1.0;
  return {static_cast<float>(500 + fx * 500 * std::cos(theta)),
          static_cast<float>(500 + fy * 500 * std::sin(theta))};
}

void ExpectStar(int indent, int vertices, int start) {
  std::string star = Short('e', 1, 1, 10) + V(indent) + V(indent) + "0" + V(vertices) +
                     V(start) + Pt(0, 0) + Pt(1000, 1000);
  RecordingSink sink = Draw(star);
  ASSERT_EQ(sink.pointLists.size(), 1u);
  const std::vector<PicturePoint>& points = sink.pointLists[0];
  int n = std::clamp(vertices, 3, 360);
  ASSERT_EQ(points.size(), static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    PicturePoint expected = StarVertex(k, n, start, indent, indent);
    // Within a thousandth of a unit: on 32-bit x86 the sine and cosine come from the FPU.
    EXPECT_NEAR(points[k].x, expected.x, 1e-3) << "vertex " << k;
    EXPECT_NEAR(points[k].y, expected.y, 1e-3) << "vertex " << k;
  }
}

TEST(VectorPicture, RegularPolygonsAndStars) {
  ExpectStar(0, 6, 270);
  ExpectStar(10, 10, 270);
  ExpectStar(50, 10, 270);
  ExpectStar(50, 10, 350);  // angles past 360 are brought back
  ExpectStar(0, 2, 0);      // a triangle
  ExpectStar(0, 1000, 90);  // a 360-gon
  // Geometry: the hexagon's first vertex is at the top, the star's second is pulled halfway in.
  RecordingSink sink = Draw(Short('e', 1, 1, 10) + V(50) + V(50) + "0" + V(10) + V(270) +
                            Pt(0, 0) + Pt(1000, 1000));
  EXPECT_NEAR(sink.pointLists[0][0].x, 500, 1e-3);
  EXPECT_NEAR(sink.pointLists[0][0].y, 0, 1e-3);
  EXPECT_NEAR(std::hypot(sink.pointLists[0][1].x - 500, sink.pointLists[0][1].y - 500), 250, 1e-3);
  EXPECT_EQ(sink.calls[5].rfind("SmoothPolygon(0 [", 0), 0u);  // alternate fill
}

TEST(VectorPicture, StarSetsDashAndJoinFromItsStyle) {
  // p6 = 5: dash style 1, round join 2.
  RecordingSink sink = Draw(Short('e', 1, 1, 10) + "005" + V(6) + V(0) + Pt(0, 0) + Pt(10, 10));
  EXPECT_EQ(sink.calls[3], "SetPenDashStyle(1)");
  EXPECT_EQ(sink.calls[4], "SetPenLineJoin(2)");
}

TEST(VectorPicture, BezierChains) {
  std::string head = Outline('f', 1, 1, 1, 0, 1, 10);
  EXPECT_EQ(Figures(Draw(head + Pt(0, 0) + Pt(1, 1) + Pt(2, 2) + Pt(3, 3))),
            (Calls{"NewPath(1)", "AddPathBeziers([0,0 1,1 2,2 3,3])", "ClosePathFigure()",
                   "FillDrawPath()"}));
  // Five points make no whole segment: nothing is added.
  EXPECT_EQ(Figures(Draw(Outline('f', 1, 0, 0, 0, 1, 10) + Pt(0, 0) + Pt(1, 1) + Pt(2, 2) +
                         Pt(3, 3) + Pt(4, 4))),
            (Calls{"NewPath(0)", "FillDrawPath()"}));
}

TEST(VectorPicture, CardinalSplines) {
  // Tension 50 hundredths; five values after it: round(5 / 2 - 1) + 1 = 3 points.
  std::string curve = Outline('g', 1, 1, 0, 0, 1, 10) + V(50) + Pt(1, 2) + Pt(3, 4) + V(5);
  EXPECT_EQ(Figures(Draw(curve)), (Calls{"FillClosedCurve2(0.5 1 [1,2 3,4 5,0])",
                                         "DrawCurve2(0.5 [1,2 3,4 5,0])"}));
  std::string closed = Outline('g', 1, 0, 1, 0, 1, 10) + V(50) + Pt(1, 2) + Pt(3, 4) + Pt(5, 6);
  EXPECT_EQ(Figures(Draw(closed))[1], "DrawClosedCurve2(0.5 [1,2 3,4 5,6])");
}

TEST(VectorPicture, CompoundPathElements) {
  std::string path = Outline('h', 1, 1, 1, 0, 1, 10) + Pt(10, 10) +  //
                     "0" + Pt(100, 10) +                             // line
                     "1" + Pt(150, 50) + Pt(100, 100) +              // spline
                     "9" +                                           // unknown: skipped
                     "2" + Pt(50, 150) + Pt(0, 100) + Pt(10, 50) +   // Bézier
                     "3" + Pt(400, 400) + Pt(300, 200) +             // rectangle, corners swapped
                     "4" + Pt(500, 500) + Pt(600, 700) +             // ellipse
                     "2" + Pt(1, 1) + Pt(2, 2);                      // runs past the end
  EXPECT_EQ(Figures(Draw(path)),
            (Calls{"NewPath(1)", "AddPathLine(10 10 100 10)",
                   "AddPathCurve([100,10 150,50 100,100])",
                   "AddPathBezier(100 100 50 150 0 100 10 50)", "AddPathRectangle(300 200 100 200)",
                   "AddPathEllipse(500 500 100 200)", "ClosePathFigure()", "FillDrawPath()"}));
  // Fewer than two values after the start point: nothing at all.
  EXPECT_TRUE(Figures(Draw(Outline('h', 1, 1, 1, 0, 1, 10) + Pt(10, 10) + "0")).empty());
}

TEST(VectorPicture, TextRunsMayHoldPercentStarAndComma) {
  std::string run = "Arial,50% *off, today";
  // Short header, style 4 (dash 1, bevel), size 25/500 of W, bold, italic 256 (low byte 0),
  // underline, no strikeout, position (100, 200).
  std::string text = Short('i', 2, 1, 10) + "4" + V(25) + "1" + V(256) + "10" + V(100) +
                     V(200) + V(static_cast<int>(run.size())) + "&" + run;
  RecordingSink sink;
  ReadVectorPicture(text, 10, 20, 200, 100, "", sink);
  EXPECT_EQ(sink.Drawing(),
            (Calls{"SetSmoothBrush(FFFF0000)", "SetSmoothPen(2 FF000000)", "SetPenDashStyle(1)",
                   "SetPenLineJoin(1)", "SetPathFont(10 1 0 0 1 'Arial')",
                   "PathText(20 35 600 300 '50% *off, today')"}));
  // Without a comma the whole run is the text. A "*" inside a run is text; as the second
  // character it copies the previous text command's first 13 parameter characters.
  std::string plain = Short('i', 2, 1, 10) + "0" + V(25) + "0000" + V(100) + V(200) + "3&x*y";
  sink = Draw(plain + "+" + "i*<" + V(300) + "3&x,y");
  Calls figures = Figures(sink);
  EXPECT_EQ(figures[0], "PathText(50 150 3000 3000 'x*y')");
  EXPECT_EQ(figures[1], "PathText(50 250 3000 3000 'y')");
}

TEST(VectorPicture, UnknownLettersAndEmptyCommandsDrawNothing) {
  RecordingSink sink = Draw("z1234+++A" + Pt(1, 1) + "+");
  EXPECT_EQ(sink.calls, (Calls{"SetClip(0 0 1000 1000)", "ResetClip()"}));
  // Nor do they change the style memories.
  std::string ellipse = Short('c', 1, 1, 10) + Pt(0, 0) + Pt(10, 10);
  sink = Draw(ellipse + "+z9+" + ellipse);
  EXPECT_EQ(sink.Drawing(), (Calls{"SetSmoothBrush(FF000000)", "SetSmoothPen(10 FF000000)",
                                   "SmoothEllipse(0 0 10 10)", "SmoothEllipse(0 0 10 10)"}));
}

TEST(VectorPicture, StyleMemoriesApplyOnlyWhatChanged) {
  std::string points = Pt(0, 0) + Pt(10, 10);
  // Same pen, different dash: only the dash changes.
  RecordingSink sink = Draw(Outline('a', 0, 0, 0, 0, 1, 10) + points + "+" +
                            Outline('a', 0, 0, 0, 3, 1, 10) + points);
  EXPECT_EQ(sink.Drawing(),
            (Calls{"SetSmoothBrush(00000000)", "SetSmoothPen(10 FF000000)", "SetPenStartCap(0)",
                   "SetPenEndCap(0)", "SetPenEndCap(0)", "SetPenStartCap(0)",
                   "SetArrowCaps(0 0 0 0 0)", "SetPenDashStyle(0)", "SetPenLineJoin(0)",
                   "SmoothLine(0 0 10 10)", "SetPenDashStyle(1)", "SmoothLine(0 0 10 10)"}));

  // An end arrow: the start side gets its plain cap back; a new pen forgets caps and arrows,
  // so they are applied again.
  std::string arrow = "a0000" "1" + V(10) + "2" "3" "@@" "1" "00" + points;
  std::string wider = "a0000" "1" + V(20) + "2" "3" "@@" "1" "00" + points;
  sink = Draw(arrow + "+" + arrow + "+" + wider);
  Calls expectedPen = {"SetPenStartCap(2)", "SetPenEndCap(3)", "SetPenStartCap(2)",
                       "SetArrowCaps(1.6 1.6 1 0 0)", "SetPenDashStyle(0)", "SetPenLineJoin(0)"};
  Calls expected = {"SetSmoothBrush(00000000)", "SetSmoothPen(10 FF000000)"};
  expected.insert(expected.end(), expectedPen.begin(), expectedPen.end());
  expected.push_back("SmoothLine(0 0 10 10)");
  expected.push_back("SmoothLine(0 0 10 10)");
  expected.push_back("SetSmoothPen(20 FF000000)");
  expected.insert(expected.end(), expectedPen.begin(), expectedPen.end());
  expected.push_back("SmoothLine(0 0 10 10)");
  EXPECT_EQ(sink.Drawing(), expected);

  // A short-header figure with another pen makes the next outline figure re-apply its dash.
  sink = Draw(Outline('a', 0, 0, 0, 3, 1, 10) + points + "+" + Short('c', 0, 2, 10) + points +
              "+" + Outline('a', 0, 0, 0, 3, 1, 10) + points);
  Calls drawing = sink.Drawing();
  EXPECT_EQ(std::count(drawing.begin(), drawing.end(), "SetPenDashStyle(1)"), 2);
  EXPECT_EQ(std::count(drawing.begin(), drawing.end(), "SetSmoothBrush(00000000)"), 1);
}

TEST(VectorPicture, RejectsEmptyTinyAndOverlongPictures) {
  RecordingSink sink;
  EXPECT_EQ(ReadVectorPicture("", 0, 0, 100, 100, "", sink), PictureStatus::kNothing);
  EXPECT_EQ(ReadVectorPicture("c1", 0, 0, 0.9f, 100, "", sink), PictureStatus::kNothing);
  EXPECT_EQ(ReadVectorPicture("c1", 0, 0, 100, 0.5f, "", sink), PictureStatus::kNothing);
  std::string longest(kMaxPictureLength, '+');
  EXPECT_EQ(ReadVectorPicture(longest + "+", 0, 0, 100, 100, "", sink), PictureStatus::kTooLong);
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(ReadVectorPicture(longest, 0, 0, 1, 1, "", sink), PictureStatus::kDrawn);
  EXPECT_EQ(sink.calls, (Calls{"SetClip(0 0 1 1)", "ResetClip()"}));
}

TEST(VectorPicture, MalformedPicturesDrawLess) {
  // Every byte value as a command and as parameters: the reader must neither fail nor hang.
  std::string junk;
  for (int c = 1; c < 256; ++c) junk += static_cast<char>(c);
  for (char letter : std::string("abcdefghi")) {
    RecordingSink sink;
    std::string picture = std::string(1, letter) + junk + "+" + letter + "*x%9xx+" + letter + junk;
    EXPECT_EQ(ReadVectorPicture(picture, 0, 0, 100, 100, "", sink), PictureStatus::kDrawn);
    EXPECT_EQ(sink.calls.back(), "ResetClip()");
  }
}

}  // namespace
}  // namespace zv::test
