// The windowless frame and label painted into an offscreen canvas, their records living in the
// chain of a (hidden) form window.
#include <gtest/gtest.h>

#include <memory>

#include "paint/windowless.h"
#include "tests/paint_win/paint_test_support.h"
#include "ui/form.h"

namespace zv::test {
namespace {

constexpr uint32_t kRedCode = 0xFF0000FFu;   // literal colour codes are 0xAABBGGRR
constexpr uint32_t kBlueCode = 0xFFFF0000u;
constexpr COLORREF kGreen = RGB(0, 255, 0);

// A hidden window with a form record heading a chain of windowless records.
class TestForm {
 public:
  TestForm() : window_(40, 40, false) {
    AttachControlData(window_.get(), std::make_unique<ControlData>());
  }
  ~TestForm() { DetachControlData(window_.get()); }
  ControlData& Add(int id, int left, int top, int width, int height) {
    auto record = std::make_unique<ControlData>();
    record->controlId = id;
    record->flags = kFlagState | kFlagVisible;
    record->left = left;
    record->top = top;
    record->width = width;
    record->height = height;
    return *LinkWindowlessControl(window_.get(), std::move(record));
  }
  WindowlessHandle Handle(int id) const { return WindowlessHandle{id, nullptr, {}, {}}; }
  HWND get() const { return window_.get(); }

 private:
  TestWindow window_;
};

bool IsRedish(COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) < 120 && GetBValue(c) < 120; }

// The first row in column x, from y0 down, whose pixel is reddish; -1 when none is.
int FirstRedRow(const PageCanvas& c, int x, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    if (IsRedish(Pixel(c, x, y))) return y;
  }
  return -1;
}

// Frame1 of the installer's form, in red on a white page with a green form background.
ControlData& AddFrame(TestForm& form, const std::wstring& caption) {
  ControlData& frame = form.Add(107, 10, 50, 424, 88);
  frame.caption = caption;
  frame.flags |= kFlagContainer | (5u << 16) | (1u << 12);  // radius 5, border 1, caption left
  frame.kindValues[0] = static_cast<int32_t>(kRedCode);    // border colour
  frame.foreColor = 0x087F7F7Fu;                            // window text
  frame.fontText = L"Microsoft YaHei,9,0";
  return frame;
}

TEST(WindowlessFrame, BorderRunsThroughTheCaptionAndBreaksBehindIt) {
  TestForm form;
  AddFrame(form, L"选择目标文件夹");
  WindowlessHandle handle = form.Handle(107);
  PageCanvas c;
  OpenWhite(c, 460, 160, 1.0f);
  HFONT canvasFont = c.font.get();
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  EXPECT_EQ(handle.form, form.get());

  // The caption's line is about 16-20 units high: the top border lies half of it down.
  int border = FirstRedRow(c, 300, 40, 80);
  ASSERT_GE(border, 56);
  ASSERT_LE(border, 62);
  EXPECT_TRUE(IsRedish(Pixel(c, 16, border)));   // the border up to the caption...
  EXPECT_EQ(Pixel(c, 17, border), kGreen);       // ...which starts r + b + 1 = 7 units in
  // The caption's opaque box hides the border all along the caption.
  int captionEnd = 17;
  while (captionEnd < 300 && !IsRedish(Pixel(c, captionEnd, border))) ++captionEnd;
  EXPECT_GT(captionEnd, 17 + 7 * 12);  // seven characters of 12 units and the two spaces
  EXPECT_LT(captionEnd, 17 + 9 * 12 + 20);
  EXPECT_EQ(Pixel(c, captionEnd - 1, border), kGreen);  // the closing space
  EXPECT_GT(CountDark(c, 17, 50, 140, 75), 10);  // the caption in the window-text colour
  EXPECT_EQ(CountDark(c, 0, 0, 460, 49), 0);
  // Sides and bottom, and no fill with the default back colour.
  EXPECT_GT(FirstRedRow(c, 10, border + 10, 140), 0);
  EXPECT_EQ(FirstRedRow(c, 200, border + 2, 138), -1);
  EXPECT_TRUE(IsRedish(Pixel(c, 200, 138)));  // the bottom edge: T + H
  EXPECT_EQ(Pixel(c, 200, 100), kWhite);
  // The canvas gets its font and transparent text background back.
  EXPECT_EQ(::GetCurrentObject(c.backDc.get(), OBJ_FONT), canvasFont);
  EXPECT_EQ(::GetBkMode(c.backDc.get()), TRANSPARENT);
  c.End();
}

TEST(WindowlessFrame, CaptionAlignmentsAndEmptyCaption) {
  TestForm form;
  ControlData& frame = AddFrame(form, L"MMMM");
  WindowlessHandle handle = form.Handle(107);
  PageCanvas c;
  OpenWhite(c, 460, 160, 1.0f);
  frame.flags |= 2u << 24;  // right
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  int border = FirstRedRow(c, 200, 40, 80);
  EXPECT_TRUE(IsRedish(Pixel(c, 100, border)));
  EXPECT_GT(CountColour(c, kGreen, 300, border, 420, border + 1), 10);  // caption at the right

  c.Clear(kWhite);
  frame.flags = (frame.flags & 0x00FFFFFFu) | (1u << 24);  // centre
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  EXPECT_EQ(CountColour(c, kGreen, 17, 40, 150, 80), 0);
  EXPECT_GT(CountColour(c, kGreen, 150, 40, 300, 80), 10);

  // Without a caption the border runs along the top edge and nothing is opaque.
  c.Clear(kWhite);
  frame.caption.clear();
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  EXPECT_EQ(FirstRedRow(c, 200, 40, 80), 50);
  EXPECT_EQ(CountColour(c, kGreen, 0, 0, 460, 160), 0);
  c.End();
}

TEST(WindowlessFrame, BackColourFillsAndNoBorderDrawsOnlyTheCaption) {
  TestForm form;
  ControlData& frame = AddFrame(form, L"MM");
  WindowlessHandle handle = form.Handle(107);
  PageCanvas c;
  OpenWhite(c, 460, 160, 1.0f);
  frame.backColor = kBlueCode;
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  EXPECT_EQ(Pixel(c, 200, 100), kBlue);  // filled with the back colour
  EXPECT_EQ(Pixel(c, 30, 58), kBlue);    // which is also the caption's background

  c.Clear(kWhite);
  frame.backColor = kDefaultColor;
  frame.flags &= ~(0xFu << 12);  // border width 0
  PaintWindowlessFrame(handle, c, form.get(), kCanvasNoColor);
  EXPECT_EQ(FirstRedRow(c, 200, 0, 160), -1);
  EXPECT_EQ(Pixel(c, 200, 100), kWhite);
  // The caption's background falls back to the button face when the form has none.
  EXPECT_GT(CountColour(c, ::GetSysColor(COLOR_BTNFACE), 17, 50, 80, 75), 10);

  c.Clear(kWhite);
  frame.flags &= ~kFlagVisible;
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  WindowlessHandle missing = form.Handle(999);
  PaintWindowlessFrame(missing, c, form.get(), kGreen);
  EXPECT_EQ(CountColour(c, kWhite, 0, 0, 460, 160), 460 * 160);
  c.End();
}

TEST(WindowlessFrame, SquareCornersWhenTheRadiusIsZero) {
  TestForm form;
  ControlData& frame = AddFrame(form, L"");
  frame.flags &= ~(0xFFu << 16);
  WindowlessHandle handle = form.Handle(107);
  PageCanvas c;
  OpenWhite(c, 460, 160, 1.0f);
  PaintWindowlessFrame(handle, c, form.get(), kGreen);
  EXPECT_TRUE(IsRedish(Pixel(c, 10, 50)));
  EXPECT_TRUE(IsRedish(Pixel(c, 434, 138)));
  c.End();
}

TEST(WindowlessLabel, FormatsFollowAlignmentAndFlags) {
  EXPECT_EQ(LabelTextFormat(0), UINT(DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS));
  EXPECT_EQ(LabelTextFormat(4u << 16), UINT(DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS));
  EXPECT_EQ(LabelTextFormat(8u << 16), UINT(DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS));
  EXPECT_EQ(LabelTextFormat(9u << 16), UINT(DT_NOPREFIX | DT_EXPANDTABS));
  EXPECT_EQ(LabelTextFormat(10u << 16), UINT(DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS));
  EXPECT_EQ(LabelTextFormat((2u << 16) | kFlagMnemonic | kFlagEllipsis),
            UINT(DT_RIGHT | DT_WORDBREAK | DT_WORD_ELLIPSIS | DT_EXPANDTABS));
}

TEST(WindowlessLabel, FontTextSplitsIntoTrimmedFields) {
  FontTextParts p = SplitFontText(L" Microsoft YaHei , 12 ,1, 0,256,3");
  EXPECT_EQ(p.face, L"Microsoft YaHei");
  EXPECT_FLOAT_EQ(p.size, 12);
  EXPECT_TRUE(p.bold);
  EXPECT_FALSE(p.italic);
  EXPECT_FALSE(p.underline);  // only the low 8 bits count
  EXPECT_TRUE(p.strikeout);
  FontTextParts empty = SplitFontText(L"");
  EXPECT_EQ(empty.face, L"SimSun");
  EXPECT_FLOAT_EQ(empty.size, 9);
  EXPECT_FALSE(empty.bold);
  EXPECT_FLOAT_EQ(SplitFontText(L"Arial,0").size, 9);
  EXPECT_FLOAT_EQ(SplitFontText(L"Arial,10.5,0,0,0,0,extra").size, 10.5f);
}

TEST(WindowlessLabel, AutoSizeTakesTheTextsSize) {
  TestForm form;
  ControlData& label = form.Add(102, 15, 20, 1, 1);
  label.caption = L"进度条提示 Progress";
  label.fontText = L"Microsoft YaHei,9,0";
  label.flags |= 9u << 16;
  WindowlessHandle handle = form.Handle(102);
  PageCanvas c;
  OpenWhite(c, 300, 100, 1.0f);
  PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  SIZE extent{};
  ::GetTextExtentPoint32W(c.backDc.get(), label.caption.c_str(),
                          static_cast<int>(label.caption.size()), &extent);
  EXPECT_EQ(label.width, ScaleToDesign(extent.cx));
  EXPECT_EQ(label.height, ScaleToDesign(extent.cy));
  EXPECT_GT(label.width, 60);
  EXPECT_GT(CountDark(c, 15, 20, 15 + label.width, 20 + label.height), 10);
  EXPECT_EQ(CountDark(c, 15 + label.width + 1, 0, 300, 100), 0);

  // "&" is literal without the mnemonic bit, a prefix with it: the measured text is narrower.
  label.caption = L"A&B";
  PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  int literal = label.width;
  label.flags |= kFlagMnemonic;
  PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  EXPECT_LT(label.width, literal);
  c.End();
}

TEST(WindowlessLabel, AlignmentPlacesTheText) {
  TestForm form;
  ControlData& label = form.Add(102, 0, 0, 300, 90);
  label.caption = L"MMM";
  label.fontText = L"Microsoft YaHei,12,1";
  label.foreColor = 0x00000000u;  // literal black
  WindowlessHandle handle = form.Handle(102);
  PageCanvas c;
  OpenWhite(c, 300, 90, 1.0f);
  auto paint = [&](uint32_t alignment) {
    c.Clear(kWhite);
    label.flags = (label.flags & ~(0xFFu << 16)) | (alignment << 16);
    PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  };
  paint(4);  // middle centre
  EXPECT_GT(CountDark(c, 100, 30, 200, 60), 10);
  EXPECT_EQ(CountDark(c, 0, 0, 100, 90), 0);
  EXPECT_EQ(CountDark(c, 0, 0, 300, 25), 0);
  paint(8);  // bottom right
  EXPECT_GT(CountDark(c, 200, 60, 300, 90), 10);
  EXPECT_EQ(CountDark(c, 0, 0, 200, 90), 0);
  paint(0);  // top left
  EXPECT_GT(CountDark(c, 0, 0, 100, 30), 10);
  EXPECT_EQ(CountDark(c, 0, 35, 300, 90), 0);
  paint(77);  // not an alignment: top left, one line
  EXPECT_GT(CountDark(c, 0, 0, 100, 30), 10);
  EXPECT_EQ(CountDark(c, 100, 0, 300, 90), 0);
  c.End();
}

TEST(WindowlessLabel, ColoursBorderAndDefaultFont) {
  TestForm form;
  ControlData& label = form.Add(102, 10, 10, 200, 40);
  label.caption = L"MMMM";
  WindowlessHandle handle = form.Handle(102);
  PageCanvas c;
  OpenWhite(c, 300, 100, 1.0f);
  // Default fore colour: the text keeps the canvas's colour. Empty font text: SimSun 9, 400.
  c.SetTextColors(kRed, kCanvasNoColor);
  PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  int red = 0;
  for (int y = 10; y < 50; ++y) {
    for (int x = 10; x < 210; ++x) red += IsRedish(Pixel(c, x, y)) ? 1 : 0;
  }
  EXPECT_GT(red, 10);
  EXPECT_EQ(CountDark(c, 0, 0, 300, 100), 0);
  LOGFONTW lf{};
  ::GetObjectW(::GetCurrentObject(c.backDc.get(), OBJ_FONT), sizeof(lf), &lf);
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"SimSun");
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_EQ(::GetCurrentObject(c.backDc.get(), OBJ_FONT), c.font.get());  // the canvas owns it

  // Back colour fills; border style 1 outlines in the fore colour; angle and width reach the font.
  c.Clear(kWhite);
  label.backColor = 0xFF00FF00u;  // green
  label.foreColor = kBlueCode;
  label.flags |= 1u << 24;
  label.kindValues[0] = 900;
  label.kindValues[1] = 7;
  PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  EXPECT_EQ(Pixel(c, 150, 45), kGreen);
  EXPECT_EQ(Pixel(c, 150, 10), kBlue);
  EXPECT_EQ(Pixel(c, 150, 5), kWhite);
  ::GetObjectW(::GetCurrentObject(c.backDc.get(), OBJ_FONT), sizeof(lf), &lf);
  EXPECT_EQ(lf.lfEscapement, 900);
  EXPECT_EQ(lf.lfWidth, 7);
  EXPECT_EQ(::GetTextColor(c.backDc.get()), kBlue);

  c.Clear(kWhite);
  label.flags &= ~kFlagVisible;
  PaintWindowlessLabel(handle, c, form.get(), kCanvasNoColor);
  EXPECT_EQ(CountColour(c, kWhite, 0, 0, 300, 100), 300 * 100);
  c.End();
}

}  // namespace
}  // namespace zv::test
