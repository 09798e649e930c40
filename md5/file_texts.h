// Texts and names shared by every job that digests files: the list, the
// maker and the verifier.
#pragma once

#include <string_view>

namespace quillora {

// The name the maker gives a check file; folder scans pass files of exactly
// this name over (letter case counts), so a check file never records itself.
inline constexpr std::string_view kCheckFileName = "CheckSum.md5";

// The status of a file that cannot be digested: the list's second column,
// the maker's file lines and (with " ... ") the verifier's verdicts.
inline constexpr std::string_view kCouldNotOpenFile = "Could not open file";

}  // namespace quillora
