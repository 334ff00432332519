// Painters of a form's windowless controls: the frame and the label exist only as ControlData
// records in the form's chain and are drawn into the page canvas on every WM_PAINT, after the
// page itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "paint/canvas.h"
#include "ui/form.h"

namespace zv {

// A rounded border of any width whose top edge runs through the middle of the caption line,
// interrupted by the caption drawn opaque on the back colour. background: the form's background
// COLORREF, or kCanvasNoColor. Stores form in the handle; skips a missing or hidden control.
// Leaves the canvas's selected GDI font and transparent text background as they were.
void PaintWindowlessFrame(WindowlessHandle& handle, PageCanvas& canvas, HWND form,
                          COLORREF background);

// The label's text with its alignment (0-9), font, angle, colours and optional thin border; with
// alignment 9 the label takes the size of its text (stored in its record). The label's font
// stays the canvas font afterwards. background is not used.
void PaintWindowlessLabel(WindowlessHandle& handle, PageCanvas& canvas, HWND form,
                          COLORREF background);

// DrawTextW flags for a label's alignment field and flags (mnemonic, ellipsis bits).
UINT LabelTextFormat(uint32_t flags);

}  // namespace zv
