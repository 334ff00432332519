// Message boxes with the application's captions, and the shell's folder picker.
#pragma once

#include <windows.h>

#include <string>

namespace zv {

// The application title shown as the caption of MessageBoxAppTitle (at most 99 characters).
void SetApplicationTitle(const std::wstring& title);
const std::wstring& ApplicationTitle();

int MessageBoxCaption(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);
int MessageBoxAppTitle(HWND owner, const std::wstring& text, UINT flags);

// True while one of the boxes above or the folder picker is up, on any thread. A form's buttons
// still take commands then (a click posted to them is dispatched by the box's own loop); the form
// ignores them, so that nothing moves behind a question that has not been answered.
bool IsDialogUp();

// The chosen folder's path, or empty when cancelled or the choice has no drive-letter path.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initialFolder);

}  // namespace zv
