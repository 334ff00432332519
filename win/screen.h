// The screen's DPI.
#pragma once

namespace zv {

// The screen's LOGPIXELSX and LOGPIXELSY, read once per process; 96 where the screen DC gives
// no usable value.
struct ScreenDpi {
  int x = 96;
  int y = 96;
};
ScreenDpi GetScreenDpi();

}  // namespace zv
