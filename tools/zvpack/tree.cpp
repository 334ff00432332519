#include "tools/zvpack/tree.h"

#include <algorithm>
#include <map>

#include "package/file_list.h"
#include "package/format.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/names.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {
namespace {

void CheckItem(const DirItem& item, const std::string& source) {
  if (!item.convertible) Refuse(source, "the name is not valid Unicode");
  if (std::string problem = NameProblem(item.name); !problem.empty()) Refuse(source, problem);
  switch (item.node.kind) {
    case NodeKind::kFile:
      if (item.node.size > kMaxBlockDataSize) {
        Refuse(source, "the file is larger than a package can hold (1,073,741,823 bytes)");
      }
      return;
    case NodeKind::kFolder:
      return;
    case NodeKind::kLink:
      Refuse(source, "is a symbolic link; links are not packed (copy the file or folder it "
                     "points to into the tree instead)");
    case NodeKind::kMissing:
      Refuse(source, "vanished while the folder was read");
    case NodeKind::kOther:
      break;
  }
  Refuse(source, "is not a regular file or folder");
}

void Walk(const std::string& folder, const std::string& packagePrefix, SourceTree* tree) {
  std::vector<DirItem> items;
  std::string error;
  if (!ListFolder(folder, &items, &error)) Refuse(folder, "cannot list the folder: " + error);
  std::sort(items.begin(), items.end(),
            [](const DirItem& a, const DirItem& b) { return a.name < b.name; });

  std::map<Text, std::string> folded;  // name as Windows compares it -> name as found
  for (const DirItem& item : items) {
    const std::string source = JoinPath(folder, item.name);
    CheckItem(item, source);
    const auto [at, fresh] = folded.emplace(PathKey(Utf8ToWide(item.name)), item.name);
    if (!fresh) {
      Refuse(source, "Windows cannot tell this name from \"" + at->second +
                         "\" in the same folder (names differ only in case)");
    }
  }

  for (const DirItem& item : items) {
    TreeEntry entry;
    entry.folder = item.node.kind == NodeKind::kFolder;
    entry.path = packagePrefix.empty() ? item.name : packagePrefix + "\\" + item.name;
    entry.source = JoinPath(folder, item.name);
    entry.size = item.node.size;
    entry.lastWrite = item.node.lastWrite;
    entry.scanned = item.node;
    if (entry.folder) {
      ++tree->folders;
      const std::string source = entry.source;
      const std::string path = entry.path;
      tree->entries.push_back(std::move(entry));
      Walk(source, path, tree);
    } else {
      ++tree->files;
      tree->bytes += entry.size;
      tree->entries.push_back(std::move(entry));
    }
  }
}

}  // namespace

SourceTree ScanTree(const std::string& root) {
  const Node node = Inspect(root);
  if (node.kind == NodeKind::kMissing) Refuse(root, "no such folder");
  if (node.kind == NodeKind::kFile) Refuse(root, "is a file, not a folder");
  SourceTree tree;
  Walk(root, "", &tree);
  return tree;
}

}  // namespace zv::pack
