// The modal loop of a form, the owner re-enabling on WM_CLOSE, and the message-pumping wait.
#pragma once

#include <windows.h>

#include "ui/form.h"

namespace zv {

inline constexpr int kModal = -1;

// mode kModal runs the form modally and returns 0 when the window is gone; any other mode only
// shows it and returns the window handle. mdiFlag -1 translates MDI system accelerators.
LRESULT RunModal(FormWindow& form, int mode, HWND window, HWND owner, int showCommand, int mdiFlag);

// Message pre-filter of the modal loop (true consumes the message). The installer's consumes
// nothing; null means none.
using MessageFilter = bool (*)(MSG& message);
void SetMessageFilter(MessageFilter filter);

// WM_CLOSE handling every form performs before default processing: re-enables the window that
// RunModal disabled.
void ReenableOwner(HWND form);

// Waits about `milliseconds` (at least 1) while dispatching every message that arrives.
void WaitPumping(int milliseconds);

bool IsThreadRunning(HANDLE thread);

}  // namespace zv
