// Control creation from class keywords, the framework's control procedure, fonts from font
// texts, design-unit scaling, and the windowless records of a form.
#include "ui/form.h"

#include <commctrl.h>

#include <cmath>
#include <cwchar>
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
  RadioStyles,
  BitmapLabel,
  IconLabel,
  BitmapButton,
  IconButton,
  Reposition,  // list box: position and size applied again after creation
  Progress,
  Toolbar,
  DateTime,
  SizeGrip,
  ScrollBar,
  Trackbar,
  UpDown,
  Tab,
  RichEdit,
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

constexpr KeywordEntry kKeywords[] = {
    {"BUTTON", 0x10010F00, 0, KeywordSetup::PushButtonStyles, true},
    {"CUSTOMBUTTON OWNERDRAWBUTTON=Button", 0x1001000B, 0, KeywordSetup::None, true},
    {"RADIOBUTTON OPTION=Button", 0x10010D09, 0, KeywordSetup::RadioStyles, true},
    {"CHECKBOX=Button", 0x10010D03, 0, KeywordSetup::None, true},
    {"CHECK3STATE=Button", 0x10010D06, 0, KeywordSetup::None, true},
    {"LABEL=Static", 0x10020100, 0, KeywordSetup::None, true},
    {"BITMAPLABEL=Static", 0x1002000E, 0x20, KeywordSetup::BitmapLabel, false},
    {"ICONLABEL=Static", 0x10020003, 0x20, KeywordSetup::IconLabel, false},
    {"BITMAPBUTTON=Button", 0x10010080, 0, KeywordSetup::BitmapButton, true},
    {"ICONBUTTON=Button", 0x10010040, 0, KeywordSetup::IconButton, true},
    {"CUSTOMLABEL=Static", 0x1002000D, 0, KeywordSetup::None, false},
    {"FRAME FRAMEWINDOW=Static", 0x14020007, 0x20, KeywordSetup::None, false},
    {"GROUPBOX=Button", 0x14020007, 0x20, KeywordSetup::None, true},
    {"LINE=Static", 0x10000012, 0x20, KeywordSetup::None, false},
    {"EDIT TEXTBOX=Edit", 0x10010080, 0x200, KeywordSetup::None, true},
    {"EDITMULTILINE MULTILINETEXTBOX=Edit", 0x10211184, 0x200, KeywordSetup::None, true},
    {"COMBOBOX", 0x50A10302, 0x200, KeywordSetup::None, true},
    {"COMBOBOXEX COMBOBOXEX32=ComboBoxEx32", 0x10810003, 0, KeywordSetup::None, true},
    {"LISTBOX", 0x10B10043, 0x200, KeywordSetup::Reposition, true},
    {"PROGRESSBAR MSCTLS_PROGRESS32=msctls_progress32",
     0x10000000, 0, KeywordSetup::Progress, false},
    {"HEADER SYSHEADER32=SysHeader32", 0x10000003, 0, KeywordSetup::None, true},
    {"TREEVIEW SYSTREEVIEW32=SysTreeView32", 0x10810027, 0x200, KeywordSetup::None, true},
    {"LISTVIEW SYSLISTVIEW32=SysListView32", 0x12010349, 0x200, KeywordSetup::None, true},
    {"TOOLBAR TOOLBARWINDOW32=ToolbarWindow32", 0x16800901, 0, KeywordSetup::Toolbar, true},
    {"REBAR REBARWINDOW32=ReBarWindow32", 0x16800640, 0, KeywordSetup::None, true},
    {"DATETIMEPICKER SYSDATETIMEPICK32=SysDateTimePick32",
     0x10010000, 0, KeywordSetup::DateTime, true},
    {"MONTHCALENDAR MONTHCAL SYSMONTHCAL32=SysMonthCal32",
     0x10010000, 0x200, KeywordSetup::None, true},
    {"IPADDRESS SYSIPADDRESS32=SysIPAddress32", 0x10010000, 0x200, KeywordSetup::None, true},
    {"HOTKEY MSCTLS_HOTKEY32=msctls_hotkey32", 0x10010000, 0x200, KeywordSetup::None, true},
    {"ANIMATE ANIMATION SYSANIMATE32=SysAnimate32", 0x10000002, 0, KeywordSetup::None, true},
    {"SYSLINK", 0x10010000, 0, KeywordSetup::None, false},
    {"PAGER SYSPAGER=SysPager", 0x10010001, 0, KeywordSetup::None, false},
    {"TAB TABCONTROL SYSTABCONTROL32=SysTabControl32", 0x16030800, 0, KeywordSetup::Tab, true},
    {"STATUSBAR MSCTLS_STATUSBAR32=msctls_statusbar32", 0x16000103, 0, KeywordSetup::None, true},
    {"SIZEBAR SIZEBOX SIZEGRIP=Scrollbar", 0x10000014, 0, KeywordSetup::SizeGrip, false},
    {"HSCROLLBAR=Scrollbar", 0x10010000, 0, KeywordSetup::ScrollBar, false},
    {"VSCROLLBAR=Scrollbar", 0x10010001, 0, KeywordSetup::ScrollBar, false},
    {"TRACKBAR MSCTLS_TRACKBAR32=msctls_trackbar32", 0x10010101, 0, KeywordSetup::Trackbar, false},
    {"SLIDER=msctls_trackbar32", 0x10010101, 0, KeywordSetup::None, false},
    {"UPDOWN MSCTLS_UPDOWN32=msctls_updown32", 0x10000027, 0, KeywordSetup::UpDown, false},
    {"RICHEDIT RICHEDIT50W=RichEdit50W", 0x103191C4, 0x200, KeywordSetup::RichEdit, true},
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
  } else if (setup == KeywordSetup::RadioStyles && style == 0x20000) {
    return 0x10030D09;
  }
  return style;
}

// Subclass IDs under which a control created here owns what must be released with it.
constexpr UINT_PTR kRecordOwnerId = 0x7A760001;
constexpr UINT_PTR kBitmapOwnerId = 0x7A760002;
constexpr UINT_PTR kIconOwnerId = 0x7A760003;

// Releases, when the control is gone, the image CreateControl loaded for it and a ControlData
// still attached (a control not subclassed with SubclassProc frees its record here).
LRESULT CALLBACK OwnerHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR owned) {
  if (message != WM_NCDESTROY) return ::DefSubclassProc(window, message, wParam, lParam);
  const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
  ::RemoveWindowSubclass(window, OwnerHook, id);
  if (id == kBitmapOwnerId) {
    ::DeleteObject(reinterpret_cast<HGDIOBJ>(owned));
  } else if (id == kIconOwnerId) {
    ::DestroyIcon(reinterpret_cast<HICON>(owned));
  } else {
    DetachControlData(window);
  }
  return result;
}

// "#101" names resource 101; any other caption is the resource's name.
void LoadControlImage(FormWindow& form, HWND control, const wchar_t* caption, UINT type,
                      UINT setMessage) {
  if (!caption || !caption[0]) return;
  const wchar_t* name = caption;
  if (caption[0] == L'#') {
    name = MAKEINTRESOURCEW(static_cast<WORD>(std::wcstoul(caption + 1, nullptr, 10)));
  }
  HANDLE image = ::LoadImageW(form.module, name, type, 0, 0, LR_DEFAULTCOLOR);
  if (!image) return;
  ::SetWindowSubclass(control, OwnerHook, type == IMAGE_ICON ? kIconOwnerId : kBitmapOwnerId,
                      reinterpret_cast<DWORD_PTR>(image));
  ::SendMessageW(control, setMessage, type, reinterpret_cast<LPARAM>(image));
}

void Reposition(HWND control, int x, int y, int width, int height) {
  ::SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetUpControl(FormWindow& form, const KeywordEntry& entry, HWND control,
                  const wchar_t* caption, const RECT& device) {
  const int width = device.right - device.left;
  const int height = device.bottom - device.top;
  switch (entry.setup) {
    case KeywordSetup::BitmapLabel:
      LoadControlImage(form, control, caption, IMAGE_BITMAP, STM_SETIMAGE);
      break;
    case KeywordSetup::IconLabel:
      LoadControlImage(form, control, caption, IMAGE_ICON, STM_SETIMAGE);
      break;
    case KeywordSetup::BitmapButton:
      LoadControlImage(form, control, caption, IMAGE_BITMAP, BM_SETIMAGE);
      break;
    case KeywordSetup::IconButton:
      LoadControlImage(form, control, caption, IMAGE_ICON, BM_SETIMAGE);
      break;
    case KeywordSetup::Progress:
      ::SendMessageW(control, PBM_SETRANGE32, 0, 100);
      ::SendMessageW(control, PBM_SETPOS, 0, 0);
      break;
    case KeywordSetup::Trackbar:
      ::SendMessageW(control, TBM_SETRANGEMIN, TRUE, 0);
      ::SendMessageW(control, TBM_SETRANGEMAX, TRUE, 100);
      ::SendMessageW(control, TBM_SETPAGESIZE, 0, 10);
      break;
    case KeywordSetup::UpDown:
      ::SendMessageW(control, UDM_SETBASE, 10, 0);
      // Minimum 0, maximum 100: the up arrow counts up.
      ::SendMessageW(control, UDM_SETRANGE32, 0, 100);
      ::SendMessageW(control, UDM_SETPOS32, 0, 0);
      Reposition(control, device.left, device.top, width, height);
      break;
    case KeywordSetup::Reposition:
      Reposition(control, device.left, device.top, width, height);
      break;
    case KeywordSetup::ScrollBar: {
      SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 0, 0, 0};
      ::SetScrollInfo(control, SB_CTL, &info, TRUE);
      break;
    }
    case KeywordSetup::Toolbar: {
      const auto size = static_cast<DWORD>(::SendMessageW(control, TB_GETBUTTONSIZE, 0, 0));
      const int w = RoundHalfEven(LOWORD(size) * static_cast<double>(form.scaleX));
      const int h = RoundHalfEven(HIWORD(size) * static_cast<double>(form.scaleY));
      ::SendMessageW(control, TB_SETBUTTONSIZE, 0, MAKELPARAM(w, h));
      ::SendMessageW(control, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
      break;
    }
    case KeywordSetup::DateTime:
      if (form.defaultFont) {
        ::SendMessageW(control, DTM_SETMCFONT, reinterpret_cast<WPARAM>(form.defaultFont.get()),
                       TRUE);
      }
      break;
    default:
      break;
  }
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
    if (entry->setup == KeywordSetup::Tab) exStyle |= WS_EX_CONTROLPARENT;
    if (entry->setup == KeywordSetup::RichEdit) {
      // The rich edit class exists once its library is loaded; it stays for the process.
      static const HMODULE richEdit = ::LoadLibraryExW(L"Msftedit.dll", nullptr, 0);
      (void)richEdit;
    }
    if (entry->setup == KeywordSetup::SizeGrip) {
      // The grip sits in the bottom-right corner of the form, whatever rectangle was given.
      RECT client{};
      ::GetClientRect(form.window, &client);
      width = ::GetSystemMetrics(SM_CXVSCROLL);
      height = ::GetSystemMetrics(SM_CYHSCROLL);
      x = RoundHalfEven(client.right / static_cast<double>(form.scaleX)) - width;
      y = RoundHalfEven(client.bottom / static_cast<double>(form.scaleY)) - height;
    }
  } else {
    if (style == kDefaultStyle) style = 0;
    if (exStyle == kDefaultStyle) exStyle = 0;
  }
  style |= WS_CHILD;

  const RECT device{Scale(x, form.scaleX), Scale(y, form.scaleY), 0, 0};
  const int deviceWidth = Scale(width, form.scaleX);
  const int deviceHeight = Scale(height, form.scaleY);
  HWND control = ::CreateWindowExW(exStyle, className, caption, style, device.left, device.top,
                                   deviceWidth, deviceHeight, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), form.module,
                                   createParam);
  if (!control) return nullptr;
  // Frees a record still attached when the control goes (SubclassProc normally does it first).
  ::SetWindowSubclass(control, OwnerHook, kRecordOwnerId, 0);

  if (form.defaultFont && (!entry || entry->font)) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(form.defaultFont.get()), TRUE);
  }
  if (entry) {
    const RECT rect{device.left, device.top, device.left + deviceWidth, device.top + deviceHeight};
    SetUpControl(form, *entry, control, caption, rect);
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
      break;
    }
    default:
      break;
  }
  return previous ? ::CallWindowProcW(previous, window, message, wParam, lParam)
                  : ::DefWindowProcW(window, message, wParam, lParam);
}

namespace {

// Fonts made from font texts, for the life of the process.
std::vector<std::pair<std::wstring, GdiFont>> gFontCache;

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

HFONT CreateFontFromText(const std::wstring& fontText) {
  for (const auto& [text, font] : gFontCache) {
    if (text == fontText) return font.get();
  }
  const FontTextParts parts = SplitFontText(fontText);
  int size = static_cast<int>(parts.size);
  if (size == 0) size = 9;

  const auto [logX, logY] = GetScreenDpi();
  LOGFONTW font{};
  font.lfHeight = -::MulDiv(size * logX / logY, logY, 72);
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
  gFontCache.emplace_back(fontText, std::move(created));
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
