#include <windows.h>

#include "win/handles.h"
#include "win/screen.h"

namespace zv {

ScreenDpi GetScreenDpi() {
  static const ScreenDpi gScreenDpi = [] {
    ScreenDpi dpi;
    const WindowDc screen = WindowDc::Client(nullptr);
    if (screen) {
      const int x = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
      const int y = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
      if (x > 0) dpi.x = x;
      if (y > 0) dpi.y = y;
    }
    return dpi;
  }();
  return gScreenDpi;
}

}  // namespace zv
