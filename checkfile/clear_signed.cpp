#include "checkfile/clear_signed.h"

#include <string>

#include "platform/errors.h"
#include "signatures/signature_check.h"

namespace quillora {
namespace {

constexpr std::string_view kBeginSigned = "-----BEGIN PGP SIGNED MESSAGE-----";

// An armour line, trailing blanks allowed as GnuPG allows them.
bool IsArmour(std::string_view line, std::string_view armour) {
  if (!line.starts_with(armour)) return false;
  return line.substr(armour.size()).find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

ClearSignedText::Unwrapped ClearSignedText::Unwrap(std::string_view line) {
  const Unwrapped wrapper{Part::kWrapper, {}};
  switch (state_) {
    case State::kBefore:
      if (IsArmour(line, kBeginSigned)) {
        state_ = State::kHeader;
        signed_message_ = true;
        return wrapper;
      }
      [[fallthrough]];
    case State::kAfter:
      if (IsArmour(line, "-----BEGIN PGP SIGNATURE-----")) {
        state_ = State::kSignature;
        return wrapper;
      }
      return {expect_signed_ ? Part::kOutside : Part::kRead, line};
    case State::kHeader:
      if (line.find_first_not_of(" \t") == std::string_view::npos) state_ = State::kSigned;
      return wrapper;
    case State::kSigned:
      if (IsArmour(line, "-----BEGIN PGP SIGNATURE-----")) {
        state_ = State::kSignature;
        return wrapper;
      }
      if (line.starts_with("- ")) line.remove_prefix(2);
      return {Part::kRead, line};
    case State::kSignature:
      // After the first signed message, a second is outside it too.
      if (IsArmour(line, "-----END PGP SIGNATURE-----")) state_ = signed_message_ ? State::kAfter : State::kBefore;
      return wrapper;
  }
  return {Part::kRead, line};
}

bool HoldsSignedMessage(Stream& input) { return HoldsClearSignedMessage(input); }

}  // namespace quillora
