#include "tools/zvpack/branding.h"

#include <algorithm>
#include <set>

#include "package/container.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/platform.h"
#include "generated/stock_icon.h"

namespace zv::pack {
namespace {

const ResourceId kAppIcon{0, ZV_TEXT("AAAAA_APPICON")};  // the group the installer loads its icons from

// The largest .ico file worth reading: the header, a full directory and every image at its limit.
constexpr std::uint64_t kMaxIconFile = 6 + kMaxIconImages * (16 + kMaxIconImageBytes);
// The largest resource section "zvpack list" reads: a full icon and room for the rest.
constexpr std::uint64_t kMaxListedSection = kMaxIconFile + (std::uint64_t{16} << 20);

void CheckVersionString(const std::string& option, const std::string& value) {
  if (!IsValidUtf8(value)) Refuse(option, "the text is not valid UTF-8");
  // What a listing would show escaped (control characters, and the bidirectional controls that
  // disguise what follows them) has no place in the file's properties.
  if (Printable(value, value.size() * 4 + 1) != value) {
    Refuse(option, "the text holds control characters (line breaks, tabs, bidirectional controls)");
  }
  const std::size_t units = Utf16Length(value);
  if (units > kMaxVersionString) {
    Refuse(option, "the text is " + std::to_string(units) + " characters long; the version block takes at most " +
                       std::to_string(kMaxVersionString));
  }
}

std::vector<IconImage> ReadIcon(const std::string& path) {
  const Node node = Inspect(path);
  if (node.kind == NodeKind::kMissing) Refuse(path, "the icon file does not exist");
  if (node.kind == NodeKind::kFolder) Refuse(path, "is a folder, not an icon file");
  if (node.size > kMaxIconFile) {
    Refuse(path, "not a valid icon: " + std::to_string(node.size) + " bytes, more than " +
                     std::to_string(kMaxIconImages) + " images of at most 1 MiB take");
  }
  Bytes bytes;
  std::string reason;
  if (!ReadWholeFileAt(path, &bytes, &reason)) Refuse(path, "cannot read the icon file: " + reason);
  std::optional<std::vector<IconImage>> images = ParseIcon(bytes, &reason);
  if (!images) Refuse(path, reason);
  return std::move(*images);
}

bool IsAppIconGroup(const Resource& r) { return r.type == ResourceId{kTypeGroupIcon, {}} && r.name == kAppIcon; }
bool IsIcon(const Resource& r) { return r.type == ResourceId{kTypeIcon, {}}; }

// Replaces the group's images: the icons only it lists go, the new ones take the lowest free
// numbers, in the .ico's order, in the group's language.
bool ReplaceIconGroup(std::vector<Resource>& resources, const std::vector<IconImage>& images) {
  const auto group = std::find_if(resources.begin(), resources.end(), IsAppIconGroup);
  if (group == resources.end()) return false;
  const std::uint16_t language = group->language;
  std::set<std::uint16_t> dropped, kept;
  for (const Resource& r : resources) {
    if (r.type != ResourceId{kTypeGroupIcon, {}}) continue;
    for (const std::uint16_t id : IconGroupIds(r.data)) (IsAppIconGroup(r) ? dropped : kept).insert(id);
  }
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [&](const Resource& r) {
                                   return IsAppIconGroup(r) || (IsIcon(r) && dropped.count(r.name.number) &&
                                                                !kept.count(r.name.number) && r.name.text.empty());
                                 }),
                  resources.end());
  std::set<std::uint16_t> used;
  for (const Resource& r : resources) {
    if (IsIcon(r) && r.name.text.empty()) used.insert(r.name.number);
  }
  std::vector<std::uint16_t> ids;
  for (std::uint16_t id = 1; ids.size() < images.size(); ++id) {
    if (!used.count(id)) ids.push_back(id);
  }
  for (std::size_t i = 0; i < images.size(); ++i) {
    resources.push_back({ResourceId{kTypeIcon, {}}, ResourceId{ids[i], {}}, language, 0, images[i].data});
  }
  resources.push_back({ResourceId{kTypeGroupIcon, {}}, kAppIcon, language, 0, BuildIconGroup(images, ids)});
  return true;
}

}  // namespace

Branding PrepareBranding(const BrandingOptions& options, const std::string& version) {
  Branding branding;
  if (options.RewritesVersion()) {
    VersionEdit edit;
    const auto set = [&](const char* option, const char* key, const std::optional<std::string>& value) {
      if (!value) return;
      CheckVersionString(option, *value);
      edit.strings.emplace_back(key, *value);
    };
    set("--company", "CompanyName", options.company);
    set("--file-description", "FileDescription", options.fileDescription);
    if (!version.empty()) {
      set("--version", "FileVersion", version);
      set("--version", "ProductVersion", version);
      edit.numbers = ParseVersionNumbers(version);
    }
    set("--product-name", "ProductName", options.productName);
    set("--copyright", "LegalCopyright", options.copyright);
    branding.version = std::move(edit);
  }
  if (!options.icon.empty()) branding.icon = ReadIcon(options.icon);
  return branding;
}

Bytes BrandStub(ByteView stub, const std::string& stubPath, const Branding& branding) {
  const auto refuse = [&](const std::string& problem) {
    Refuse(stubPath, "cannot take the publisher's icon and version information: " + problem);
  };
  std::string problem;
  const std::optional<PeLayout> layout = ReadPeLayout(stub, stub.size(), &problem);
  if (!layout) refuse(problem);
  std::optional<std::vector<Resource>> resources =
      ReadResources(stub.substr(layout->rawOffset, layout->rawSize), layout->virtualAddress, &problem);
  if (!resources) refuse(problem);
  if (!branding.icon.empty() && !ReplaceIconGroup(*resources, branding.icon)) {
    refuse("the program has no icon group \"AAAAA_APPICON\"");
  }
  if (branding.version) {
    bool found = false;
    for (Resource& r : *resources) {
      if (r.type != ResourceId{kTypeVersion, {}}) continue;
      std::optional<Bytes> edited = EditVersionBlock(r.data, *branding.version, &problem);
      if (!edited) refuse(problem);
      r.data = std::move(*edited);
      found = true;
    }
    if (!found) refuse("the program has no version block");
  }
  Bytes image = ReplaceResourceSection(stub, *layout, BuildResourceSection(std::move(*resources), layout->virtualAddress));
  if (FindMarker(image)) {
    refuse("the new resources hold the package marker's bytes, which the installer would take for "
           "its package");
  }
  return image;
}

std::size_t ChecksumOffset(ByteView image) {
  const std::optional<PeLayout> layout = ReadPeLayout(image, image.size(), nullptr);
  return layout ? layout->checksum : 0;
}

InstallerResources ReadInstallerResources(const std::string& installer, std::uint64_t imageSize) {
  InstallerResources result;
  InputFile file;
  Bytes head, section;
  std::string problem;
  if (!file.Open(installer, &problem) ||
      !file.ReadAt(0, static_cast<std::size_t>(std::min<std::uint64_t>(imageSize, kPeHeadBytes)), &head, &problem)) {
    result.problem = "cannot read: " + problem;
    return result;
  }
  const std::optional<PeLayout> layout = ReadPeLayout(head, imageSize, &problem);
  std::optional<std::vector<Resource>> resources;
  if (layout && layout->rawSize > kMaxListedSection) {
    problem = "the resource section is larger than an installer's";
  } else if (layout && !file.ReadAt(layout->rawOffset, layout->rawSize, &section, &problem)) {
    problem = "cannot read: " + problem;
  } else if (layout) {
    resources = ReadResources(section, layout->virtualAddress, &problem);
  }
  if (!resources) {
    result.problem = problem;
    return result;
  }
  static const std::optional<std::vector<IconImage>> stock = ParseIcon(kStockIcon, nullptr);
  for (const Resource& r : *resources) {
    if (IsAppIconGroup(r) && result.iconSizes.empty()) {
      const std::optional<std::vector<IconImage>> images = IconGroupImages(r.data, *resources);
      result.ownIcon = !images || images != stock;
      for (const IconImage& image : images ? *images : std::vector<IconImage>()) {
        result.iconSizes.push_back(std::to_string(image.width ? image.width : 256) + "x" +
                                   std::to_string(image.height ? image.height : 256));
      }
    }
    if (r.type == ResourceId{kTypeVersion, {}} && !result.version) result.version = ReadVersionBlock(r.data);
  }
  return result;
}

}  // namespace zv::pack
