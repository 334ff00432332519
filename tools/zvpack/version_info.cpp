#include "tools/zvpack/version_info.h"

#include "tools/zvpack/pe_resources.h"

namespace zv::pack {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;  // VS_FIXEDFILEINFO.dwSignature
constexpr std::size_t kFixedSize = 52;
constexpr std::uint16_t kTextValue = 1;  // wType: the value is UTF-16 text (length in units)
constexpr int kMaxDepth = 4;  // VS_VERSION_INFO / StringFileInfo / table / string

// One node of the block: wLength, wValueLength and wType, the key, the value and the children,
// each starting at a 4-byte boundary. A node's length ends with its last byte, not its padding.
struct Node {
  Text key;
  std::uint16_t type = 0;
  Bytes value;
  std::vector<Node> children;
};

std::size_t Align4(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

bool ReadNode(ByteView block, std::size_t at, std::size_t end, int depth, Node* node, std::size_t* next) {
  const std::size_t length = Get16(block, at);
  if (depth > kMaxDepth || length < 6 || at + length > end) return false;
  const std::size_t nodeEnd = at + length;
  const std::size_t valueLength = Get16(block, at + 2);
  node->type = Get16(block, at + 4);
  std::size_t p = at + 6;
  for (; p + 2 <= nodeEnd && Get16(block, p); p += 2) node->key.push_back(static_cast<TextUnit>(Get16(block, p)));
  if (p + 2 > nodeEnd) return false;  // no terminator
  p = Align4(p + 2);
  const std::size_t valueBytes = node->type == kTextValue ? 2 * valueLength : valueLength;
  if (p < nodeEnd) {
    node->value = Bytes(block.substr(p, std::min(valueBytes, nodeEnd - p)));
    p = Align4(p + node->value.size());
  }
  while (p < nodeEnd) {
    Node child;
    std::size_t after = 0;
    if (!ReadNode(block, p, nodeEnd, depth + 1, &child, &after)) return false;
    node->children.push_back(std::move(child));
    p = Align4(after);
  }
  *next = nodeEnd;
  return true;
}

Bytes WriteNode(const Node& node) {
  Bytes out(6, '\0');
  for (const TextUnit unit : node.key) Append16(out, static_cast<std::uint16_t>(unit));
  Append16(out, 0);
  out.resize(Align4(out.size()), '\0');
  out += node.value;
  for (const Node& child : node.children) {
    out.resize(Align4(out.size()), '\0');
    out += WriteNode(child);
  }
  Put16(out, 0, static_cast<std::uint16_t>(out.size()));
  const std::size_t valueLength = node.type == kTextValue ? node.value.size() / 2 : node.value.size();
  Put16(out, 2, static_cast<std::uint16_t>(valueLength));
  Put16(out, 4, node.type);
  return out;
}

std::optional<Node> ReadBlock(ByteView block) {
  Node root;
  std::size_t end = 0;
  if (!ReadNode(block, 0, block.size(), 0, &root, &end) || root.key != ZV_TEXT("VS_VERSION_INFO") ||
      root.value.size() < kFixedSize || Get32(root.value, 0) != kFixedSignature) {
    return std::nullopt;
  }
  return root;
}

// The text of a string node's value (up to its terminator), as UTF-8.
std::string ValueText(const Node& node) {
  Text text;
  for (std::size_t i = 0; i + 1 < node.value.size(); i += 2) {
    const std::uint16_t unit = Get16(node.value, i);
    if (!unit) break;
    text.push_back(static_cast<TextUnit>(unit));
  }
  return WideToUtf8(text);
}

Bytes TextValue(std::string_view utf8) {
  Bytes value;
  for (const TextUnit unit : Utf8ToWide(utf8)) Append16(value, static_cast<std::uint16_t>(unit));
  Append16(value, 0);
  return value;
}

std::string NumbersAt(ByteView fixed, std::size_t at) {
  const std::uint32_t high = Get32(fixed, at), low = Get32(fixed, at + 4);
  return FormatVersionNumbers({static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
                               static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)});
}

}  // namespace

std::optional<VersionNumbers> ParseVersionNumbers(std::string_view text) {
  VersionNumbers numbers{};
  std::size_t part = 0;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || part == numbers.size()) return std::nullopt;
      numbers[part++] = static_cast<std::uint16_t>(value);
      value = 0;
      digits = 0;
    } else if (text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
      if (++digits > 5 || value > 0xFFFF) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return numbers;
}

std::string FormatVersionNumbers(const VersionNumbers& numbers) {
  return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]) +
         "." + std::to_string(numbers[3]);
}

std::optional<Bytes> EditVersionBlock(ByteView block, const VersionEdit& edit, std::string* problem) {
  std::optional<Node> root = ReadBlock(block);
  if (!root) {
    if (problem) *problem = "the program's version block is malformed";
    return std::nullopt;
  }
  if (edit.numbers) {
    const VersionNumbers& n = *edit.numbers;
    for (const std::size_t at : {std::size_t{8}, std::size_t{16}}) {  // file, then product version
      Put32(root->value, at, std::uint32_t{n[0]} << 16 | n[1]);
      Put32(root->value, at + 4, std::uint32_t{n[2]} << 16 | n[3]);
    }
  }
  for (Node& info : root->children) {
    if (info.key != ZV_TEXT("StringFileInfo")) continue;
    for (Node& table : info.children) {
      for (const auto& [key, value] : edit.strings) {
        const Text wideKey = Utf8ToWide(key);
        Node* found = nullptr;
        for (Node& string : table.children) {
          if (string.key == wideKey) found = &string;
        }
        if (!found) {
          table.children.push_back(Node{wideKey, kTextValue, {}, {}});
          found = &table.children.back();
        }
        found->value = TextValue(value);
      }
    }
  }
  Bytes out = WriteNode(*root);
  if (out.size() > 0xFFFF) {
    if (problem) *problem = "the version block would be larger than 64 KiB";
    return std::nullopt;
  }
  return out;
}

std::optional<VersionSummary> ReadVersionBlock(ByteView block) {
  const std::optional<Node> root = ReadBlock(block);
  if (!root) return std::nullopt;
  VersionSummary summary;
  summary.fileVersion = NumbersAt(root->value, 8);
  summary.productVersion = NumbersAt(root->value, 16);
  for (const Node& info : root->children) {
    if (info.key != ZV_TEXT("StringFileInfo") || info.children.empty()) continue;
    for (const Node& string : info.children.front().children) {
      summary.strings.emplace_back(WideToUtf8(string.key), ValueText(string));
    }
    break;
  }
  return summary;
}

}  // namespace zv::pack
