// The windowless frame and label, painted into the page canvas.
#include "paint/windowless.h"

#include "ui/properties.h"

namespace zv {
namespace {

// The windowless record of the handle on form, or null when it is missing or hidden.
ControlData* VisibleRecord(WindowlessHandle& handle, HWND form) {
  handle.form = form;
  ControlData* record = FindWindowlessControl(handle);
  return record && (record->flags & kFlagVisible) ? record : nullptr;
}

}  // namespace

UINT LabelTextFormat(uint32_t flags) {
  static constexpr UINT kByAlignment[10] = {
      DT_WORDBREAK,
      DT_CENTER | DT_WORDBREAK,
      DT_RIGHT | DT_WORDBREAK,
      DT_VCENTER | DT_SINGLELINE,
      DT_CENTER | DT_VCENTER | DT_SINGLELINE,
      DT_RIGHT | DT_VCENTER | DT_SINGLELINE,
      DT_BOTTOM | DT_SINGLELINE,
      DT_CENTER | DT_BOTTOM | DT_SINGLELINE,
      DT_RIGHT | DT_BOTTOM | DT_SINGLELINE,
      0,  // auto size: top left, no wrapping
  };
  uint32_t alignment = (flags >> 16) & 0xFF;
  UINT format = alignment < 10 ? kByAlignment[alignment] : DT_SINGLELINE;
  if (!(flags & kFlagMnemonic)) format |= DT_NOPREFIX;
  if (flags & kFlagEllipsis) format |= DT_WORD_ELLIPSIS;
  return format | DT_EXPANDTABS;
}

void PaintWindowlessFrame(WindowlessHandle& handle, PageCanvas& canvas, HWND form,
                          COLORREF background) {
  ControlData* frame = VisibleRecord(handle, form);
  if (!frame) return;
  const uint32_t align = frame->flags >> 24;
  const int radius = static_cast<int>((frame->flags >> 16) & 0xFF);
  const int border = static_cast<int>((frame->flags >> 12) & 0xF);
  const int left = frame->left, top = frame->top, width = frame->width, height = frame->height;

  COLORREF text = ResolveColor(frame->foreColor, ::GetSysColor(COLOR_WINDOWTEXT));
  COLORREF fallback = background == kCanvasNoColor ? ::GetSysColor(COLOR_BTNFACE) : background;
  canvas.SetTextColors(text, ResolveColor(frame->backColor, fallback));  // the caption is opaque
  UINT format = (align == 1 ? DT_CENTER : align == 2 ? DT_RIGHT : DT_LEFT) | DT_SINGLELINE |
                DT_EXPANDTABS;
  SelectGuard captionFont(canvas.backDc.get(), CreateFontFromText(frame->fontText, canvas.dpi));

  const std::wstring caption = L" " + frame->caption + L" ";
  const int captionLeft = left + radius + border + 1;
  int captionHeight = 0;
  if (!frame->caption.empty()) {
    int measured = canvas.TextInBox(captionLeft, top, width - 20, height, caption,
                                    format | DT_CALCRECT);
    captionHeight = RoundHalfEven(measured / static_cast<double>(canvas.scaleY));
  }
  canvas.SetSmoothPen(static_cast<float>(border),
                      ResolveColorArgb(static_cast<uint32_t>(frame->kindValues[0]), 0));
  canvas.SetSmoothBrush(ResolveColorArgb(frame->backColor, 0));
  const int half = RoundHalfEven(captionHeight / 2.0);
  canvas.SmoothRoundRect(static_cast<float>(left), static_cast<float>(top + half),
                         static_cast<float>(width), static_cast<float>(height - half),
                         2.0f * radius, 2.0f * radius, 15);
  // The caption's opaque background interrupts the top border behind it.
  if (!frame->caption.empty()) canvas.TextInBox(captionLeft, top, width - 20, height, caption, format);
  ::SetBkMode(canvas.backDc.get(), TRANSPARENT);
}

void PaintWindowlessLabel(WindowlessHandle& handle, PageCanvas& canvas, HWND form,
                          COLORREF /*background*/) {
  ControlData* label = VisibleRecord(handle, form);
  if (!label) return;
  const uint32_t fill = ResolveColorArgb(label->backColor, 0);
  const uint32_t alignment = (label->flags >> 16) & 0xFF;
  const float angle = static_cast<float>(label->kindValues[0]) / 10.0f;

  FontTextParts font = SplitFontText(label->fontText);
  canvas.SetFontEx(font.face, font.size, static_cast<float>(label->kindValues[1]), angle,
                   font.bold ? FW_BOLD : FW_NORMAL, font.italic, font.underline, font.strikeout);
  const UINT format = LabelTextFormat(label->flags);

  if (alignment == 9 && canvas.backDc) {
    RECT measured{0, 0, 10000, 10000};
    ::DrawTextW(canvas.backDc.get(), label->caption.c_str(), -1, &measured, format | DT_CALCRECT);
    label->width = ScaleToDesign(measured.right);
    label->height = ScaleToDesign(measured.bottom);
  }

  canvas.SetSmoothBrush(fill);
  if ((label->flags >> 24) == 1) {
    canvas.SetSmoothPen(1.0f, ResolveColorArgb(label->foreColor, 0));
  } else {
    canvas.SetSmoothPen(0.0f, 0xFF000000u);
  }
  canvas.SmoothRect(static_cast<float>(label->left), static_cast<float>(label->top),
                    static_cast<float>(label->width), static_cast<float>(label->height));
  COLORREF text = ResolveColor(label->foreColor, kCanvasNoColor);
  if (text != kCanvasNoColor) canvas.SetTextColors(text, kCanvasNoColor);
  canvas.TextInBox(label->left, label->top, label->width, label->height, label->caption, format);
}

}  // namespace zv
