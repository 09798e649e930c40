#include "checkfile/clear_signed.h"

namespace quillora {
namespace {

// An armour line, trailing blanks allowed as GnuPG allows them.
bool IsArmour(std::string_view line, std::string_view armour) {
  if (!line.starts_with(armour)) return false;
  return line.substr(armour.size()).find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

std::optional<std::string_view> ClearSignedText::Unwrap(std::string_view line) {
  switch (part_) {
    case Part::kOutside:
      if (IsArmour(line, "-----BEGIN PGP SIGNED MESSAGE-----")) {
        part_ = Part::kHeader;
        signed_message_ = true;
        return std::nullopt;
      }
      if (IsArmour(line, "-----BEGIN PGP SIGNATURE-----")) {
        part_ = Part::kSignature;
        return std::nullopt;
      }
      return line;
    case Part::kHeader:
      if (line.find_first_not_of(" \t") == std::string_view::npos) part_ = Part::kSigned;
      return std::nullopt;
    case Part::kSigned:
      if (IsArmour(line, "-----BEGIN PGP SIGNATURE-----")) {
        part_ = Part::kSignature;
        return std::nullopt;
      }
      if (line.starts_with("- ")) line.remove_prefix(2);
      return line;
    case Part::kSignature:
      if (IsArmour(line, "-----END PGP SIGNATURE-----")) part_ = Part::kOutside;
      return std::nullopt;
  }
  return line;
}

}  // namespace quillora
