// The publisher's installer: the stub's icon group "AAAAA_APPICON" replaced by the images of an
// .ico file, and its version block carrying the publisher's version and strings. Nothing else
// of the stub changes; without any of these options the stub is used byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "tools/zvpack/icon_file.h"
#include "tools/zvpack/version_info.h"

namespace zv::pack {

struct BrandingOptions {
  std::string icon;                            // --icon: an .ico file; empty: the stub's icon
  std::optional<std::string> productName;      // --product-name: "ProductName"
  std::optional<std::string> company;          // --company: "CompanyName"
  std::optional<std::string> copyright;        // --copyright: "LegalCopyright"
  std::optional<std::string> fileDescription;  // --file-description: "FileDescription"

  // Any of the four strings: the version block becomes the publisher's, and the package's
  // version (--version) its "FileVersion" and "ProductVersion" (and, as a.b.c.d or shorter,
  // the fixed part's file and product version).
  bool RewritesVersion() const { return productName || company || copyright || fileDescription; }
  bool Any() const { return !icon.empty() || RewritesVersion(); }
};

// The UTF-16 units a version string may hold (as an information line may).
inline constexpr std::size_t kMaxVersionString = 99;

// The options checked and the icon read, before anything is written.
struct Branding {
  std::vector<IconImage> icon;  // empty: the stub's icon stays
  std::optional<VersionEdit> version;
  bool Any() const { return !icon.empty() || version.has_value(); }
};

// Checks every string (valid UTF-8, no control characters or bidirectional controls, at most
// kMaxVersionString UTF-16 units) and reads the icon file. version is the package's --version.
// Throws PackError (exit 1) naming the option or the file and the reason.
Branding PrepareBranding(const BrandingOptions& options, const std::string& version);

// The stub with the branding applied (its resource section rebuilt as the last section, the
// checksum field left at 0 for the finished file's checksum). Throws PackError (exit 1)
// naming the stub and the reason it cannot be branded.
Bytes BrandStub(ByteView stub, const std::string& stubPath, const Branding& branding);

// The file offset of the checksum field of a stub BrandStub made.
std::size_t ChecksumOffset(ByteView image);

// What "zvpack list" says about an installer's program image.
struct InstallerResources {
  std::string problem;  // why they could not be read; empty when they were
  bool ownIcon = false;  // an icon group that is not the installer's own icon
  std::vector<std::string> iconSizes;  // "WxH" of each image of the group, in its order
  std::optional<VersionSummary> version;
};
// Reads the resources of the image, the first imageSize bytes of the installer file.
InstallerResources ReadInstallerResources(const std::string& installer, std::uint64_t imageSize);

}  // namespace zv::pack
