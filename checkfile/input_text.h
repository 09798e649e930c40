// The one test the pages make on the text typed in their path boxes before
// using it exactly as typed.
#pragma once

#include <algorithm>
#include <string_view>

namespace quillora {

// True when nothing is left of text after removing blanks and control
// characters (bytes 0 to 32) from both ends.
inline bool NothingTyped(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) <= 32; });
}

}  // namespace quillora
