// Property operations on windowed controls, windowless controls and forms; colour codes; the
// delayed repaint of windowless controls; and the standard message handling every form's window
// procedure performs.
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
void SetWindowlessForeColor(const WindowlessHandle& c, uint32_t argb);
void SetWindowlessBackColor(const WindowlessHandle& c, uint32_t argb);
void SetWindowlessFont(const WindowlessHandle& c, const std::wstring& fontText);
void SetWindowlessTextAngle(const WindowlessHandle& c, float degrees);
void SetWindowlessCharWidth(const WindowlessHandle& c, int width);
void SetContainer(const WindowlessHandle& c, bool container);
void ScheduleRepaint(HWND form);

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

// The standard form message handling. Each returns true when it handled the message, with the
// result in *result; a form's window procedure calls it before its own work.
bool HandleColorMessage(HWND form, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
void HandleSysColorChange(HWND form);
bool HandleSetCursor(HWND form, WPARAM wParam, LPARAM lParam);
bool HandleRepaintTimer(HWND form, WPARAM timerId);
void HandleSize(HWND form, WPARAM sizeType);

}  // namespace zv
