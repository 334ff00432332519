// The modal loop of a form, the owner re-enabling on WM_CLOSE, and the message-pumping wait.
#pragma once

#include <windows.h>

#include "ui/form.h"

namespace zv {

inline constexpr int kModal = -1;

// mode kModal runs the form modally and returns 0 when the window is gone; any other mode only
// shows it and returns the window handle. mdiFlag -1 translates MDI system accelerators.
LRESULT RunModal(FormWindow& form, int mode, HWND window, HWND owner, int showCommand, int mdiFlag);

// WM_CLOSE handling every form performs before default processing: re-enables the window that
// RunModal disabled.
void ReenableOwner(HWND form);

// Waits about `milliseconds` (at least 1) while dispatching every message that arrives; a wait
// for something (a thread's end, say) also ends when its handle `until` is signalled.
void WaitPumping(int milliseconds, HANDLE until = nullptr);
// The wait itself, on a timer already set to the due time (or on `until`). Without a timer, or
// when waiting on it fails, the clock alone ends the wait instead.
void WaitPumpingOn(HANDLE timer, int milliseconds, HANDLE until = nullptr);

// True when GetExitCodeThread reports the thread as still active (false for an invalid handle).
bool IsThreadRunning(HANDLE thread);

// The pieces of the modal loop, for the form code and tests.
// The window a modal run disables for `owner`: the owner itself, or the top-level window above it
// when it is a child (stopping below an MDI child); null when there is no such window.
HWND DisabledOwnerOf(HWND owner);
// GetVersionExW as major * 10 + minor on the NT platform, else 0. Below 62 (before Windows 8) the
// loop sends the mouse wheel to the window under the cursor.
int ModalLoopVersion();
// One message of the modal loop: pre-filter, accelerators, MDI accelerators, mouse-wheel
// redirection, dialog navigation, then translation and dispatch.
void HandleModalMessage(FormWindow& form, MSG& message, int mdiFlag, int versionValue);

}  // namespace zv
