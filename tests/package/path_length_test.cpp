// How much of a plain Windows path a package's entries take below the installer's target folder.
#include <gtest/gtest.h>

#include "package/path_length.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::FileEntry;
using test::FolderEntry;

// The longest target folder (with its final "\") each list leaves room for, at the edges of the
// three rules: a folder keeps 12 units free, a file takes its own path, and a file written over
// an existing one takes the partial file's path in its folder first.
TEST(PlainPathRoom, FoldersKeepRoomAndShortNamesCountThePartialFile) {
  const auto longestTarget = [](const std::vector<FileListEntry>& entries) {
    return kMaxPlainPath - PlainPathRoom(entries);
  };
  EXPECT_EQ(longestTarget({}), 248u);  // the target folder itself: 247 units and its "\"
  const std::string folder(100, 'd');
  EXPECT_EQ(longestTarget({FolderEntry(folder)}), 259u - 100u - 12u);
  const std::string longName = folder + "\\" + std::string(40, 'f');
  EXPECT_EQ(longestTarget({FolderEntry(folder), FileEntry(1, longName)}), 259u - 141u);
  // "d…d\a": the partial file's path is 15 units longer than the file's.
  EXPECT_EQ(longestTarget({FolderEntry(folder), FileEntry(1, folder + "\\a")}), 259u - 101u - 16u);
  EXPECT_EQ(longestTarget({FileEntry(1, "a")}), 259u - 16u);
  // Units, not bytes: a Chinese name takes one unit a character.
  EXPECT_EQ(longestTarget({FileEntry(1, "安装说明文件名字很长的一个文本文件.txt")}), 259u - 21u);
}

}  // namespace
}  // namespace zv
