// Which names a package may carry. A package is unpacked on Windows, so every piece of every
// path must be a name Windows can create; and the file list is split at CR LF, so no name may
// hold a line break.
#pragma once

#include <string>
#include <string_view>

namespace zv::pack {

// Why one folder or file name cannot be stored, or empty when it can: a line break or invalid
// UTF-8 (the packer's own checks), then whatever the package's rule (FindNameFault) refuses.
std::string NameProblem(std::string_view name);

// Why a relative package path ("a\b\c") cannot be stored, or empty: an empty piece, or a piece
// with a NameProblem. It refuses everything the package's IsUnsafePath does, and more.
std::string PackagePathProblem(std::string_view path);

// The package form of a path typed by a user: "/" becomes "\", leading ".\" pieces and
// doubled separators are dropped.
std::string NormalisePackagePath(std::string_view path);

// The native relative path for a package path ("\" becomes the system's separator).
std::string NativeRelativePath(std::string_view packagePath);

}  // namespace zv::pack
