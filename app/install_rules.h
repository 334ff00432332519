// The installer's text rules that need no window: the split of its own path, the target-folder
// check, and the redirection of package number 1. Portable, so they are tested natively.
#pragma once

#include "base/text.h"

namespace zv {

// "C:\dl\setup.exe" → folder "C:\dl\" (separator kept) and name "setup.exe". The separator is the
// last ":", "/" or "\"; without one the folder is empty and the name is the whole path. Each part
// is cut to its buffer: the folder to 259 units, the name to 99.
struct ModulePath {
  Text folder;
  Text name;
};
ModulePath SplitModulePath(const Text& path);

// Spaces (U+0020 only) removed at both ends.
Text TrimSpaces(const Text& text);

// Appends "\" unless the text already ends in one.
Text WithTrailingSeparator(const Text& text);

// What the folder page's text box holds when Next is pressed.
enum class FolderCheck {
  kBareDrive,  // "D:" or "D:\": must be a folder on the drive
  kBadPath,    // too short, relative, or a network path
  kOk,         // drive-rooted: folder is the normalised path (ending in "\")
};
struct FolderVerdict {
  FolderCheck check;
  Text folder;
};
FolderVerdict CheckTargetFolder(const Text& boxText);

// Package number 1: a program file ending exactly in ".bat" (case-sensitive) is run at once and
// the program to link and start becomes "QQGame.exe", in "Hall.57507\" when the target folder
// lacks "QQGameHall.exe".
bool IsBatchProgram(TextView programFile);

// The switches of an unattended install, read from the whole command line (the program's own
// path first, quoted or not). Switches are case-sensitive and separated by spaces; anything else
// is ignored. "/D=" must come last: the folder is the rest of the line, spaces included, and may
// not be quoted. "/LOG=" takes the path up to the next space, or a quoted path. The paths are
// views into the command line.
struct CommandSwitches {
  bool silent = false;    // /S: no window at all
  bool shortcut = false;  // /SHORTCUT: the desktop shortcut too
  bool run = false;       // /RUN: start the program at the end
  TextView folder;        // /D=PATH: the target folder; empty: the default
  TextView log;           // /LOG=PATH: appended to, one line per folder, file and error
};
CommandSwitches ReadCommandSwitches(TextView commandLine);

}  // namespace zv
