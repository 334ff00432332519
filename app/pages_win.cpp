// The painting of the wizard's pages: backgrounds, header band, pictures and fixed texts, all in
// design units on the page canvas.
#include <windows.h>

#include <span>
#include <utility>
#include <vector>

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
constexpr COLORREF kShadowText = 0x80000000 | COLOR_BTNSHADOW;  // a system colour, by index
constexpr UINT kCentredLine = DT_CENTER | DT_SINGLELINE;  // 33
constexpr const wchar_t* kYaHei = kCanvasDefaultFace;  // "Microsoft YaHei": one copy in the stub
constexpr wchar_t kSimHei[] = L"SimHei";
constexpr char kHeaderOverride[] = "FF00008B";  // palette entry 1 becomes dark blue

// One text of a page: its font, colour and place. A width of 0 draws the text from its top-left
// corner; otherwise it is centred on one line in the box. Texts that vary are read through
// `variable`. All are drawn with a transparent background.
struct PageText {
  const wchar_t* face;
  unsigned char size;
  bool bold;
  COLORREF colour;
  short x, y, w, h;
  const wchar_t* fixed;
  const std::wstring* variable;
};

constinit std::wstring gVersionLine;  // the welcome page's copy, refreshed before painting it

constexpr PageText kWelcomeTexts[] = {
    {kYaHei, 12, false, kBlack, 120, 20, 325, 25, text::kWelcome1, nullptr},
    {kYaHei, 12, false, kPurple, 10, 258, 0, 0, text::kWelcome2, nullptr},
    {kYaHei, 16, true, kDarkGreen, 140, 218, 0, 0, text::kBrand, nullptr},
    {kYaHei, 12, false, kRed, 238, 224, 0, 0, text::kSlogan, nullptr},
    {kYaHei, 9, false, kBlack, 281, 180, 0, 0, text::kWelcomeNext, nullptr},
    {kYaHei, 9, false, kBlack, 130, 152, 0, 0, text::kWelcomeGuide, nullptr},
    {kYaHei, 18, false, kBlue, 120, 60, 325, 50, nullptr, &gWelcomeName},
    {kYaHei, 9, false, kBlue, 120, 104, 325, 25, nullptr, &gVersionLine},
};
constexpr PageText kHeaderTexts[] = {
    {kYaHei, 11, true, kBlack, 318, 15, 123, 18, text::kStudio, nullptr},
    {kYaHei, 10, true, kBlack, 318, 30, 123, 18, text::kMakerWeb, nullptr},
    {kYaHei, 9, false, kShadowText, 12, 242, 0, 0, text::kMakerDomain, nullptr},
    {kSimHei, 14, true, kBlack, 13, 7, 0, 0, nullptr, &gPageTitle},
    {kYaHei, 9, false, kBlack, 22, 33, 0, 0, nullptr, &gPageSubtitle},
};
constexpr PageText kFolderTexts[] = {
    {kYaHei, 9, false, kBlack, 10, 63, 0, 0, text::kFolderText1, nullptr},
    {kYaHei, 9, false, kBlack, 10, 83, 0, 0, text::kFolderText2, nullptr},
    {kYaHei, 9, false, kGreen, 5, 109, 0, 0, text::kFolderText3, nullptr},
    {kYaHei, 9, false, kGreen, 5, 127, 0, 0, text::kFolderText4, nullptr},
};
constexpr PageText kExtractionTexts[] = {
    {kYaHei, 18, false, kBlack, 29, 93, 0, 0, text::kExtractText, nullptr},
};
constexpr PageText kFinishTexts[] = {
    {kYaHei, 9, false, kBlack, 13, 65, 0, 0, text::kFinishText1, nullptr},
    {kYaHei, 9, false, kBlack, 15, 189, 0, 0, text::kFinishText2, nullptr},
    {kYaHei, 9, false, kRed, 15, 216, 0, 0, text::kFinishText3, nullptr},
    {kYaHei, 16, true, kGreen, 300, 109, 0, 0, text::kBrand, nullptr},
    {kYaHei, 12, false, kGreen, 253, 138, 0, 0, text::kSlogan, nullptr},
};

void PaintTexts(PageCanvas& canvas, std::span<const PageText> texts) {
  for (const PageText& t : texts) {
    canvas.SetFont(t.face, t.size, t.bold, false, false, false);
    const COLORREF colour = (t.colour & 0x80000000) ? GetSysColor(t.colour & 0xFF) : t.colour;
    canvas.SetTextColors(colour, kCanvasNoColor);
    const std::wstring_view text = t.fixed ? std::wstring_view(t.fixed) : std::wstring_view(*t.variable);
    if (t.w) {
      canvas.TextInBox(t.x, t.y, t.w, t.h, text, kCentredLine);
    } else {
      canvas.Text(t.x, t.y, text);
    }
  }
}

void Picture(PageCanvas& canvas, int slot, float x, float y, float size, const char* overrides) {
  // A repaint of part of the page (the label during extraction, 30 times a second) skips the
  // pictures outside it: they cost more than all the rest of the page.
  const RECT box{static_cast<LONG>(x * canvas.scaleX), static_cast<LONG>(y * canvas.scaleY),
                 static_cast<LONG>((x + size) * canvas.scaleX) + 1,
                 static_cast<LONG>((y + size) * canvas.scaleY) + 1};
  RECT common;
  if (canvas.openedForPaint && !IntersectRect(&common, &box, &canvas.paintInfo.rcPaint)) return;
  PaintVectorPicture(canvas, x, y, size, size, gPagePictures[slot], overrides);
}

// The etched divider above the buttons, from x to the right edge.
void Divider(PageCanvas& canvas, int x) {
  canvas.SetLinePen(1, GetSysColor(COLOR_BTNSHADOW), PS_SOLID);
  canvas.Line(x, 250, 450, 250);
  canvas.SetLinePen(1, GetSysColor(COLOR_BTNHIGHLIGHT), PS_SOLID);
  canvas.Line(x, 251, 450, 251);
}

// A text the page shows, with its place, for reading in order.
struct PlacedText {
  int y, x;
  std::wstring_view text;
};

void Place(std::vector<PlacedText>& placed, std::span<const PageText> texts) {
  for (const PageText& t : texts) {
    placed.push_back({t.y, t.x, t.fixed ? std::wstring_view(t.fixed) : std::wstring_view(*t.variable)});
  }
}

void PlaceWindowless(std::vector<PlacedText>& placed, const WindowlessHandle& handle) {
  const ControlData* record = FindWindowlessControl(handle);
  if (record && (record->flags & kFlagVisible)) {
    placed.push_back({record->top, record->left, record->caption});
  }
}

}  // namespace

void PaintedPageTexts(HWND, std::vector<std::wstring>& texts) {
  // The tables the painter draws from, and the windowless frame's and label's captions.
  std::vector<PlacedText> placed;
  if (gWizardState == 1) {
    Place(placed, kWelcomeTexts);
  } else {
    Place(placed, kHeaderTexts);
  }
  switch (gWizardState) {
    case 2: Place(placed, kFolderTexts); break;
    case 3: Place(placed, kExtractionTexts); break;
    case 4: Place(placed, kFinishTexts); break;
    default: break;
  }
  PlaceWindowless(placed, gForm1.frame1);
  PlaceWindowless(placed, gForm1.label1);
  // Reading order: line by line from the top, each line from the left (a dozen texts: an
  // insertion sort is all it takes).
  for (size_t i = 1; i < placed.size(); ++i) {
    for (size_t j = i; j > 0; --j) {
      const PlacedText& a = placed[j - 1];
      const PlacedText& b = placed[j];
      if (a.y < b.y || (a.y == b.y && a.x <= b.x)) break;
      std::swap(placed[j - 1], placed[j]);
    }
  }
  texts.clear();
  for (const PlacedText& p : placed) {
    if (!p.text.empty()) texts.emplace_back(p.text);
  }
}

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
  canvas.Box(0, 0, 450, 51);  // the header band
  Picture(canvas, 2, 265, 0, 50, kHeaderOverride);
  canvas.SetLinePen(1, GetSysColor(COLOR_BTNSHADOW), PS_SOLID);
  canvas.Line(0, 51, 450, 51);
  Divider(canvas, 68);  // shortened: the maker's domain stands at its left end
  PaintTexts(canvas, kHeaderTexts);
}

int PaintPage(HWND, PageCanvas& canvas, COLORREF) {
  switch (gWizardState) {
    case 1:
      PaintWelcomeBackground(canvas);
      gVersionLine = ToWide(gPackageInfo.VersionLine);
      PaintTexts(canvas, kWelcomeTexts);
      break;
    case 2:
      PaintPageHeader(canvas);
      PaintTexts(canvas, kFolderTexts);
      break;
    case 3:
      PaintPageHeader(canvas);
      PaintTexts(canvas, kExtractionTexts);
      break;
    case 4:
      PaintPageHeader(canvas);
      PaintTexts(canvas, kFinishTexts);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace zv
