// What a screen reader finds in a form: an accessible object for the client area whose children
// are, in reading order, the texts the form paints (static texts named by what they show) and
// the form's visible child windows (their standard objects).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zv {

// Fills texts with what the form paints now, in reading order. Asked again at every question a
// client puts, so the tree follows the page.
using PaintedTexts = void (*)(HWND form, std::vector<std::wstring>& texts);

// WM_GETOBJECT: the answer for OBJID_CLIENT; 0 (the system's own object) for any other object,
// or when the accessibility library cannot be loaded.
LRESULT AnswerGetObject(HWND form, WPARAM wParam, LPARAM lParam, PaintedTexts texts);

// Tells accessibility clients that painted text number `index` (0-based, as PaintedTexts lists
// it) has changed.
void AnnounceTextChange(HWND form, size_t index);

}  // namespace zv
