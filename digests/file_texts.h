// Texts shared by every job that digests files: the list, the maker and the
// verifier.
#pragma once

#include <string_view>

namespace quillora {

// The status of a file that cannot be digested: the list's second column,
// the maker's file lines and (with " ... ") the verifier's verdicts.
inline constexpr std::string_view kCouldNotOpenFile = "Could not open file";

}  // namespace quillora
