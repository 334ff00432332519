// The small window framework the installer's form is built on: the per-window FormWindow, the
// per-control ControlData record, control creation from class keywords, DPI scaling and the
// process-wide font and class caches.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "win/handles.h"

namespace zv {

// Colour codes: low 24 bits 0x7F7F7F mark a system colour whose index is the top byte.
inline constexpr uint32_t kSystemColorMark = 0x7F7F7Fu;
inline constexpr uint32_t kDefaultColor = 0x197F7F7Fu;  // index 25: "default", the caller's fallback
inline constexpr COLORREF kNoColor = 0xFFFFFFFFu;        // -1 as a COLORREF: "none"

inline constexpr wchar_t kControlProp[] = L"kwd_Control_Ptr";
inline constexpr wchar_t kOldWndProcProp[] = L"OLDWNDPROC";
inline constexpr UINT_PTR kRepaintTimerId = 357897;
// Posted to a form by its controls when one of them gets the focus (see HandleStandardFormMessage).
inline constexpr UINT kMsgFocusMoved = WM_USER + 0x7A7;
inline constexpr UINT kRepaintDelayMs = 33;  // at most about 30 delayed repaints a second

// Flags bits of ControlData.
inline constexpr uint32_t kFlagState = 1u << 0;
inline constexpr uint32_t kFlagVisible = 1u << 1;
inline constexpr uint32_t kFlagContainer = 1u << 2;  // frame: contains the controls inside it
inline constexpr uint32_t kFlagMnemonic = 1u << 2;   // label: "&" marks a mnemonic
inline constexpr uint32_t kFlagEllipsis = 1u << 3;             // label: DT_WORD_ELLIPSIS
inline constexpr uint32_t kFlagRepaintDue = 1u << 4;  // form or windowed control: repaint timer set

struct AccelTraits : Win32Release {
  using Value = HACCEL;
  static Value Invalid() { return nullptr; }
  static void Release(Value v) { ::DestroyAcceleratorTable(v); }
};
using AccelHandle = Owned<AccelTraits>;

// One per top-level window. Allocated by the form code, kept in the window's extra bytes
// (slot 0) and destroyed by the form's window procedure on WM_DESTROY.
struct FormWindow {
  HWND window = nullptr;
  HINSTANCE module = nullptr;
  GdiFont defaultFont;
  AccelHandle accelerators;
  int32_t dpi = 96;
  float scaleX = 1.0f;
  float scaleY = 1.0f;
  ATOM classAtom = 0;
  wchar_t className[260] = {};
  int32_t defaultFontSize = 0;    // points; 0 = choose
  wchar_t defaultFontFace[32] = {};  // empty = choose

  // Copies up to 259 characters of the class name, takes the module handle, applies the DPI
  // (screen DPI when the process is DPI aware, else 96), chooses the default font and
  // initialises the common controls.
  explicit FormWindow(const wchar_t* className);
  // Deletes the default font and accelerators; unregisters the class when it has a name.
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;
};

// One per window or windowless control, found under the window property "kwd_Control_Ptr".
struct ControlData {
  HWND owner = nullptr;  // control: its form; form: the form's owner window
  std::wstring name;
  int32_t index = -1;
  int32_t controlId = 0;
  HWND focusOrAttached = nullptr;  // form: focus memory; windowless control: attached window
  IconHandle largeIcon;
  IconHandle smallIcon;
  std::wstring caption;
  // Kind-specific values. Windowless label: [0] text angle in tenths of a degree, [1] character
  // width. Windowless frame: [0] border colour code.
  int32_t kindValues[100] = {};
  int32_t userValues[100] = {};
  uint32_t flags = 0;  // see kFlag*; label bits 16-23 alignment, 24-31 border style;
                       // frame bits 12-15 border width, 16-23 corner radius, 24-31 caption alignment
  int32_t transparency = 0;  // percent, 0 = opaque (forms)
  uint32_t transparentKey = kDefaultColor;
  int32_t mousePointer = 0;
  uint32_t foreColor = kDefaultColor;
  uint32_t backColor = kDefaultColor;
  GdiBrush backBrush;
  std::wstring fontText;
  std::wstring tooltipText;
  WindowHandle tooltip;
  CursorHandle cursor;
  int32_t left = 0, top = 0, width = 0, height = 0;  // design units
  RECT repaintArea{};  // form or windowed control: what its due repaint covers, client pixels
  int32_t anchorMode = 0;
  int32_t rightMargin = 0, bottomMargin = 0, centerOffsetX = 0, centerOffsetY = 0;
  int32_t firstFormWidth = 0, firstFormHeight = 0;
  int32_t firstWidth = 0, firstHeight = 0, firstLeft = 0, firstTop = 0;
  // Next record in the form's chain of windowless controls (creation order). The chain is owned
  // by the form's own record.
  std::unique_ptr<ControlData> nextWindowless;
};

// A windowed control as the form code keeps it.
struct ControlHandle {
  HWND window = nullptr;
  int32_t id = 0;
};

// A windowless control: its ID and its form's window. A frame also carries the IDs of the
// controls inside it, filled by CollectFrameChildren.
struct WindowlessHandle {
  int32_t id = 0;
  HWND form = nullptr;
  std::vector<int32_t> windowedChildren;
  std::vector<int32_t> windowlessChildren;
};

// ControlData attached to windows through the property. Attaching replaces (and frees) a record
// that was attached before. A windowed control's record is freed when the control is destroyed
// (by SubclassProc, or at the latest on WM_NCDESTROY for controls made by CreateControl); a
// form's record, with its chain of windowless records, is freed by HandleFormDestroy.
ControlData* GetControlData(HWND window);
ControlData* AttachControlData(HWND window, std::unique_ptr<ControlData> data);
std::unique_ptr<ControlData> DetachControlData(HWND window);
// Appends a windowless control's record to the end of the form's chain. Null (and the record
// freed) when the form has no record of its own.
ControlData* LinkWindowlessControl(HWND form, std::unique_ptr<ControlData> record);
FormWindow* GetFormWindow(HWND form);  // from the window's extra bytes slot 0

// Ownership of a FormWindow: the form code allocates it with new; once CreateFormWindow has
// succeeded the window owns it and HandleFormDestroy (called from the form's WM_DESTROY) deletes
// it. When creation fails the form code still owns it.

bool IsDpiAware();
int WindowsVersionNumber();  // major * 100 + minor, 0 when unknown
// Fills the default font face and size when they are unset: "Segoe UI" 9 for a DPI-aware process
// on Vista or later, else "Tahoma" 8. (The constructor calls it with the real values.)
void ChooseDefaultFont(FormWindow& form, bool dpiAware, int windowsVersion);
void SetDpi(FormWindow& form, float dpi);  // negative = the screen's horizontal DPI
// Named classes are registered once per module (later calls return the cached atom, whatever
// procedure they pass); an empty or null name registers "KWDWindowClass:N", N counting every
// successful registration. A null procedure means the system's DefWindowProcW: every form brings
// its own procedure (which calls HandleFormDestroy), so the framework carries none.
ATOM RegisterFormClass(const wchar_t* className, HINSTANCE module, WNDPROC procedure);
HWND CreateFormWindow(FormWindow& form, HWND owner, const wchar_t* caption, WNDPROC procedure,
                      int x, int y, int width, int height, DWORD style, DWORD exStyle);
// Creates a child control from a class keyword ("BUTTON", "CHECKBOX", "TEXTBOX", "PROGRESSBAR",
// …, case-insensitive; any other text is used as the class name). Rectangle in design units.
// kDefaultStyle for style or exStyle takes the keyword's default. With subclassId
// kReplaceWndProc the window procedure is replaced by subclassProc (the previous one kept in
// "OLDWNDPROC"); with any other ID subclassProc is a SUBCLASSPROC given to SetWindowSubclass.
inline constexpr DWORD kDefaultStyle = 0xFFFFFFFFu;
inline constexpr UINT_PTR kReplaceWndProc = static_cast<UINT_PTR>(-1);
HWND CreateControl(FormWindow& form, const wchar_t* keyword, HWND parent, int id,
                   const wchar_t* caption, int x, int y, int width, int height, DWORD style,
                   DWORD exStyle, void* createParam, WNDPROC subclassProc, UINT_PTR subclassId,
                   DWORD_PTR subclassRefData);
LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A font text: face, size in points, bold, italic, underline, strikeout, separated by ",".
// Fields are trimmed of spaces; an empty face is "SimSun", a size of 0 (or none) is 9, and a flag
// is on when the low 8 bits of its value are not 0.
struct FontTextParts {
  std::wstring face;
  float size = 9;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
};
FontTextParts SplitFontText(std::wstring_view fontText);
// Shared and cached; never delete it. dpi: a form's DPI, 0 for the screen's.
HFONT CreateFontFromText(const std::wstring& fontText, int dpi = 0);
// LOGFONTW's height of a font of `points` for a form at `dpi`: at the screen's own DPI the
// screen's vertical DPI rounds it, so it matches what the system draws for that size.
int FontHeightAt(int points, int dpi);
// The form's default font at its DPI (replacing the one it had).
void CreateDefaultFont(FormWindow& form);
int ScaleToDesign(int devicePixels);   // floor(v / s), s = screen LOGPIXELSX / 96
int ScaleFromDesign(int designUnits);  // floor(v * s)
ControlData* FindWindowlessControl(const WindowlessHandle& handle);
void CollectFrameChildren(WindowlessHandle& frame);

}  // namespace zv
