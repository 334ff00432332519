// The painting of the wizard's pages: backgrounds, header band, pictures and fixed texts, all in
// design units on the page canvas.
#include <windows.h>

#include "app/installer_win.h"
#include "app/texts.h"
#include "paint/canvas.h"
#include "paint/picture_painter.h"

namespace zv {

namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kPurple = 0x800080;
constexpr COLORREF kDarkGreen = 0x006400;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kGreen = 0x008000;
constexpr COLORREF kPaleYellow = 0xE0FFFF;
constexpr UINT kCentredLine = DT_CENTER | DT_SINGLELINE;  // 33
constexpr wchar_t kYaHei[] = L"Microsoft YaHei";
constexpr wchar_t kSimHei[] = L"SimHei";
constexpr char kHeaderOverride[] = "FF00008B";  // palette entry 1 becomes dark blue

void Font(PageCanvas& canvas, const wchar_t* face, float size, bool bold = false) {
  canvas.SetFont(face, size, bold, false, false, false);
}

void Ink(PageCanvas& canvas, COLORREF colour) { canvas.SetTextColors(colour, kCanvasNoColor); }

void Picture(PageCanvas& canvas, int slot, float x, float y, float size, const char* overrides) {
  PaintVectorPicture(canvas, x, y, size, size, gPagePictures[slot], overrides);
}

// The etched divider above the buttons, from x to the right edge.
void Divider(PageCanvas& canvas, int x) {
  canvas.SetLinePen(1, GetSysColor(COLOR_BTNSHADOW), PS_SOLID);
  canvas.Line(x, 250, 450, 250);
  canvas.SetLinePen(1, GetSysColor(COLOR_BTNHIGHLIGHT), PS_SOLID);
  canvas.Line(x, 251, 450, 251);
}

void PaintWelcomeTexts(PageCanvas& canvas) {
  Font(canvas, kYaHei, 12);
  Ink(canvas, kBlack);
  canvas.TextInBox(120, 20, 325, 25, text::kWelcome1, kCentredLine);
  Ink(canvas, kPurple);
  canvas.Text(10, 258, text::kWelcome2);
  Font(canvas, kYaHei, 16, true);
  Ink(canvas, kDarkGreen);
  canvas.Text(140, 218, text::kBrand);
  Font(canvas, kYaHei, 12);
  Ink(canvas, kRed);
  canvas.Text(238, 224, text::kSlogan);
  Font(canvas, kYaHei, 9);
  Ink(canvas, kBlack);
  canvas.Text(281, 180, text::kWelcomeNext);
  canvas.Text(130, 152, text::kWelcomeGuide);
  Font(canvas, kYaHei, 18);
  Ink(canvas, kBlue);
  canvas.TextInBox(120, 60, 325, 50, gWelcomeName, kCentredLine);
  Font(canvas, kYaHei, 9);
  canvas.TextInBox(120, 104, 325, 25, ToWide(gPackageInfo.VersionLine), kCentredLine);
}

void PaintFolderTexts(PageCanvas& canvas) {
  Font(canvas, kYaHei, 9);
  Ink(canvas, kBlack);
  canvas.Text(10, 63, text::kFolderText1);
  canvas.Text(10, 83, text::kFolderText2);
  Ink(canvas, kGreen);
  canvas.Text(5, 109, text::kFolderText3);
  canvas.Text(5, 127, text::kFolderText4);
}

void PaintExtractionText(PageCanvas& canvas) {
  Font(canvas, kYaHei, 18);
  Ink(canvas, kBlack);
  canvas.Text(29, 93, text::kExtractText);
}

void PaintFinishTexts(PageCanvas& canvas) {
  Font(canvas, kYaHei, 9);
  Ink(canvas, kBlack);
  canvas.Text(13, 65, text::kFinishText1);
  canvas.Text(15, 189, text::kFinishText2);
  Ink(canvas, kRed);
  canvas.Text(15, 216, text::kFinishText3);
  Font(canvas, kYaHei, 16, true);
  Ink(canvas, kGreen);
  canvas.Text(300, 109, text::kBrand);
  Font(canvas, kYaHei, 12);
  canvas.Text(253, 138, text::kSlogan);
}

}  // namespace

void PaintWelcomeBackground(PageCanvas& canvas) {
  canvas.SetLinePen(0, 0, PS_SOLID);  // no outline for the boxes
  canvas.SetFillBrush(GetSysColor(COLOR_BTNFACE));
  canvas.Box(0, 0, 450, 350);
  Picture(canvas, 0, 5, 5, 110, "");
  Picture(canvas, 1, 5, 150, 110, "");
  Picture(canvas, 2, 23, 180, 50, "");
  canvas.SetFillBrush(kPaleYellow);
  canvas.Box(120, 0, 450, 250);
  Divider(canvas, 0);
}

void PaintPageHeader(PageCanvas& canvas) {
  canvas.SetLinePen(0, 0, PS_SOLID);
  canvas.SetFillBrush(GetSysColor(COLOR_BTNFACE));
  canvas.Box(0, 0, 450, 350);
  canvas.SetFillBrush(kPaleYellow);
  canvas.Box(0, 0, 450, 51);
  Picture(canvas, 2, 265, 0, 50, kHeaderOverride);
  Ink(canvas, kBlack);
  Font(canvas, kYaHei, 11, true);
  canvas.TextInBox(318, 15, 123, 18, text::kStudio, kCentredLine);
  Font(canvas, kYaHei, 10, true);
  canvas.TextInBox(318, 30, 123, 18, text::kMakerWeb, kCentredLine);
  Font(canvas, kYaHei, 9);
  canvas.SetLinePen(1, GetSysColor(COLOR_BTNSHADOW), PS_SOLID);
  canvas.Line(0, 51, 450, 51);
  Divider(canvas, 68);
  Ink(canvas, GetSysColor(COLOR_BTNSHADOW));
  canvas.Text(12, 242, text::kMakerDomain);
  Ink(canvas, kBlack);
  Font(canvas, kSimHei, 14, true);
  canvas.Text(13, 7, gPageTitle);
  Font(canvas, kYaHei, 9);
  canvas.Text(22, 33, gPageSubtitle);
}

int PaintPage(HWND, PageCanvas& canvas, COLORREF) {
  switch (gWizardState) {
    case 1:
      PaintWelcomeBackground(canvas);
      PaintWelcomeTexts(canvas);
      break;
    case 2:
      PaintPageHeader(canvas);
      PaintFolderTexts(canvas);
      break;
    case 3:
      PaintPageHeader(canvas);
      PaintExtractionText(canvas);
      break;
    case 4:
      PaintPageHeader(canvas);
      PaintFinishTexts(canvas);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace zv
