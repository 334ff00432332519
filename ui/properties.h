// Property operations on windowed controls, windowless controls and forms; colour codes; the
// delayed repaint of windowless controls and progress bars; and the standard message handling
// every form's window procedure performs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/form.h"

namespace zv {

// Colour resolution. ResolveColor gives a COLORREF (fallback for the default code, e.g. kNoColor);
// ResolveColorArgb gives 0xAARRGGBB for smooth painting.
COLORREF ResolveColor(uint32_t code, COLORREF fallback);
uint32_t ResolveColorArgb(uint32_t code, uint32_t fallback);

// Windowed controls. Every operation on a window that no longer exists does nothing.
bool SetText(const ControlHandle& c, const std::wstring& text);
std::wstring GetText(const ControlHandle& c);
void SetCheck(const ControlHandle& c, bool checked);
bool GetCheck(const ControlHandle& c);
void SetEnabled(const ControlHandle& c, bool enabled);
void SetVisible(const ControlHandle& c, bool visible);
void SetFocus(const ControlHandle& c);
void SetForeColor(const ControlHandle& c, COLORREF color);
void SetBackColor(const ControlHandle& c, COLORREF color);
void SetFont(const ControlHandle& c, const std::wstring& fontText);
void SetProgressPos(const ControlHandle& c, int position);
void SetProgressMax(const ControlHandle& c, int maximum);
void SetProgressMin(const ControlHandle& c, int minimum);

// Windowless controls: they change the record and schedule one repaint of the form.
// Owning thread only.
void SetWindowlessCaption(const WindowlessHandle& c, const std::wstring& caption);
void SetWindowlessVisible(const WindowlessHandle& c, bool visible);
void SetFrameVisible(const WindowlessHandle& frame, bool visible);
// One delayed repaint of a form or control, of `area` (client pixels) or of all of it (null). A
// change while one is due joins it: at most one repaint per kRepaintDelayMs, after the last change.
void ScheduleRepaint(HWND window, const RECT* area = nullptr);

// Forms.
void SetWindowText(HWND form, const std::wstring& text);
void ShowForm(HWND form, bool visible);
void Refresh(HWND form);
void PostClose(HWND form);
bool ActivateExisting(HWND form);
void SetMousePointer(HWND form, int kind);
void SetFormBackColor(HWND form, COLORREF color);
void SetTransparentColor(HWND form, COLORREF key);  // key kNoColor = none
void SetClassStyle(HWND form, DWORD classStyle);
void SetFormIcon(HWND form, HICON icon, bool large);
void CenterWindow(FormWindow& form, HWND window, HWND reference);  // null window = the form's
void LayoutAnchors(HWND form);

// The standard form message handling; a form's window procedure calls these before its own work.
// WM_CTLCOLOREDIT/LISTBOX/BTN/STATIC: true with the control's brush in *result when the control
// (lParam) has a ControlData; false means default processing.
bool HandleColorMessage(HWND form, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
// WM_SYSCOLORCHANGE, WM_THEMECHANGED: rebuilds the brushes of the form and its direct children.
void HandleSysColorChange(HWND form);
// WM_SETCURSOR: true (answer TRUE) when the window under the cursor has a cursor of its own.
bool HandleSetCursor(HWND form, WPARAM wParam, LPARAM lParam);
// WM_TIMER: true when it was the repaint timer (then killed, and what the changes since it was
// set covered repainted). Controls made with SubclassProc handle their own.
bool HandleRepaintTimer(HWND window, WPARAM timerId);
// WM_SIZE: LayoutAnchors unless the form was minimised.
void HandleSize(HWND form, WPARAM sizeType);
// WM_DPICHANGED (the window moved to a screen of another scale): the form takes the suggested
// rectangle, and its controls the places, sizes and fonts they have on a form made at that DPI;
// then all of it is repainted.
void HandleDpiChange(HWND form, int dpi, const RECT& suggested);
// kMsgFocusMoved: as in a dialog, the push button with the focus is drawn as the default (Enter
// presses it), else the one the form names in its answer to DM_GETDEFID.
// All of the above in one call. True when the message is answered (result in *result); false
// when default processing should follow (side effects such as the repaint are already done).
bool HandleStandardFormMessage(HWND form, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result);
// WM_DESTROY of a form: deletes the FormWindow kept in the window's extra bytes, removes the
// "kwd_Control_Ptr" property and frees the form's record with its chain of windowless records
// (icons, brushes, tooltips, cursors). Nothing may use those records afterwards.
void HandleFormDestroy(HWND form);

}  // namespace zv
