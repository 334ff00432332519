// PaintVectorPicture on an offscreen canvas: the clip, the palette overrides, the over-long
// picture and the text conversion of "i".
#include <gtest/gtest.h>

#include <string>

#include "paint/picture_painter.h"
#include "tests/paint_win/paint_test_support.h"

namespace zv::test {
namespace {

// A rectangle filled with palette entry 1, from -500 to 1500 in the picture's space: twice the
// box in every direction, so only the clip keeps it inside.
constexpr char kOversizedBox[] = "b100000JFJFw_w_";
constexpr COLORREF kDarkBlue = RGB(0, 0, 0x8B);

int CountColour(const PageCanvas& c, COLORREF colour) {
  return test::CountColour(c, colour, 0, 0, c.width, c.height);
}

TEST(PicturePainter, DrawsClippedToTheBoxAndResetsTheClip) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  PaintVectorPicture(c, 20, 20, 40, 40, kOversizedBox, "");
  EXPECT_EQ(Pixel(c, 20, 20), kBlack);
  EXPECT_EQ(Pixel(c, 59, 59), kBlack);
  EXPECT_EQ(CountColour(c, kBlack), 40 * 40);
  // No clip afterwards: smooth drawing reaches the whole buffer again.
  c.SetSmoothBrush(0xFFFF0000u);
  c.SetSmoothPen(0, 0);
  c.SmoothRect(0, 0, 100, 100);
  EXPECT_EQ(Pixel(c, 5, 5), kRed);
  EXPECT_EQ(Pixel(c, 95, 95), kRed);
  c.End();
}

TEST(PicturePainter, ScalesWithTheCanvas) {
  PageCanvas c;
  OpenWhite(c, 150, 150, 1.5f);
  PaintVectorPicture(c, 20, 20, 40, 40, kOversizedBox, "");
  EXPECT_EQ(CountColour(c, kBlack), 60 * 60);  // device 30..90
  EXPECT_EQ(Pixel(c, 30, 30), kBlack);
  EXPECT_EQ(Pixel(c, 29, 30), kWhite);
  EXPECT_EQ(Pixel(c, 90, 89), kWhite);
  c.End();
}

TEST(PicturePainter, OverrideAndColourListRecolourThePalette) {
  PageCanvas c;
  OpenWhite(c, 100, 100, 1.0f);
  PaintVectorPicture(c, 0, 0, 50, 50, kOversizedBox, "FF00008B");
  EXPECT_EQ(Pixel(c, 25, 25), kDarkBlue);
  EXPECT_EQ(CountColour(c, kBlack), 0);
  // The picture's own list: an empty item keeps entry 1, the next sets entry 2.
  PaintVectorPicture(c, 50, 50, 50, 50, "(,FF00008B)b100000JFJFw_w_", "");
  EXPECT_EQ(Pixel(c, 75, 75), kBlack);
  PaintVectorPicture(c, 50, 0, 50, 50, "(,FF00008B)b200000JFJFw_w_", "");
  EXPECT_EQ(Pixel(c, 75, 25), kDarkBlue);
  // An empty override item clears its entry: no fill at all.
  c.Clear(kWhite);
  PaintVectorPicture(c, 0, 0, 50, 50, kOversizedBox, ",FF00008B");
  EXPECT_EQ(CountColour(c, kWhite), 100 * 100);
  c.End();
}

TEST(PicturePainter, OverLongPictureIsReportedAndNotDrawn) {
  PageCanvas c;
  OpenWhite(c, 60, 60, 1.0f);
  std::string picture = std::string(kOversizedBox) + "+";
  picture.resize(10000, 'z');  // "z" commands draw nothing
  ::testing::internal::CaptureStdout();
  PaintVectorPicture(c, 0, 0, 60, 60, picture, "");
  std::string printed = ::testing::internal::GetCapturedStdout();
  char expected[32] = {};
  ::WideCharToMultiByte(CP_ACP, 0, L"异常长度\n", -1, expected, sizeof(expected), nullptr, nullptr);
  EXPECT_EQ(printed, expected);
  EXPECT_EQ(CountColour(c, kWhite), 60 * 60);

  // 9,999 characters are still a picture.
  picture.resize(9999);
  ::testing::internal::CaptureStdout();
  PaintVectorPicture(c, 0, 0, 60, 60, picture, "");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(CountColour(c, kBlack), 60 * 60);
  c.End();
}

TEST(PicturePainter, NothingToDrawLeavesTheCallersClip) {
  PageCanvas c;
  OpenWhite(c, 60, 60, 1.0f);
  GdiplusLibrary()->GdipSetClipRect(c.graphics.get(), 0, 0, 10, 10, Gdiplus::CombineModeReplace);
  PaintVectorPicture(c, 0, 0, 60, 60, "", "");
  PaintVectorPicture(c, 0, 0, 0.5f, 60, kOversizedBox, "");
  PaintVectorPicture(c, 0, 0, 60, 0.9f, kOversizedBox, "");
  EXPECT_EQ(CountColour(c, kWhite), 60 * 60);
  c.SetSmoothBrush(0xFF000000u);
  c.SmoothRect(0, 0, 60, 60);
  EXPECT_EQ(CountColour(c, kBlack), 10 * 10);
  c.End();
}

// An "i" command: outlined text "MW" at (100, 100) of the box, size 100/500 of the box width,
// black fill, in the given face.
std::string TextPicture(const std::string& face) {
  std::string run = face + ",MW";
  int n = static_cast<int>(run.size());
  std::string length = n <= 16 ? std::string(1, static_cast<char>('0' + n))
                               : std::string{static_cast<char>(65 + (n + 1000) / 55),
                                             static_cast<char>(65 + (n + 1000) % 55)};
  return "i1000UA0000UAUA" + length + "&" + run;
}

TEST(PicturePainter, TextInAnUnknownFaceDrawsInTheDefaultFace) {
  PageCanvas known, unknown;
  OpenWhite(known, 110, 110, 1.0f);
  OpenWhite(unknown, 110, 110, 1.0f);
  PaintVectorPicture(known, 0, 0, 110, 110, TextPicture("Microsoft YaHei"), "");
  PaintVectorPicture(unknown, 0, 0, 110, 110, TextPicture("NoSuchFace"), "");
  int dark = CountDark(known, 0, 0, 110, 110);
  EXPECT_GT(dark, 30);
  EXPECT_EQ(CountDark(unknown, 0, 0, 110, 110), dark);
  for (int y = 0; y < 110; ++y) {
    for (int x = 0; x < 110; ++x) {
      ASSERT_EQ(Pixel(unknown, x, y), Pixel(known, x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(CountDark(known, 0, 0, 110, 8), 0);  // the text starts at (11, 11)
  known.End();
  unknown.End();
}

TEST(PicturePainter, PictureTextConvertsWithTheCodePageOrFallsBack) {
  EXPECT_EQ(PictureTextToWide("Microsoft YaHei,A+B%*"), L"Microsoft YaHei,A+B%*");
  EXPECT_EQ(PictureTextToWide(""), L"");
  EXPECT_EQ(PictureTextToWide("\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA,Zelv", 936), L"微软雅黑,Zelv");
  // Bytes the code page cannot read: ASCII stays, every other byte becomes "?".
  EXPECT_EQ(PictureTextToWide("A\xFF\xFE" "B", CP_UTF8), L"A??B");
  EXPECT_EQ(PictureTextToWide("\xB0", 936), L"?");  // a lead byte without its trail byte
}

}  // namespace
}  // namespace zv::test
