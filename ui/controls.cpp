// Control creation from class keywords, the framework's control procedure, fonts from font
// texts, design-unit scaling, and the windowless records of a form.
#include "ui/form.h"

#include <commctrl.h>

#include <cmath>
#include <utility>

#include "ui/internal.h"
#include "ui/properties.h"
#include "win/screen.h"

namespace zv {

namespace {

// What CreateControl does to a kind of control besides creating it.
enum class KeywordSetup : uint8_t {
  None,
  PushButtonStyles,  // "BUTTON": a few exact styles stand for ready-made ones
  Progress,          // range 0 to 100, position 0
};

// A kind of control: its keywords, upper case and separated by spaces, then "=" and its window
// class when that is not the keyword as the caller wrote it. One narrow text per kind, not a
// wide literal and a pointer per name: the table is in the installer, which counts its bytes.
struct KeywordEntry {
  const char* names;
  DWORD style;
  WORD exStyle;
  KeywordSetup setup;
  bool font;
};

// The kinds the installer's form is made of. Any other registered class is created by its class
// name (the keyword used as it is); the table carries no kind the installer does not use, as every
// entry is installer bytes.
constexpr KeywordEntry kKeywords[] = {
    {"BUTTON", 0x10010F00, 0, KeywordSetup::PushButtonStyles, true},
    {"CHECKBOX=Button", 0x10010D03, 0, KeywordSetup::None, true},
    {"EDIT TEXTBOX=Edit", 0x10010080, 0x200, KeywordSetup::None, true},
    {"PROGRESSBAR MSCTLS_PROGRESS32=msctls_progress32", 0x10000000, 0, KeywordSetup::Progress,
     false},
};

// The end of the word of a kind's names that starts at p.
const char* WordEnd(const char* p) {
  while (*p && *p != ' ' && *p != '=') ++p;
  return p;
}

// The kind the keyword names (letter case ignored, as Windows upper-cases it), with its window
// class copied to className (left as it is when the kind has none of its own); null for none.
const KeywordEntry* FindKeyword(const wchar_t* keyword, wchar_t* className) {
  wchar_t upper[260];
  size_t length = 0;
  for (; length < 259 && keyword[length]; ++length) upper[length] = keyword[length];
  upper[length] = L'\0';
  ::CharUpperBuffW(upper, static_cast<DWORD>(length));
  for (const KeywordEntry& entry : kKeywords) {
    const char* word = entry.names;
    for (;;) {
      const char* end = WordEnd(word);
      size_t i = 0;
      while (word + i < end && upper[i] == static_cast<unsigned char>(word[i])) ++i;
      if (word + i == end && upper[i] == L'\0') {
        const char* name = end;
        while (*name == ' ') name = WordEnd(name + 1);
        if (*name == '=') {
          size_t n = 0;
          for (++name; name[n]; ++n) className[n] = static_cast<unsigned char>(name[n]);
          className[n] = L'\0';
        }
        return &entry;
      }
      if (*end != ' ') break;
      word = end + 1;
    }
  }
  return nullptr;
}

DWORD SpecialStyle(KeywordSetup setup, DWORD style) {
  if (setup == KeywordSetup::PushButtonStyles) {
    if (style == 0x8000) return 0x10018F00;
    if (style == 1) return 0x10010F01;
    if (style == 11) return 0x1001000B;
  }
  return style;
}

// The subclass ID under which a control created here frees a ControlData still attached when it
// is gone (a control not subclassed with SubclassProc frees its record here).
constexpr UINT_PTR kRecordOwnerId = 0x7A760001;

LRESULT CALLBACK OwnerHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR) {
  if (message != WM_NCDESTROY) return ::DefSubclassProc(window, message, wParam, lParam);
  const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
  ::RemoveWindowSubclass(window, OwnerHook, id);
  DetachControlData(window);
  return result;
}

int Scale(int value, float scale) { return RoundHalfEven(static_cast<double>(value) * scale); }

}  // namespace

HWND CreateControl(FormWindow& form, const wchar_t* keyword, HWND parent, int id,
                   const wchar_t* caption, int x, int y, int width, int height, DWORD style,
                   DWORD exStyle, void* createParam, WNDPROC subclassProc, UINT_PTR subclassId,
                   DWORD_PTR subclassRefData) {
  if (!keyword || !keyword[0]) return nullptr;
  if (!parent) parent = form.window;
  wchar_t className[260];
  CopyText(className, 260, keyword);

  const KeywordEntry* entry = FindKeyword(keyword, className);
  if (entry) {
    style = style == kDefaultStyle ? entry->style : SpecialStyle(entry->setup, style);
    if (exStyle == kDefaultStyle) exStyle = entry->exStyle;
  } else {
    if (style == kDefaultStyle) style = 0;
    if (exStyle == kDefaultStyle) exStyle = 0;
  }
  style |= WS_CHILD;

  HWND control = ::CreateWindowExW(exStyle, className, caption, style, Scale(x, form.scaleX),
                                   Scale(y, form.scaleY), Scale(width, form.scaleX),
                                   Scale(height, form.scaleY), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), form.module,
                                   createParam);
  if (!control) return nullptr;
  // Frees a record still attached when the control goes (SubclassProc normally does it first).
  ::SetWindowSubclass(control, OwnerHook, kRecordOwnerId, 0);

  if (form.defaultFont && (!entry || entry->font)) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(form.defaultFont.get()), TRUE);
  }
  if (entry && entry->setup == KeywordSetup::Progress) {
    ::SendMessageW(control, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(control, PBM_SETPOS, 0, 0);
  }
  if (subclassProc) {
    if (subclassId == kReplaceWndProc) {
      const LONG_PTR previous =
          ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc));
      ::SetPropW(control, kOldWndProcProp, reinterpret_cast<HANDLE>(previous));
    } else {
      auto procedure =
          reinterpret_cast<SUBCLASSPROC>(reinterpret_cast<void (*)()>(subclassProc));
      ::SetWindowSubclass(control, procedure, subclassId, subclassRefData);
    }
  }
  return control;
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(::GetPropW(window, kOldWndProcProp));
  switch (message) {
    case WM_DESTROY:
      // Put the previous procedure back, unless someone subclassed the control after us (then
      // we stay in the chain and keep forwarding until WM_NCDESTROY).
      if (previous && ::GetWindowLongPtrW(window, GWLP_WNDPROC) ==
                          reinterpret_cast<LONG_PTR>(&SubclassProc)) {
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        ::RemovePropW(window, kOldWndProcProp);
      }
      DetachControlData(window);  // the record, its brush, tooltip, cursor and texts
      break;
    case WM_NCDESTROY:
      ::RemovePropW(window, kOldWndProcProp);
      break;
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT:
      // A bar moved once per item of a long job (a worker moving it once per file) would paint
      // itself on every move, on the window's thread; its paint waits for its repaint timer.
      ScheduleRepaint(window);
      break;
    case WM_PAINT:
      if (const ControlData* record = GetControlData(window);
          record && (record->flags & kFlagRepaintDue)) {
        ::ValidateRect(window, nullptr);  // the timer repaints the whole control
        return 0;
      }
      break;
    case WM_TIMER:
      if (HandleRepaintTimer(window, wParam)) return 0;
      break;
    case WM_SETFOCUS: {
      HWND form = ::GetParent(window);
      if (form && (::GetWindowLongW(form, GWL_STYLE) & WS_CHILD)) form = ::GetParent(form);
      if (ControlData* record = GetControlData(form)) record->focusOrAttached = window;
      ::PostMessageW(form, kMsgFocusMoved, 0, 0);
      break;
    }
    default:
      break;
  }
  return previous ? ::CallWindowProcW(previous, window, message, wParam, lParam)
                  : ::DefWindowProcW(window, message, wParam, lParam);
}

namespace {

// Fonts made from font texts, for the life of the process, at each DPI a form has had.
struct CachedFont {
  std::wstring text;
  int dpi;
  GdiFont font;
};
std::vector<CachedFont> gFontCache;

}  // namespace

FontTextParts SplitFontText(std::wstring_view fontText) {
  auto trim = [](std::wstring_view s) {
    while (!s.empty() && s.front() == L' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == L' ') s.remove_suffix(1);
    return s;
  };
  std::wstring_view fields[6];
  for (int i = 0; i < 6; ++i) {
    const size_t comma = fontText.find(L',');
    fields[i] = trim(fontText.substr(0, comma));
    if (comma == std::wstring_view::npos) break;
    fontText.remove_prefix(comma + 1);
  }
  auto flag = [&](int i) { return (static_cast<long>(LeadingNumber(fields[i])) & 0xFF) != 0; };
  FontTextParts parts;
  parts.face = fields[0].empty() ? std::wstring(L"SimSun") : std::wstring(fields[0]);
  const double size = LeadingNumber(fields[1]);
  parts.size = size == 0 ? 9.0f : static_cast<float>(size);
  parts.bold = flag(2);
  parts.italic = flag(3);
  parts.underline = flag(4);
  parts.strikeout = flag(5);
  return parts;
}

int FontHeightAt(int points, int dpi) {
  const auto [screenX, screenY] = GetScreenDpi();
  const int vertical = dpi == screenX ? screenY : dpi;
  return -::MulDiv(points * dpi / vertical, vertical, 72);
}

HFONT CreateFontFromText(const std::wstring& fontText, int dpi) {
  if (dpi == 0) dpi = GetScreenDpi().x;
  for (const auto& [text, fontDpi, font] : gFontCache) {
    if (text == fontText && fontDpi == dpi) return font.get();
  }
  const FontTextParts parts = SplitFontText(fontText);
  int size = static_cast<int>(parts.size);
  if (size == 0) size = 9;

  LOGFONTW font{};
  font.lfHeight = FontHeightAt(size, dpi);
  font.lfWeight = parts.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = parts.italic;
  font.lfUnderline = parts.underline;
  font.lfStrikeOut = parts.strikeout;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  font.lfQuality = size < 24 ? DEFAULT_QUALITY : ANTIALIASED_QUALITY;
  CopyText(font.lfFaceName, LF_FACESIZE, parts.face.c_str());
  GdiFont created(::CreateFontIndirectW(&font));
  if (!created) return nullptr;
  HFONT result = created.get();
  gFontCache.push_back({fontText, dpi, std::move(created)});
  return result;
}

int ScaleToDesign(int devicePixels) {
  return static_cast<int>(std::floor(devicePixels / ScreenScale()));
}

int ScaleFromDesign(int designUnits) {
  return static_cast<int>(std::floor(designUnits * ScreenScale()));
}

ControlData* FindWindowlessControl(const WindowlessHandle& handle) {
  for (ControlData* record = GetControlData(handle.form); record;
       record = record->nextWindowless.get()) {
    if (record->controlId == handle.id) return record;
  }
  return nullptr;
}

namespace {

// A control lies inside a frame when the frame is larger and more than 80 % of the control's
// area is inside it.
bool InsideFrame(const RECT& frame, const RECT& control) {
  auto area = [](const RECT& r) {
    return static_cast<double>(r.right - r.left) * static_cast<double>(r.bottom - r.top);
  };
  const double controlArea = area(control);
  RECT common{};
  if (controlArea <= 0.0 || !::IntersectRect(&common, &frame, &control)) return false;
  return area(frame) / controlArea > 1.0 && area(common) / controlArea > 0.8;
}

RECT DesignRect(const ControlData& record) {
  return {record.left, record.top, record.left + record.width, record.top + record.height};
}

}  // namespace

void CollectFrameChildren(WindowlessHandle& frame) {
  if (!frame.windowedChildren.empty()) return;
  const ControlData* frameRecord = FindWindowlessControl(frame);
  if (!frameRecord) return;
  frame.windowlessChildren.clear();
  const RECT frameRect = DesignRect(*frameRecord);

  for (const ControlData* record = GetControlData(frame.form); record;
       record = record->nextWindowless.get()) {
    if (record->controlId > 0 && record->controlId != frame.id &&
        InsideFrame(frameRect, DesignRect(*record))) {
      frame.windowlessChildren.push_back(record->controlId);
    }
  }
  const double scale = ScreenScale();
  for (HWND child = ::FindWindowExW(frame.form, nullptr, nullptr, nullptr); child;
       child = ::FindWindowExW(frame.form, child, nullptr, nullptr)) {
    const ControlData* record = GetControlData(child);
    if (!record || record->controlId <= 0) continue;  // 0 would end the list early
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, frame.form, reinterpret_cast<POINT*>(&rect), 2);
    const RECT design{RoundHalfEven(rect.left / scale), RoundHalfEven(rect.top / scale),
                      RoundHalfEven(rect.right / scale), RoundHalfEven(rect.bottom / scale)};
    if (InsideFrame(frameRect, design)) frame.windowedChildren.push_back(record->controlId);
  }
}

}  // namespace zv
