// The Win32 painter of vector pictures: the portable reader draws through a sink that sits on
// the page canvas and its GDI+ graphics.
#pragma once

#include <string>
#include <string_view>

#include "paint/canvas.h"
#include "win/wide.h"

namespace zv {

// Paints picture (8-bit VectorPicture text) into the box (x, y, width, height) in design units,
// clipped to the box; colours is a comma-separated ARGB override list ("" for none). An empty
// picture or a box below one unit draws nothing; a picture longer than 9,999 characters prints
// "异常长度" on standard output and draws nothing. Afterwards the clip is reset to none and the
// canvas keeps the smooth pen, brush and path of the picture's last command.
void PaintVectorPicture(PageCanvas& canvas, float x, float y, float width, float height,
                        std::string_view picture, std::string_view colours);

// 8-bit picture text to UTF-16 with the user's ANSI code page (or the given one); where that
// fails, bytes below 0x80 stand for themselves and every other byte becomes "?".
std::wstring PictureTextToWide(std::string_view text, UINT codePage = CP_ACP);

}  // namespace zv
