// The product's addresses, shown on the About page and written into check files.
#pragma once

#include <string_view>

namespace quillora {

inline constexpr std::string_view kWebsite = "quillora.example.org/md5";
inline constexpr std::string_view kSupportEmail = "support@quillora.example.org";

}  // namespace quillora
