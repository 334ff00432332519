// Names and paths: the one rule for what a package may create on Windows, shared by the packer's
// build check and every extractor.
#pragma once

#include "base/text.h"
#include "package/info.h"

namespace zv {

enum class NameFault {
  None,
  Empty,
  ControlCharacter,    // below 0x20, or 0x7F
  Separator,           // "\" or "/"
  ReservedCharacter,   // < > : " | ? * (":" would also name a drive or a stream)
  OnlyDots,            // ".", ".." and the like, also with spaces
  TrailingDotOrSpace,  // Windows silently drops them: "evil." becomes "evil"
  DeviceName,          // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9, COM¹²³, LPT¹²³,
                       // also with an extension or trailing spaces ("nul.txt", "Nul .txt")
  PartialFileName,     // kPartialFileName, in any case: taken over by the next file in its folder
};
// The name under which the installer and zvpack extract write each file in its folder before it
// takes its own name. A package file of that name would be overwritten by the next file.
inline constexpr TextView kPartialFileName = ZV_TEXT("~zvsetup.partial");
// What is wrong with a single file or folder name, in the order above.
NameFault FindNameFault(TextView name);

// True for a path that could leave the target folder, or that Windows could not create as
// given: empty, rooted ("\", "/"), or any component with a NameFault (so also drive, UNC and
// device paths, streams and empty components). "/" counts as a separator. The byte form also
// refuses bytes that are not UTF-8 and a NUL byte.
bool IsUnsafePath(ByteView utf8Path);
bool IsUnsafePath(TextView path);
// A single file or folder name: a safe path without separators.
bool IsUnsafeName(TextView name);

// The information names places too: DisplayName is the folder made below the default parent and
// the desktop shortcut's file name, so it must be one plain name; ProgramFile is started from
// (and linked inside) the target folder, so it must be a safe relative path. A package whose
// information leads elsewhere is refused, whatever its file list holds.
enum class InfoFault { None, DisplayName, ProgramFile };
InfoFault FindInfoFault(const PackageInfo& info);

}  // namespace zv
