// Which names a package may carry. A package is unpacked on Windows, so every piece of every
// path must be a name Windows can create; and the file list is split at CR LF, so no name may
// hold a line break.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zv::pack {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);
// Number of UTF-16 code units of valid UTF-8 text (what the installer counts).
std::size_t Utf16Length(std::string_view utf8);

// Why one folder or file name cannot be stored, or empty when it can: line breaks, invalid
// UTF-8, "\" or "/", the characters < > : " | ? *, control characters, a trailing dot or
// space, or a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an
// extension).
std::string NameProblem(std::string_view name);

// Why a relative package path ("a\b\c") cannot be stored, or empty: an empty piece, "." or
// "..", or a piece with a NameProblem.
std::string PackagePathProblem(std::string_view path);

// ASCII letters folded to lower case: Windows sees names that differ only so as one name.
std::string FoldCase(std::string_view name);

// The package form of a path typed by a user: "/" becomes "\", leading ".\" pieces and
// doubled separators are dropped.
std::string NormalisePackagePath(std::string_view path);

// The native relative path for a package path ("\" becomes the system's separator).
std::string NativeRelativePath(std::string_view packagePath);

}  // namespace zv::pack
