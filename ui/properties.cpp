// Property operations on windowed controls, windowless controls and forms, colour codes, the
// delayed repaint, anchors, and the standard message handling of forms.
#include "ui/properties.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace zv {

namespace {

uint32_t SwapRedBlue(uint32_t value) {
  return (value & 0xFF00FF00u) | ((value >> 16) & 0xFFu) | ((value & 0xFFu) << 16);
}

bool IsSystemCode(uint32_t code) { return (code & 0xFFFFFFu) == kSystemColorMark; }

bool Exists(HWND window) { return window && ::IsWindow(window); }

constexpr LONG kWholeWindowEdge = 0x7FFF;  // right and bottom of a repaint area of all the window

bool ClassIs(HWND window, const wchar_t* name) {
  wchar_t className[260];
  return ::GetClassNameW(window, className, 260) > 0 && ::lstrcmpiW(className, name) == 0;
}

void Repaint(HWND window) {
  ::InvalidateRect(window, nullptr, TRUE);
  ::UpdateWindow(window);
}

// Keeps the brush when it already has the colour, otherwise replaces (and deletes) it.
void ReplaceBrush(GdiBrush& brush, COLORREF color) {
  LOGBRUSH current{};
  if (brush && ::GetObjectW(brush.get(), sizeof(current), &current) == sizeof(current) &&
      current.lbStyle == BS_SOLID && current.lbColor == color) {
    return;
  }
  brush.reset(::CreateSolidBrush(color));
}

}  // namespace

// ---- Colours ----

COLORREF ResolveColor(uint32_t code, COLORREF fallback) {
  if (!IsSystemCode(code)) return code & 0xFFFFFFu;
  const uint32_t index = code >> 24;
  if (index == 25) return fallback;
  if (index >= 31) return kSystemColorMark;
  return ::GetSysColor(static_cast<int>(index));
}

uint32_t ResolveColorArgb(uint32_t code, uint32_t fallback) {
  if (!IsSystemCode(code) || (code >> 24) >= 31) return SwapRedBlue(code);
  const uint32_t index = code >> 24;
  if (index == 25) return fallback;
  return SwapRedBlue(0xFF000000u | ::GetSysColor(static_cast<int>(index)));
}

// ---- Windowed controls ----

bool SetText(const ControlHandle& c, const std::wstring& text) {
  if (!Exists(c.window)) return false;
  return ::SendMessageW(c.window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) > 0;
}

std::wstring GetText(const ControlHandle& c) {
  if (!Exists(c.window)) return {};
  const LRESULT length = ::SendMessageW(c.window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = ::SendMessageW(c.window, WM_GETTEXT, text.size(),
                                        reinterpret_cast<LPARAM>(text.data()));
  // The text may have shrunk between the two messages (another thread): keep what was copied.
  text.resize(copied > 0 && copied < length + 1 ? static_cast<size_t>(copied) : 0);
  return text;
}

void SetCheck(const ControlHandle& c, bool checked) {
  if (Exists(c.window)) ::SendMessageW(c.window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool GetCheck(const ControlHandle& c) {
  return Exists(c.window) && ::SendMessageW(c.window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetEnabled(const ControlHandle& c, bool enabled) {
  if (!Exists(c.window)) return;
  ::EnableWindow(c.window, enabled);
  Repaint(c.window);
}

void SetVisible(const ControlHandle& c, bool visible) {
  if (Exists(c.window)) ::ShowWindow(c.window, visible ? SW_SHOW : SW_HIDE);
}

void SetFocus(const ControlHandle& c) {
  if (Exists(c.window)) ::SetFocus(c.window);
}

namespace {

// Stores a fore or back colour; the installer's kinds of control ask for it through the colour
// messages their form answers. (Controls that draw their own colours, such as tree and list
// views, would have to be told: the installer has none, and carries no code for them.)
void SetControlColor(const ControlHandle& c, COLORREF color, bool back) {
  if (!Exists(c.window)) return;
  if (ControlData* record = GetControlData(c.window)) {
    (back ? record->backColor : record->foreColor) = color;
  }
  Repaint(c.window);
}

}  // namespace

void SetForeColor(const ControlHandle& c, COLORREF color) { SetControlColor(c, color, false); }

void SetBackColor(const ControlHandle& c, COLORREF color) { SetControlColor(c, color, true); }

void SetFont(const ControlHandle& c, const std::wstring& fontText) {
  if (!Exists(c.window)) return;
  if (ControlData* record = GetControlData(c.window)) record->fontText = fontText;
  // WM_SETFONT resets an edit box's margins: keep them. (List and combo boxes reset their item
  // heights the same way; the installer has none.)
  const bool edit = ClassIs(c.window, L"Edit");
  const LRESULT margins = edit ? ::SendMessageW(c.window, EM_GETMARGINS, 0, 0) : 0;
  const FormWindow* form = GetFormWindow(::GetAncestor(c.window, GA_ROOT));
  const HFONT font = CreateFontFromText(fontText, form ? form->dpi : 0);
  ::SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (edit) ::SendMessageW(c.window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
}

void SetProgressPos(const ControlHandle& c, int position) {
  if (Exists(c.window)) ::SendMessageW(c.window, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void SetProgressMax(const ControlHandle& c, int maximum) {
  if (!Exists(c.window)) return;
  const int minimum = static_cast<int>(::SendMessageW(c.window, PBM_GETRANGE, TRUE, 0));
  ::SendMessageW(c.window, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void SetProgressMin(const ControlHandle& c, int minimum) {
  if (!Exists(c.window)) return;
  const int maximum = static_cast<int>(::SendMessageW(c.window, PBM_GETRANGE, FALSE, 0));
  ::SendMessageW(c.window, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

// ---- Windowless controls ----

namespace {

// Applies change to the control's record; then schedules the form's repaint when asked to.
template <typename Change>
void ChangeWindowless(const WindowlessHandle& c, bool repaint, Change change) {
  ControlData* record = FindWindowlessControl(c);
  if (!record) return;
  change(*record);
  if (repaint) ScheduleRepaint(c.form);
}

void SetBit(uint32_t& flags, uint32_t bit, bool on) { flags = on ? flags | bit : flags & ~bit; }

}  // namespace

void SetWindowlessCaption(const WindowlessHandle& c, const std::wstring& caption) {
  ChangeWindowless(c, false, [&](ControlData& r) {
    r.caption = caption;
    // The text is drawn clipped to the control's box, so the box (and the pixel of smoothed edge
    // around it) is all that changes; a label that sizes itself to its text (alignment 9) or
    // turns it (an angle) may reach beyond, and repaints the whole form.
    const RECT box{ScaleFromDesign(r.left) - 1, ScaleFromDesign(r.top) - 1,
                   ScaleFromDesign(r.left + r.width) + 2, ScaleFromDesign(r.top + r.height) + 2};
    const bool inBox = ((r.flags >> 16) & 0xFF) != 9 && r.kindValues[0] == 0;
    ScheduleRepaint(c.form, inBox ? &box : nullptr);
  });
}

void SetWindowlessVisible(const WindowlessHandle& c, bool visible) {
  ChangeWindowless(c, true, [&](ControlData& r) { SetBit(r.flags, kFlagVisible, visible); });
}

void SetFrameVisible(const WindowlessHandle& frame, bool visible) {
  ChangeWindowless(frame, true, [&](ControlData& r) {
    SetBit(r.flags, kFlagVisible, visible);
    if (!(r.flags & kFlagContainer)) return;
    for (int32_t id : frame.windowlessChildren) {
      if (id == 0) break;
      for (ControlData* child = GetControlData(frame.form); child;
           child = child->nextWindowless.get()) {
        if (child->controlId == id) SetBit(child->flags, kFlagVisible, visible);
      }
    }
    for (int32_t id : frame.windowedChildren) {
      if (id == 0) break;
      HWND child = ::GetDlgItem(frame.form, id);
      if (::IsWindow(child)) ::ShowWindow(child, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
  });
}

void ScheduleRepaint(HWND window, const RECT* area) {
  if (!Exists(window)) return;
  // The first change arms the timer and later ones join the repaint it brings, however fast they
  // come (a worker reports every file). A window without a record restarts it on every change.
  const RECT add = area ? *area : RECT{0, 0, kWholeWindowEdge, kWholeWindowEdge};
  if (ControlData* record = GetControlData(window)) {
    if (record->flags & kFlagRepaintDue) {
      ::UnionRect(&record->repaintArea, &record->repaintArea, &add);
      return;
    }
    record->flags |= kFlagRepaintDue;
    record->repaintArea = add;
  }
  ::SetTimer(window, kRepaintTimerId, kRepaintDelayMs, nullptr);
}

// ---- Forms ----

void SetWindowText(HWND form, const std::wstring& text) {
  if (Exists(form)) ::SendMessageW(form, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ShowForm(HWND form, bool visible) {
  if (!Exists(form)) return;
  int command = SW_HIDE;
  if (visible) {
    command = (::GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_NOACTIVATE) ? SW_SHOWNOACTIVATE : SW_SHOW;
  }
  ::ShowWindow(form, command);
}

void Refresh(HWND form) {
  if (Exists(form)) Repaint(form);
}

void PostClose(HWND form) {
  if (Exists(form)) ::PostMessageW(form, WM_CLOSE, 0, 0);
}

bool ActivateExisting(HWND form) {
  if (!Exists(form)) return false;
  ::OpenIcon(form);
  FLASHWINFO flash{sizeof(FLASHWINFO), form, FLASHW_ALL, 5, 100};
  return ::FlashWindowEx(&flash) != FALSE;
}

void SetMousePointer(HWND form, int kind) {
  static const wchar_t* const kCursors[] = {
      IDC_APPSTARTING, IDC_ARROW,    IDC_CROSS,  IDC_HELP,     IDC_IBEAM,
      IDC_NO,          IDC_SIZEALL,  IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE,
      IDC_SIZEWE,      IDC_UPARROW,  IDC_WAIT,   IDC_HAND};
  ControlData* record = Exists(form) ? GetControlData(form) : nullptr;
  if (!record) return;
  record->mousePointer = kind;
  HCURSOR cursor = nullptr;
  if (kind >= 1 && kind <= 14) {
    // A private copy of the shared system cursor, so that the record can destroy it.
    cursor = ::CopyIcon(::LoadCursorW(nullptr, kCursors[kind - 1]));
  }
  record->cursor.reset(cursor);
}

void SetFormBackColor(HWND form, COLORREF color) {
  if (!Exists(form)) return;
  if (ControlData* record = GetControlData(form)) record->backColor = color;
  HWND window = form;
  if (FormWindow* formWindow = GetFormWindow(form)) window = formWindow->window;
  // A colour code is accepted too: the system colour it names, button face for "default".
  HBRUSH brush = ::CreateSolidBrush(ResolveColor(color, ::GetSysColor(COLOR_BTNFACE)));
  auto previous = reinterpret_cast<HGDIOBJ>(
      ::SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush)));
  // The class owns its brush; the one replaced here is deleted unless it is a system colour
  // index (COLOR_BTNFACE + 1 at registration) rather than a real brush.
  if (previous && ::GetObjectType(previous) == OBJ_BRUSH) ::DeleteObject(previous);
  Repaint(window);
}

void SetTransparentColor(HWND form, COLORREF key) {
  ControlData* record = Exists(form) ? GetControlData(form) : nullptr;
  if (!record) return;
  record->transparentKey = key;
  const LONG exStyle = ::GetWindowLongW(form, GWL_EXSTYLE);
  if (record->transparency == 0 && key == kNoColor && !(exStyle & WS_EX_TRANSPARENT)) {
    ::SetWindowLongW(form, GWL_EXSTYLE, exStyle & ~WS_EX_LAYERED);
    return;
  }
  ::SetWindowLongW(form, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
  const auto alpha = static_cast<BYTE>(RoundHalfEven((100 - record->transparency) * 2.55));
  if (key == kNoColor) {
    if (record->transparency > 0) ::SetLayeredWindowAttributes(form, 0, alpha, LWA_ALPHA);
  } else if (record->transparency == 0) {
    ::SetLayeredWindowAttributes(form, key, 0, LWA_COLORKEY);
  } else {
    ::SetLayeredWindowAttributes(form, key, alpha, LWA_COLORKEY | LWA_ALPHA);
  }
}

void SetClassStyle(HWND form, DWORD classStyle) {
  if (Exists(form)) ::SetClassLongPtrW(form, GCL_STYLE, static_cast<LONG_PTR>(classStyle));
}

void SetFormIcon(HWND form, HICON icon, bool large) {
  if (Exists(form)) {
    ::SendMessageW(form, WM_SETICON, large ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }
}

void CenterWindow(FormWindow& form, HWND window, HWND reference) {
  if (!window) window = form.window;
  if (!Exists(window)) return;
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  RECT work{};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT ref = work;
  if (Exists(reference)) ::GetWindowRect(reference, &ref);
  POINT at{ref.left + (ref.right - ref.left - width) / 2, ref.top + (ref.bottom - ref.top - height) / 2};
  if (at.x < work.left) {
    at.x = work.left;
  } else if (at.x + width > work.right) {
    at.x = work.right - width;
  }
  if (at.y < work.top) {
    at.y = work.top;
  } else if (at.y + height > work.bottom) {
    at.y = work.bottom - height;
  }
  if (::GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
    // A child is placed in its parent's client coordinates (the reference is normally the
    // parent; when it is not, the parent is still what SetWindowPos measures from).
    ::ScreenToClient(::GetParent(window), &at);
  }
  ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Anchors ----

namespace {

// New design rectangle of an anchored control for a form of W x H design units; w, h are the
// control's current size.
void ApplyAnchor(ControlData& r, int W, int H, int w, int h) {
  if (r.firstFormWidth == 0 && r.firstFormHeight == 0) {
    r.firstFormWidth = W;
    r.firstFormHeight = H;
    r.firstWidth = w;
    r.firstHeight = h;
    r.firstLeft = r.left;
    r.firstTop = r.top;
  }
  const int x = r.left;
  const int y = r.top;
  const int stretchedWidth = std::max(0, W - x - r.rightMargin);
  const int stretchedHeight = std::max(0, H - y - r.bottomMargin);
  const int right = W - w - r.rightMargin;
  const int bottom = H - r.bottomMargin - h;
  const int centreX = W / 2 + r.centerOffsetX;
  const int centreY = H / 2 + r.centerOffsetY;
  int left = x, top = y, width = w, height = h;
  // Modes 1 to 13, two bits each: the left (x, right, centre), the top (y, bottom, centre), the
  // width and the height (as they are, stretched).
  static constexpr unsigned char kPlaces[13] = {0x10, 0x01, 0x02, 0x20, 0x30, 0x21,
                                                0x04, 0x14, 0x05, 0x06, 0x08, 0x09, 0x0A};
  const int lefts[] = {x, right, centreX};
  const int tops[] = {y, bottom, centreY};
  if (r.anchorMode >= 1 && r.anchorMode <= 13) {
    const unsigned place = kPlaces[r.anchorMode - 1];
    left = lefts[place & 3];
    top = tops[(place >> 2) & 3];
    if (place & 0x10) width = stretchedWidth;
    if (place & 0x20) height = stretchedHeight;
  }
  if (r.anchorMode == 14) {
    // Proportional to the first-seen form size; an axis first seen empty stays as it was.
    if (r.firstFormWidth > 0) {
      const double sx = static_cast<double>(W) / r.firstFormWidth;
      left = RoundHalfEven(r.firstLeft * sx);
      width = RoundHalfEven(r.firstWidth * sx);
    }
    if (r.firstFormHeight > 0) {
      const double sy = static_cast<double>(H) / r.firstFormHeight;
      top = RoundHalfEven(r.firstTop * sy);
      height = RoundHalfEven(r.firstHeight * sy);
    }
  }
  r.left = left;
  r.top = top;
  r.width = width;
  r.height = height;
}

struct Move {
  HWND window;
  RECT design;
};

void AnchorWindow(HWND window, ControlData& record, int W, int H, std::vector<Move>& moves) {
  RECT outer{};
  ::GetWindowRect(window, &outer);
  ApplyAnchor(record, W, H, ScaleToDesign(outer.right - outer.left),
              ScaleToDesign(outer.bottom - outer.top));
  moves.push_back({window, {record.left, record.top, record.width, record.height}});
}

}  // namespace

void LayoutAnchors(HWND form) {
  if (!Exists(form)) return;
  RECT client{};
  ::GetClientRect(form, &client);
  const int W = ScaleToDesign(client.right - client.left);
  const int H = ScaleToDesign(client.bottom - client.top);
  std::vector<Move> moves;
  for (HWND child = ::FindWindowExW(form, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExW(form, child, nullptr, nullptr)) {
    ControlData* record = GetControlData(child);
    if (record && record->anchorMode > 0) AnchorWindow(child, *record, W, H, moves);
  }
  // The windowless records (the form's own record heads the chain and is not one of them).
  const ControlData* formRecord = GetControlData(form);
  for (ControlData* record = formRecord ? formRecord->nextWindowless.get() : nullptr; record;
       record = record->nextWindowless.get()) {
    if (record->anchorMode <= 0) continue;
    if (Exists(record->focusOrAttached)) {
      AnchorWindow(record->focusOrAttached, *record, W, H, moves);
    } else {
      ApplyAnchor(*record, W, H, record->width, record->height);
    }
  }
  if (moves.empty()) return;
  // All moves at once; should the batch fail, the windows are moved one by one.
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  HDWP batch = ::BeginDeferWindowPos(static_cast<int>(moves.size()));
  for (const Move& m : moves) {
    if (!batch) break;
    batch = ::DeferWindowPos(batch, m.window, nullptr, ScaleFromDesign(m.design.left),
                             ScaleFromDesign(m.design.top), ScaleFromDesign(m.design.right),
                             ScaleFromDesign(m.design.bottom), flags);
  }
  if (batch) {
    ::EndDeferWindowPos(batch);
    return;
  }
  for (const Move& m : moves) {
    ::SetWindowPos(m.window, nullptr, ScaleFromDesign(m.design.left), ScaleFromDesign(m.design.top),
                   ScaleFromDesign(m.design.right), ScaleFromDesign(m.design.bottom), flags);
  }
}

// ---- Standard form message handling ----

bool HandleColorMessage(HWND form, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORLISTBOX && message != WM_CTLCOLORBTN &&
      message != WM_CTLCOLORSTATIC) {
    return false;
  }
  ControlData* record = GetControlData(reinterpret_cast<HWND>(lParam));
  if (!record) return false;
  const auto dc = reinterpret_cast<HDC>(wParam);
  COLORREF back = ResolveColor(record->backColor, kNoColor);
  if (back == kNoColor) {
    const ControlData* formRecord = GetControlData(form);
    if (!formRecord) return false;
    back = ResolveColor(formRecord->backColor, kNoColor);
    if (back == kNoColor) back = ::GetSysColor(COLOR_BTNFACE);
  }
  const COLORREF fore = ResolveColor(record->foreColor, kNoColor);
  if (fore != kNoColor) ::SetTextColor(dc, fore);
  ::SetBkColor(dc, back);
  ReplaceBrush(record->backBrush, back);
  *result = reinterpret_cast<LRESULT>(record->backBrush.get());
  return true;
}

void HandleSysColorChange(HWND form) {
  if (!Exists(form)) return;
  ControlData* formRecord = GetControlData(form);
  COLORREF formColor = formRecord ? ResolveColor(formRecord->backColor, kNoColor) : kNoColor;
  if (formColor == kNoColor) formColor = ::GetSysColor(COLOR_BTNFACE);
  if (formRecord) ReplaceBrush(formRecord->backBrush, formColor);
  for (HWND child = ::FindWindowExW(form, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExW(form, child, nullptr, nullptr)) {
    ControlData* record = GetControlData(child);
    if (record) ReplaceBrush(record->backBrush, ResolveColor(record->backColor, formColor));
  }
}

bool HandleSetCursor(HWND, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(lParam) != HTCLIENT) return false;
  const ControlData* record = GetControlData(reinterpret_cast<HWND>(wParam));
  if (!record || !record->cursor) return false;
  ::SetCursor(record->cursor.get());
  return true;
}

bool HandleRepaintTimer(HWND window, WPARAM timerId) {
  if (timerId != kRepaintTimerId) return false;
  ::KillTimer(window, kRepaintTimerId);
  RECT area{0, 0, kWholeWindowEdge, kWholeWindowEdge};
  if (ControlData* record = GetControlData(window)) {
    record->flags &= ~kFlagRepaintDue;
    area = record->repaintArea;
  }
  ::InvalidateRect(window, &area, TRUE);
  ::UpdateWindow(window);
  return true;
}

void HandleSize(HWND form, WPARAM sizeType) {
  if (sizeType != SIZE_MINIMIZED) LayoutAnchors(form);
}

namespace {

bool IsPushButton(HWND window) {
  return (::SendMessageW(window, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

// As in a dialog: the push button with the focus is the one Enter presses and is drawn as the
// default; with the focus anywhere else it is the form's default button (DM_GETDEFID), if any.
// Done once the focus has settled: the dialog manager restyles the buttons itself as it moves
// the focus, and not the same way on every system.
void MarkDefaultButton(HWND form) {
  const HWND focus = ::GetFocus();
  const LRESULT answer = ::SendMessageW(form, DM_GETDEFID, 0, 0);
  const HWND marked = ::GetParent(focus) == form && IsPushButton(focus) ? focus
                      : HIWORD(answer) == DC_HASDEFID ? ::GetDlgItem(form, LOWORD(answer))
                                                      : nullptr;
  for (HWND child = ::GetWindow(form, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (IsPushButton(child)) {
      ::SendMessageW(child, BM_SETSTYLE, child == marked ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
  }
}

}  // namespace

void HandleDpiChange(HWND form, int dpi, const RECT& suggested) {
  FormWindow* formWindow = GetFormWindow(form);
  if (!formWindow) return;
  SetDpi(*formWindow, static_cast<float>(dpi));
  CreateDefaultFont(*formWindow);
  const HFONT defaultFont = formWindow->defaultFont.get();
  ::SendMessageW(form, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont), FALSE);
  ::SetWindowPos(form, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // Each control where, and with the font, it would have been made at this DPI: the default
  // font first (an edit box takes its margins from it), then its own.
  const float scale = formWindow->scaleX;
  auto device = [scale](int32_t v) { return RoundHalfEven(static_cast<double>(v) * scale); };
  for (HWND child = ::FindWindowExW(form, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExW(form, child, nullptr, nullptr)) {
    const ControlData* record = GetControlData(child);
    if (!record) continue;
    ::SetWindowPos(child, nullptr, device(record->left), device(record->top), device(record->width),
                   device(record->height), SWP_NOZORDER | SWP_NOACTIVATE);
    if (record->fontText.empty()) continue;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont), FALSE);
    SetFont(ControlHandle{child, record->controlId}, record->fontText);
  }
  ::InvalidateRect(form, nullptr, TRUE);
}

bool HandleStandardFormMessage(HWND form, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result) {
  switch (message) {
    case WM_DPICHANGED:
      HandleDpiChange(form, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      *result = 0;
      return true;
    case kMsgFocusMoved:
      MarkDefaultButton(form);
      *result = 0;
      return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return HandleColorMessage(form, message, wParam, lParam, result);
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      HandleSysColorChange(form);
      return false;
    case WM_SETCURSOR:
      if (!HandleSetCursor(form, wParam, lParam)) return false;
      *result = TRUE;
      return true;
    case WM_TIMER:
      HandleRepaintTimer(form, wParam);
      return false;
    case WM_SIZE:
      HandleSize(form, wParam);
      return false;
    default:
      return false;
  }
}

void HandleFormDestroy(HWND form) {
  if (FormWindow* formWindow = GetFormWindow(form)) {
    ::SetWindowLongPtrW(form, 0, 0);
    delete formWindow;
  }
  // Out of reach first, then freed: the record, and with it the chain of windowless records.
  DetachControlData(form);
}

}  // namespace zv
