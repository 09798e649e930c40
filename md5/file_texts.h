// Texts and names shared by every job that digests files: the list, the
// maker and the verifier.
#pragma once

#include <string>
#include <string_view>

#include "platform/env.h"

namespace quillora {

// The name the maker gives a check file; folder scans pass files of exactly
// this name over (letter case counts), so a check file never records itself.
inline constexpr std::string_view kCheckFileName = "CheckSum.md5";

// True for the name of a check file's temporary file: a make writes it beside
// the check file, and one that a killed run left behind is no file of the
// user's. Folder scans pass such files over, as they pass check files over.
inline bool IsCheckFileTemp(std::string_view name) {
  static const std::string prefix = ReplacingTempPrefix(kCheckFileName);
  return name.starts_with(prefix);
}

// The status of a file that cannot be digested: the list's second column,
// the maker's file lines and (with " ... ") the verifier's verdicts.
inline constexpr std::string_view kCouldNotOpenFile = "Could not open file";

}  // namespace quillora
