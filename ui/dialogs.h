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

// The chosen folder's path, or empty when cancelled or the choice has no drive-letter path.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initialFolder);

}  // namespace zv
