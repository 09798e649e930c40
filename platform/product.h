// Who we are, as the check files and the About page tell it. One place, so
// the header of every check file and the window's links never disagree.
#pragma once

#include <string_view>

namespace quillora {

// The product's name as it appears in the first line of a check file.
inline constexpr std::string_view kProductName = "Quillora";

// The web page address, written without a scheme after "Please download the
// latest version from " and opened as a link by the About page.
inline constexpr std::string_view kWebPageAddress = "quillora.example.org/md5";

// The support e-mail address of the About page's "mailto:" link.
inline constexpr std::string_view kSupportEmail = "support@quillora.example.org";

}  // namespace quillora
