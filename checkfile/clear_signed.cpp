#include "checkfile/clear_signed.h"

#include <cstring>
#include <string>

#include "platform/errors.h"

namespace quillora {
namespace {

constexpr std::string_view kBeginSigned = "-----BEGIN PGP SIGNED MESSAGE-----";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

bool HoldsSignedMessage(Stream& input) {
  // Matched at each line's start across reads, as the reader will cut the
  // line: the armour, then blanks, then at most one CR before the line end.
  constexpr std::size_t kNoArmour = std::string_view::npos;
  std::size_t matched = 0;  // bytes of the armour the line began with so far
  bool cr = false;          // after the armour: its CR was met
  std::size_t mark = 0;     // bytes of a byte-order mark at the start, which the reader passes over
  std::string block(64 * 1024, '\0');
  for (;;) {
    const std::int64_t got = input.Read(block.data(), block.size());
    if (got < 0) throw IoError::FromSystem(input.last_error());
    if (got == 0) return matched == kBeginSigned.size();
    const std::size_t size = static_cast<std::size_t>(got);
    for (std::size_t i = 0; i < size; ++i) {
      const char ch = block[i];
      if (mark < kByteOrderMark.size()) {
        if (ch == kByteOrderMark[mark]) {
          ++mark;
          continue;
        }
        // Part of a mark is the first line's own bytes: no armour line then.
        if (mark != 0) matched = kNoArmour;
        mark = kByteOrderMark.size();
      }
      if (ch == '\n') {
        if (matched == kBeginSigned.size()) return true;
        matched = 0;
        cr = false;
      } else if (matched == kNoArmour) {
        // Not an armour line: on to its end at once.
        const void* end = std::memchr(block.data() + i, '\n', size - i);
        if (end == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const char*>(end) - block.data()) - 1;
      } else if (matched < kBeginSigned.size()) {
        matched = ch == kBeginSigned[matched] ? matched + 1 : kNoArmour;
      } else if (cr || (ch != ' ' && ch != '\t' && ch != '\r')) {
        matched = kNoArmour;
      } else {
        cr = ch == '\r';
      }
    }
  }
}

}  // namespace quillora
