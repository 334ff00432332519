// How long the paths of a package's entries are for the installer, which writes by plain paths.
#include "package/path_length.h"

#include "package/file_list.h"
#include "package/names.h"

namespace zv {

std::size_t PlainPathRoom(const std::vector<FileListEntry>& entries) {
  constexpr std::size_t kFolderSlack = kMaxPlainPath - kMaxPlainFolderPath;
  // The target folder is made by CreateDirectoryW too: without its "\" it takes one unit less.
  std::size_t room = kFolderSlack - 1;
  for (const FileListEntry& entry : entries) {
    const TextView path = entry.Path;
    std::size_t need = path.size() + kFolderSlack;
    if (!entry.IsFolder) {
      // The partial file goes after the path's last "\" (as Windows reads it, "/" separates
      // too, but the installer cuts the path there): that part (none at the top, where npos + 1
      // is 0) and the partial name.
      const std::size_t partial = path.rfind(ZV_TEXT('\\')) + 1 + kPartialFileName.size();
      need = path.size() > partial ? path.size() : partial;
    }
    if (need > room) room = need;
  }
  return room;
}

}  // namespace zv
