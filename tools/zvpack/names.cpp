#include "tools/zvpack/names.h"

#include "base/text.h"
#include "package/names.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {

std::string NameProblem(std::string_view name) {
  // The bytes first: the list is split at line breaks, and the converted text that the
  // package's rule reads would end at a NUL byte.
  if (name.find_first_of("\r\n") != std::string_view::npos) return "the name holds a line break";
  if (!IsValidUtf8(name)) return "the name is not valid UTF-8";
  if (name.find('\0') != std::string_view::npos) return "the name holds a control character";
  switch (FindNameFault(Utf8ToWide(name))) {
    case NameFault::None:
      return {};
    case NameFault::Empty:
      return "empty name";
    case NameFault::ControlCharacter:
      return "the name holds a control character";
    case NameFault::Separator:
      return "the name holds a path separator (\\ or /)";
    case NameFault::ReservedCharacter:
      return std::string("Windows cannot create a name holding '") +
             name[name.find_first_of("<>:\"|?*")] + "'";
    case NameFault::OnlyDots:
      return "\".\" and \"..\" are not names";
    case NameFault::TrailingDotOrSpace:
      return "Windows cannot create a name ending in a dot or space";
    case NameFault::DeviceName:
      return "the name is reserved for a device on Windows";
    case NameFault::PartialFileName:
      return "the name is reserved for the file being written (\"" + WideToUtf8(kPartialFileName) + "\")";
  }
  return "Windows cannot create this name";
}

std::string PackagePathProblem(std::string_view path) {
  if (path.empty()) return "empty path";
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('\\', start);
    const std::string_view piece =
        path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (piece.empty()) return "the path has an empty piece";
    if (std::string problem = NameProblem(piece); !problem.empty()) return problem;
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
}

std::string NormalisePackagePath(std::string_view path) {
  std::string result;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view piece = path.substr(start, end - start);
    if (!piece.empty() && piece != ".") {
      if (!result.empty()) result += '\\';
      result += piece;
    }
    start = end + 1;
  }
  return result;
}

std::string NativeRelativePath(std::string_view packagePath) {
  std::string native(packagePath);
  for (char& c : native) {
    if (c == '\\') c = kPathSeparator;
  }
  return native;
}

}  // namespace zv::pack
