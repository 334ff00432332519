// The information block.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace zv {

struct PackageInfo {
  std::int32_t PackageNumber = 0;  // "编号=" or "ID="; 1 switches on special handling
  Text DisplayName;                // "名称="
  Text ProgramFile;                // "文件名=", relative to the target folder
  Text ReleaseDate;                // "日期=", shown only
  Text Version;                    // "版本号=", shown only
  Text Description;                // "说明=", the shortcut's description
  Text VersionLine;  // "版本：" + Version + "   发布日期：" + ReleaseDate
};

// Reads a decoded information block. Lines are cut to 99 UTF-16 units before the key is
// matched (a surrogate pair split by the cut loses its first half); unknown keys are ignored;
// a later line replaces an earlier one with the same key. The number is read after leading
// spaces (sign, digits, fraction, exponent), rounded to nearest with halves to even and held
// to the 32-bit range; no number reads as 0.
PackageInfo ParseInfo(ByteView info);

}  // namespace zv
