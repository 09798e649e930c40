// The names a folder scan passes over, whatever the job: check files and
// the temporary files that become them, so a check file never records itself
// or an unfinished one.
#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace quillora {

// The name the maker gives a check file; folder scans pass files of exactly
// this name over (letter case counts), so a check file never records itself.
inline constexpr std::string_view kCheckFileName = "CheckSum.md5";

// The name `make --format md5sum` gives the check file it writes for md5sum,
// which such a make passes over as it passes over kCheckFileName.
inline constexpr std::string_view kMd5sumsFileName = "MD5SUMS";

// True for the name of a check file's temporary file (either name's): a make
// writes it beside the check file, and one that a killed run left behind is
// no file of the user's. Folder scans pass such files over, as they pass
// check files over.
inline bool IsCheckFileTemp(std::string_view name) {
  static const std::string prefix = ReplacingTempPrefix(kCheckFileName);
  static const std::string md5sums_prefix = ReplacingTempPrefix(kMd5sumsFileName);
  return name.starts_with(prefix) || name.starts_with(md5sums_prefix);
}

}  // namespace quillora
