// PageCanvas under Wine: device pixels of the scaled GDI operations, the smooth operations and
// their world transform, object ownership and the window-backed open and close paths.
#include <gtest/gtest.h>

#include <array>

#include "paint/canvas.h"
#include "paint/gdiplus_api.h"
#include "tests/paint_win/paint_test_support.h"

namespace zv::test {
namespace {

std::array<float, 6> WorldTransform(const PageCanvas& canvas) {
  std::array<float, 6> m{};
  const GdiplusApi* api = GdiplusLibrary();
  Gdiplus::GpMatrix* matrix = nullptr;
  api->GdipCreateMatrix(&matrix);
  GpMatrixOwner owner(matrix);
  api->GdipGetWorldTransform(canvas.graphics.get(), matrix);
  api->GdipGetMatrixElements(matrix, m.data());
  return m;
}

LOGFONTW SelectedFont(const PageCanvas& canvas) {
  LOGFONTW lf{};
  ::GetObjectW(::GetCurrentObject(canvas.backDc.get(), OBJ_FONT), sizeof(lf), &lf);
  return lf;
}

TEST(CanvasRounding, HalvesGoToEven) {
  EXPECT_EQ(RoundHalfEven(13.5), 14);
  EXPECT_EQ(RoundHalfEven(12.5), 12);
  EXPECT_EQ(RoundHalfEven(28.5), 28);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(187.6), 188);
}

TEST(CanvasGdi, BoxLandsOnRoundedDevicePixels) {
  {
    PageCanvas c;
    OpenWhite(c, 100, 100, 1.0f);
    c.SetLinePen(0, kBlack, PS_SOLID);  // no outline: Rectangle fills one pixel short
    c.SetFillBrush(kRed);
    c.Box(10, 20, 30, 40);
    EXPECT_EQ(Pixel(c, 10, 20), kRed);
    EXPECT_EQ(Pixel(c, 38, 58), kRed);
    EXPECT_EQ(Pixel(c, 9, 20), kWhite);
    EXPECT_EQ(Pixel(c, 10, 19), kWhite);
    EXPECT_EQ(Pixel(c, 39, 40), kWhite);
    c.End();
  }
  {
    // At 1.5: 9 -> 13.5 -> 14 and 19 -> 28.5 -> 28 (halves to even).
    PageCanvas c;
    OpenWhite(c, 100, 100, 1.5f);
    c.SetLinePen(0, kBlack, PS_SOLID);
    c.SetFillBrush(kRed);
    c.Box(9, 9, 10, 10);
    EXPECT_EQ(Pixel(c, 13, 20), kWhite);
    EXPECT_EQ(Pixel(c, 14, 20), kRed);
    EXPECT_EQ(Pixel(c, 26, 20), kRed);
    EXPECT_EQ(Pixel(c, 27, 20), kWhite);
    EXPECT_EQ(Pixel(c, 20, 13), kWhite);
    EXPECT_EQ(Pixel(c, 20, 14), kRed);
    c.End();
  }
}

TEST(CanvasGdi, BoxWithPenOutlinesAndZeroWidthPenOnlyFills) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  c.SetFillBrush(kRed);
  c.SetLinePen(1, kBlue, PS_SOLID);
  c.Box(10, 10, 20, 20);
  EXPECT_EQ(Pixel(c, 10, 10), kBlue);
  EXPECT_EQ(Pixel(c, 29, 29), kBlue);
  EXPECT_EQ(Pixel(c, 15, 15), kRed);
  c.SetLinePen(0, kBlue, PS_SOLID);
  c.Box(50, 50, 20, 20);
  EXPECT_EQ(Pixel(c, 50, 50), kRed);
  EXPECT_EQ(Pixel(c, 60, 60), kRed);
  // The hollow brush leaves the inside alone.
  c.SetFillBrush(kCanvasNoColor);
  c.SetLinePen(1, kBlack, PS_SOLID);
  c.Box(0, 80, 10, 10);
  EXPECT_EQ(Pixel(c, 0, 80), kBlack);
  EXPECT_EQ(Pixel(c, 5, 85), kWhite);
  c.End();
}

TEST(CanvasGdi, ZeroSizedBoxCoversTheWholeBuffer) {
  for (float scale : {1.0f, 1.5f}) {
    PageCanvas c;
    OpenWhite(c, 61, 47, scale);
    c.SetLinePen(0, kRed, PS_SOLID);
    c.SetFillBrush(kRed);
    c.Box(0, 0, 0, 0);
    for (int y = 0; y < 47; ++y) {
      for (int x = 0; x < 61; ++x) {
        ASSERT_EQ(Pixel(c, x, y), kRed) << "scale " << scale << " at " << x << "," << y;
      }
    }
    c.End();
  }
}

TEST(CanvasGdi, LinesAndPenWidthsScale) {
  PageCanvas c;
  OpenWhite(c, 200, 100, 1.5f);
  c.SetLinePen(1, kBlack, PS_SOLID);  // 1.5 -> 2 pixels
  c.Line(0, 25, 100, 25);             // row 37.5 -> 38
  EXPECT_TRUE(IsDark(Pixel(c, 10, 38)));
  EXPECT_EQ(Pixel(c, 10, 35), kWhite);
  EXPECT_EQ(Pixel(c, 10, 41), kWhite);
  EXPECT_EQ(Pixel(c, 155, 38), kWhite);  // ends at device x 150
  c.End();

  PageCanvas one;
  OpenWhite(one, 100, 100, 1.0f);
  one.SetLinePen(1, kBlack, PS_SOLID);
  one.Line(10, 50, 90, 50);
  EXPECT_EQ(Pixel(one, 50, 50), kBlack);
  EXPECT_EQ(Pixel(one, 50, 49), kWhite);
  EXPECT_EQ(Pixel(one, 50, 51), kWhite);
  one.End();
}

TEST(CanvasGdi, SmoothAndGdiLinesCoincideAt144Dpi) {
  // Line(0, 250, 450, 250) lands on device row 375; so does a smooth line between the same
  // design points through the world transform.
  PageCanvas gdi;
  OpenWhite(gdi, 700, 400, 1.5f);
  gdi.SetLinePen(1, kBlack, PS_SOLID);
  gdi.Line(0, 250, 450, 250);
  EXPECT_TRUE(IsDark(Pixel(gdi, 300, 375)));
  EXPECT_EQ(Pixel(gdi, 674, 372), kWhite);
  gdi.End();

  PageCanvas smooth;
  OpenWhite(smooth, 700, 400, 1.5f);
  smooth.SmoothLine(0, 250, 450, 250);  // default pen: 1 unit, opaque black
  EXPECT_EQ(DarkestRow(smooth, 300, 360, 390), 375);
  EXPECT_TRUE(IsDark(Pixel(smooth, 300, 375)));
  EXPECT_EQ(Pixel(smooth, 300, 372), kWhite);
  EXPECT_EQ(Pixel(smooth, 690, 375), kWhite);  // ends at device x 675
  smooth.End();
}

TEST(CanvasGdi, TextAndTextInBoxDrawAtScaledPositions) {
  PageCanvas c;
  OpenWhite(c, 300, 100, 1.5f);
  c.SetTextColors(kBlack, kCanvasNoColor);
  c.Text(100, 10, L"MMMM");  // starts at device (150, 15)
  EXPECT_EQ(CountDark(c, 0, 0, 150, 100), 0);
  EXPECT_GT(CountDark(c, 150, 15, 300, 60), 0);
  c.Clear(kWhite);
  int h = c.TextInBox(0, 0, 200, 40, L"MM", DT_CENTER | DT_SINGLELINE);
  EXPECT_GT(h, 0);
  EXPECT_EQ(CountDark(c, 0, 0, 120, 60), 0);  // centred in 300 device pixels
  EXPECT_GT(CountDark(c, 120, 0, 180, 60), 0);
  // An opaque background paints behind the text.
  c.Clear(kWhite);
  c.SetTextColors(kBlack, kRed);
  c.Text(0, 0, L"i");
  EXPECT_EQ(Pixel(c, 0, 0), kRed);
  c.End();
}

TEST(CanvasFont, HeightsFollowSizeScaleAndScreenDpi) {
  EXPECT_EQ(MakeCanvasFont(L"Microsoft YaHei", 9, false, false, false, false, 1.0f, 96).lfHeight, -12);
  EXPECT_EQ(MakeCanvasFont(L"Microsoft YaHei", 18, false, false, false, false, 1.0f, 96).lfHeight, -24);
  // 144 DPI: s = 13.5 -> 14, n = 14 * 96 / 144 = 9, height -MulDiv(9, 144, 72) = -18.
  EXPECT_EQ(MakeCanvasFont(L"Microsoft YaHei", 9, false, false, false, false, 1.5f, 144).lfHeight, -18);
  LOGFONTW big = MakeCanvasFont(L"Microsoft YaHei", 24, true, true, true, true, 1.0f, 96);
  EXPECT_EQ(big.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_EQ(big.lfWeight, FW_BOLD);
  EXPECT_TRUE(big.lfItalic && big.lfUnderline && big.lfStrikeOut);
  LOGFONTW small = MakeCanvasFont(L"Microsoft YaHei", 18, false, false, false, false, 1.0f, 96);
  EXPECT_EQ(small.lfQuality, DEFAULT_QUALITY);
  EXPECT_EQ(small.lfWeight, FW_NORMAL);
  EXPECT_EQ(small.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(small.lfOutPrecision, OUT_TT_PRECIS);
  LOGFONTW longFace = MakeCanvasFont(std::wstring(40, L'x'), 9, false, false, false, false, 1.0f, 96);
  EXPECT_EQ(std::wstring(longFace.lfFaceName), std::wstring(31, L'x'));
}

TEST(CanvasFont, SetFontSelectsAndReleasesEveryReplacedFont) {
  ASSERT_EQ(GetScreenDpi().y, 96) << "the test prefix runs at 96 DPI";
  PageCanvas c;
  OpenWhite(c, 10, 10, 1.0f);
  EXPECT_EQ(SelectedFont(c).lfHeight, -12);  // Begin's default: "Microsoft YaHei" 9
  EXPECT_EQ(std::wstring(SelectedFont(c).lfFaceName), L"Microsoft YaHei");
  c.SetFont(L"SimHei", 18, true, false, false, false);
  EXPECT_EQ(SelectedFont(c).lfHeight, -24);
  EXPECT_EQ(SelectedFont(c).lfWeight, FW_BOLD);
  HFONT previous = c.font.get();
  for (int i = 0; i < 300; ++i) {
    c.SetFont(L"Microsoft YaHei", 9 + i % 5, false, false, false, false);
    ASSERT_EQ(::GetObjectType(previous), 0u) << "font " << i << " was not released";
    previous = c.font.get();
    ASSERT_EQ(::GetCurrentObject(c.backDc.get(), OBJ_FONT), previous);
  }
  c.SetFontEx(L"SimSun", 20, 5, 45.25f, 600, true, false, false);
  LOGFONTW ex = SelectedFont(c);
  EXPECT_EQ(ex.lfHeight, -27);  // -MulDiv(20, 96, 72)
  EXPECT_EQ(ex.lfWidth, 5);
  EXPECT_EQ(ex.lfEscapement, 452);
  EXPECT_EQ(ex.lfWeight, 600);
  EXPECT_EQ(ex.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_EQ(::GetObjectType(previous), 0u);
  c.End();
}

TEST(CanvasGdi, ReplacedPensAndBrushesAreReleased) {
  PageCanvas c;
  OpenWhite(c, 10, 10, 1.0f);
  c.SetLinePen(1, kRed, PS_SOLID);
  HPEN pen = c.linePen.get();
  c.SetLinePen(2, kBlue, PS_DASH);
  EXPECT_EQ(::GetObjectType(pen), 0u);
  EXPECT_EQ(::GetCurrentObject(c.backDc.get(), OBJ_PEN), c.linePen.get());
  c.SetFillBrush(kRed);
  HBRUSH brush = c.fillBrush.get();
  c.SetFillBrush(kBlue);
  EXPECT_EQ(::GetObjectType(brush), 0u);
  HPEN last = c.linePen.get();
  HBRUSH lastBrush = c.fillBrush.get();
  HFONT font = c.font.get();
  c.End();
  EXPECT_EQ(::GetObjectType(last), 0u);
  EXPECT_EQ(::GetObjectType(lastBrush), 0u);
  EXPECT_EQ(::GetObjectType(font), 0u);
  EXPECT_FALSE(c.backDc);
  EXPECT_FALSE(c.graphics);
}

TEST(CanvasSmooth, NoPenOrNoBrushSkipsThatPart) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  c.SetSmoothPen(0.005f, 0xFF000000u);
  EXPECT_FALSE(c.smoothPen);
  c.SetSmoothBrush(0xFFFF0000u);
  c.SmoothRect(10, 10, 30, 30);
  EXPECT_EQ(Pixel(c, 25, 25), kRed);
  EXPECT_EQ(CountDark(c, 0, 0, 100, 100), 0);  // no outline

  c.SetSmoothBrush(0);
  EXPECT_FALSE(c.smoothBrush);
  c.SetSmoothPen(2.0f, 0xFF000000u);
  c.SmoothRect(50, 50, 30, 30);
  EXPECT_EQ(Pixel(c, 65, 65), kWhite);  // no fill
  EXPECT_TRUE(IsDark(Pixel(c, 50, 65)));

  c.Clear(kWhite);
  c.SetSmoothPen(0, 0xFF000000u);
  c.SmoothRect(10, 10, 30, 30);
  c.SmoothEllipse(10, 10, 30, 30);
  c.SmoothLine(0, 0, 100, 100);
  c.NewPath(0);
  c.PathLine(0, 50, 100, 50);
  c.FillDrawPath();
  EXPECT_EQ(CountDark(c, 0, 0, 100, 100), 0);
  for (int i = 0; i < 100; i += 7) EXPECT_EQ(Pixel(c, i, i), kWhite);
  c.End();
}

TEST(CanvasSmooth, ShapesFillThenOutline) {
  PageCanvas c;
  OpenWhite(c, 200, 100, 1.0f);
  c.SetSmoothBrush(0xFFFF0000u);
  c.SetSmoothPen(3.0f, 0xFF000000u);
  c.SmoothEllipse(10, 10, 60, 60);
  EXPECT_EQ(Pixel(c, 40, 40), kRed);
  EXPECT_TRUE(IsDark(Pixel(c, 40, 10)));  // the outline covers the fill's edge
  EXPECT_EQ(Pixel(c, 12, 12), kWhite);     // outside the ellipse
  Gdiplus::PointF triangle[] = {{100, 90}, {150, 10}, {199, 90}};
  c.SmoothPolygon(triangle, 0);
  EXPECT_EQ(Pixel(c, 150, 60), kRed);
  EXPECT_TRUE(IsDark(Pixel(c, 150, 90)));
  EXPECT_EQ(Pixel(c, 105, 20), kWhite);
  c.End();
}

TEST(CanvasSmooth, PieOutlinesOnlyItsArc) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  c.SetSmoothBrush(0);
  c.SetSmoothPen(3.0f, 0xFF000000u);
  c.SmoothPie(10, 10, 80, 80, 0, 90);  // lower-right quarter, centre (50, 50)
  EXPECT_GT(CountDark(c, 48, 87, 53, 93), 0);  // on the arc
  EXPECT_GT(CountDark(c, 75, 75, 81, 81), 0);  // on the arc, diagonal
  EXPECT_EQ(CountDark(c, 55, 45, 85, 55), 0);  // the horizontal radius is not outlined
  EXPECT_EQ(CountDark(c, 45, 55, 55, 85), 0);  // nor the vertical one
  EXPECT_EQ(CountDark(c, 0, 0, 100, 48), 0);   // nor anything of the other quarters
  c.SetSmoothBrush(0xFFFF0000u);
  c.SetSmoothPen(0, 0);
  c.SmoothPie(10, 10, 80, 80, 180, 90);  // upper-left quarter, filled
  EXPECT_EQ(Pixel(c, 35, 35), kRed);
  EXPECT_EQ(Pixel(c, 65, 35), kWhite);
  c.End();
}

TEST(CanvasSmooth, RoundRectRoundsOnlyTheSelectedCorners) {
  struct Case {
    int corners;
    bool tl, tr, br, bl;  // rounded?
  };
  const Case cases[] = {{0, false, false, false, false}, {15, true, true, true, true},
                        {1, true, false, false, false},  {4, false, true, false, false},
                        {8, false, false, true, false},  {2, false, false, false, true}};
  for (const Case& k : cases) {
    PageCanvas c;
    OpenWhite(c, 120, 120, 1.0f);
    c.SetSmoothBrush(0xFF000000u);
    c.SetSmoothPen(0, 0);
    c.SmoothRoundRect(10, 10, 100, 100, 40, 40, k.corners);
    // Two pixels inside each corner: filled when square, empty when rounded.
    EXPECT_EQ(IsWhite(Pixel(c, 12, 12)), k.tl) << "corners " << k.corners << " top-left";
    EXPECT_EQ(IsWhite(Pixel(c, 107, 12)), k.tr) << "corners " << k.corners << " top-right";
    EXPECT_EQ(IsWhite(Pixel(c, 107, 107)), k.br) << "corners " << k.corners << " bottom-right";
    EXPECT_EQ(IsWhite(Pixel(c, 12, 107)), k.bl) << "corners " << k.corners << " bottom-left";
    EXPECT_TRUE(IsDark(Pixel(c, 60, 60)));
    EXPECT_TRUE(IsDark(Pixel(c, 60, 11)));
    c.End();
  }
}

TEST(CanvasSmooth, RoundRectWithoutCornerSizeKeepsAllFourCorners) {
  // A zero-sized corner ellipse cannot be an arc; the corner stays square instead of vanishing.
  PageCanvas c;
  OpenWhite(c, 120, 120, 1.0f);
  c.SetSmoothBrush(0);
  c.SetSmoothPen(2.0f, 0xFF000000u);
  c.SmoothRoundRect(10, 10, 100, 100, 0, 0, 15);
  for (auto [x, y] : {std::pair{10, 10}, {110, 10}, {110, 110}, {10, 110}, {60, 10}, {10, 60}}) {
    EXPECT_TRUE(IsDark(Pixel(c, x, y))) << x << "," << y;
  }
  EXPECT_EQ(Pixel(c, 60, 60), kWhite);
  c.End();
}

TEST(CanvasSmooth, PathJoinsItsElementsAndFillsThenOutlines) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  c.FillDrawPath();  // no path yet: nothing
  EXPECT_EQ(CountDark(c, 0, 0, 100, 100), 0);
  c.SetSmoothBrush(0xFFFF0000u);
  c.PathLine(10, 10, 90, 10);  // starts a path of its own
  c.PathLine(90, 90, 10, 90);  // joined to the previous end by an edge down the right side
  c.FillDrawPath();
  EXPECT_EQ(Pixel(c, 50, 50), kRed);
  EXPECT_TRUE(IsDark(Pixel(c, 90, 50)));
  c.NewPath(1);
  c.PathArc(20, 20, 60, 60, 0, 360);
  c.SetSmoothBrush(0xFF0000FFu);
  c.FillDrawPath();
  EXPECT_EQ(Pixel(c, 50, 50), kBlue);
  c.End();
}

TEST(CanvasSmooth, SetRotationKeepsTheScaleAndTurnsAboutTheCentre) {
  PageCanvas c;
  OpenWhite(c, 300, 300, 1.5f);
  for (float angle : {0.4f, 360.0f, -0.5f}) {
    c.SetRotation(angle, 50, 70);
    std::array<float, 6> m = WorldTransform(c);
    EXPECT_FLOAT_EQ(m[0], 1.5f) << angle;
    EXPECT_FLOAT_EQ(m[1], 0.0f) << angle;
    EXPECT_FLOAT_EQ(m[2], 0.0f) << angle;
    EXPECT_FLOAT_EQ(m[3], 1.5f) << angle;
    EXPECT_FLOAT_EQ(m[4], 0.0f) << angle;
    EXPECT_FLOAT_EQ(m[5], 0.0f) << angle;
  }
  // A bar to the right of (100, 100) turns by 90 degrees clockwise: it then hangs below it.
  c.SetRotation(90, 100, 100);
  c.SetSmoothBrush(0xFF000000u);
  c.SetSmoothPen(0, 0);
  c.SmoothRect(100, 95, 60, 10);
  EXPECT_TRUE(IsDark(Pixel(c, 150, 195)));  // design (100, 130)
  EXPECT_TRUE(IsDark(Pixel(c, 150, 230)));  // design (100, 153)
  EXPECT_EQ(Pixel(c, 195, 150), kWhite);    // design (130, 100): where it was
  // Turning back leaves the scale alone again.
  c.SetRotation(720, 100, 100);
  c.Clear(kWhite);
  c.SmoothRect(100, 95, 60, 10);
  EXPECT_TRUE(IsDark(Pixel(c, 195, 150)));
  EXPECT_EQ(Pixel(c, 150, 195), kWhite);
  c.End();
}

TEST(CanvasSmooth, ArrowCapsNeedAPen) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  c.SetSmoothPen(2.0f, 0xFF000000u);
  c.SetArrowCaps(4, 4, true, 0, 0);  // arrowhead at the end only
  c.SmoothLine(10, 50, 80, 50);
  // The head, 8 pixels long and 8 wide at width 2 with its tip at the end point, spreads beyond
  // the line's width near the end.
  EXPECT_TRUE(IsDark(Pixel(c, 73, 47)));
  EXPECT_TRUE(IsDark(Pixel(c, 73, 53)));
  EXPECT_EQ(Pixel(c, 14, 46), kWhite);
  c.SetSmoothPen(0, 0);
  c.SetArrowCaps(4, 4, true, 4, 4);  // nothing to put them on: no effect, no crash
  EXPECT_FALSE(c.smoothPen);
  c.End();
}

TEST(CanvasSmooth, PathTextDrawsGlyphsWithTheDefaultFont) {
  // Wine's GDI+ does not implement the union outline (GdipWindingModeOutline returns
  // NotImplemented); the glyph path is then drawn as it is, which still shows the text.
  PageCanvas c;
  OpenWhite(c, 200, 60, 1.0f);
  c.SetSmoothBrush(0xFF000000u);
  c.PathText(5, 5, 190, 50, L"MMM");
  EXPECT_FLOAT_EQ(c.pathFontSize, 13.6872f);
  EXPECT_TRUE(c.pathFontFamily);
  EXPECT_GT(CountDark(c, 0, 0, 200, 60), 20);
  EXPECT_EQ(CountDark(c, 0, 35, 200, 60), 0);  // 13.7-unit glyphs stay near the top

  c.Clear(kWhite);
  c.SetPathFont(L"No Such Font Anywhere", 20, true, false, true, true);
  EXPECT_FALSE(c.pathFontFamily);
  EXPECT_EQ(c.pathFontStyle, 1 + 8 + 4);
  EXPECT_FLOAT_EQ(c.pathFontSize, 20 * 1.5208f);
  c.PathText(5, 5, 190, 50, L"MMM");  // falls back to "Microsoft YaHei"
  EXPECT_TRUE(c.pathFontFamily);
  EXPECT_GT(CountDark(c, 0, 0, 200, 60), 20);
  c.End();
}

TEST(CanvasOpen, NonWindowGivesAnInertCanvas) {
  PageCanvas c;
  c.Begin(reinterpret_cast<HWND>(0x12345), RGB(1, 2, 3), false, 0, 0, 0, 0, false);
  EXPECT_FALSE(c.backDc);
  EXPECT_FALSE(c.graphics);
  EXPECT_EQ(c.width, 0);
  EXPECT_TRUE(c.smoothPen);  // the one object an inert canvas has
  c.SetLinePen(1, kRed, PS_SOLID);
  c.SetFillBrush(kRed);
  c.Box(0, 0, 10, 10);
  c.Line(0, 0, 10, 10);
  c.Text(0, 0, L"x");
  c.SmoothRect(0, 0, 10, 10);
  c.PathText(0, 0, 10, 10, L"x");
  c.Clear(kCanvasNoColor);
  c.End();
  EXPECT_FALSE(c.smoothPen);
}

TEST(CanvasWindow, BeginWithOriginCoversTheRestAndPresentsThere) {
  TestWindow w(200, 150);
  w.Fill(kWhite);
  PageCanvas c;
  c.Begin(w.get(), kRed, false, 10, 20, 0, 0, false);
  EXPECT_EQ(c.width, 190);
  EXPECT_EQ(c.height, 130);
  EXPECT_FLOAT_EQ(c.scaleX, 1.0f);
  EXPECT_EQ(Pixel(c, 0, 0), kRed);
  EXPECT_EQ(Pixel(c, 189, 129), kRed);
  EXPECT_EQ(w.ClientPixel(100, 100), kWhite);  // nothing shows before the transfer
  c.End();
  EXPECT_EQ(w.ClientPixel(10, 20), kRed);
  EXPECT_EQ(w.ClientPixel(199, 149), kRed);
  EXPECT_EQ(w.ClientPixel(9, 100), kWhite);
  EXPECT_EQ(w.ClientPixel(100, 19), kWhite);
}

TEST(CanvasWindow, ExplicitSizeAndWindowDc) {
  TestWindow w(120, 100);
  w.Fill(kWhite);
  PageCanvas c;
  c.Begin(w.get(), kBlue, false, 5, 5, 30, 40, false);
  EXPECT_EQ(c.width, 30);
  EXPECT_EQ(c.height, 40);
  c.End();
  EXPECT_EQ(w.ClientPixel(5, 5), kBlue);
  EXPECT_EQ(w.ClientPixel(34, 44), kBlue);
  EXPECT_EQ(w.ClientPixel(35, 44), kWhite);

  PageCanvas whole;
  whole.Begin(w.get(), kRed, false, 0, 0, 0, 0, true);  // the window rectangle
  RECT r{};
  ::GetWindowRect(w.get(), &r);
  EXPECT_EQ(whole.width, r.right - r.left);
  EXPECT_EQ(whole.height, r.bottom - r.top);
  whole.End();
}

TEST(CanvasWindow, SavedBackgroundIsRestoredByClear) {
  TestWindow w(100, 80);
  w.Fill(kBlue);
  PageCanvas c;
  c.Begin(w.get(), kCanvasNoColor, false, 0, 0, 0, 0, false);
  ASSERT_TRUE(c.savedDc);
  EXPECT_EQ(Pixel(c, 50, 40), kBlue);  // starts from the window's pixels
  c.SetLinePen(0, kRed, PS_SOLID);
  c.SetFillBrush(kRed);
  c.Box(0, 0, 0, 0);
  c.SetSmoothBrush(0xFF000000u);
  c.SmoothEllipse(10, 10, 50, 50);
  EXPECT_NE(Pixel(c, 35, 35), kBlue);
  c.Clear(kCanvasNoColor);
  for (int y = 0; y < 80; y += 3) {
    for (int x = 0; x < 100; x += 3) ASSERT_EQ(Pixel(c, x, y), kBlue) << x << "," << y;
  }
  c.End();
  EXPECT_EQ(w.ClientPixel(35, 35), kBlue);
}

TEST(CanvasWindow, PaintPathEndsThePaint) {
  TestWindow w(60, 60);
  ::InvalidateRect(w.get(), nullptr, FALSE);
  PageCanvas c;
  c.Begin(w.get(), kRed, true, 0, 0, 0, 0, false);
  EXPECT_EQ(c.openedForPaint, 1);
  EXPECT_EQ(c.width, 60);
  c.End();
  RECT update{};
  EXPECT_FALSE(::GetUpdateRect(w.get(), &update, FALSE));  // EndPaint validated the window
  EXPECT_EQ(w.ClientPixel(30, 30), kRed);
}

}  // namespace
}  // namespace zv::test
