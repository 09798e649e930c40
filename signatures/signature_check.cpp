#include "signatures/signature_check.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/errors.h"
#include "signatures/gnupg.h"

namespace quillora {
namespace {

constexpr std::string_view kSignedMessage = "-----BEGIN PGP SIGNED MESSAGE-----";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void SeekBack(Stream& stream, std::int64_t position) {
  if (position < 0 || !stream.Seek(position))
    throw IoError::FromSystem(stream.last_error() != 0 ? stream.last_error() : ESPIPE);
}

// A signature file is a few hundred bytes: one far larger is not one, and is
// not read into memory.
constexpr std::int64_t kLargestSignature = 1 << 20;

// The signature file beside the check file, read into input; or the finding
// when none is there (kNone) or it cannot be read (kNotChecked).
std::optional<SignatureFinding> ReadSignatureFile(Env& env, const std::string& check_file_path, SignedBytes& input) {
  for (const char* suffix : kSignatureSuffixes) {
    const std::string path = check_file_path + suffix;
    SignatureFinding unread;
    unread.state = SignatureState::kNotChecked;
    try {
      if (!env.FileExists(path)) continue;
      env.CheckReadable(path);  // a FIFO or device is refused here, never opened
      std::unique_ptr<Stream> file = env.OpenTextForReading(path);
      if (file->Size() > kLargestSignature) {
        unread.problem = "\"" + path + "\" is too large for a signature";
        return unread;
      }
      std::string bytes;
      char block[16 * 1024];
      for (std::int64_t got; (got = file->Read(block, sizeof block)) != 0;) {
        if (got < 0) throw IoError::FromSystem(file->last_error());
        bytes.append(block, static_cast<std::size_t>(got));
        if (static_cast<std::int64_t>(bytes.size()) > kLargestSignature) break;
      }
      input.signature = std::move(bytes);
      input.signature_path = path;
      return std::nullopt;
    } catch (const IoError& e) {
      unread.problem = "\"" + path + "\" cannot be read: " +
                       (e.system_error() != 0 ? SystemErrorMessage(e.system_error()) : std::string(e.what()));
    } catch (const SystemError& e) {
      unread.problem = "\"" + path + "\" cannot be read: " + SystemErrorMessage(e.number());
    }
    return unread;
  }
  return SignatureFinding{};
}

}  // namespace

bool HoldsClearSignedMessage(Stream& check_file) {
  // Matched at each line's start across reads, as the check file's reader
  // will cut the line: the armour, then blanks, then at most one CR.
  constexpr std::size_t kNoArmour = std::string_view::npos;
  std::size_t matched = 0;  // bytes of the armour the line began with so far
  bool cr = false;          // after the armour: its CR was met
  std::size_t mark = 0;     // bytes of a byte-order mark at the start, which the reader passes over
  std::string block(64 * 1024, '\0');
  for (;;) {
    const std::int64_t got = check_file.Read(block.data(), block.size());
    if (got < 0) throw IoError::FromSystem(check_file.last_error());
    if (got == 0) return matched == kSignedMessage.size();
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
        if (matched == kSignedMessage.size()) return true;
        matched = 0;
        cr = false;
      } else if (matched == kNoArmour) {
        // Not an armour line: on to its end at once.
        const void* end = std::memchr(block.data() + i, '\n', size - i);
        if (end == nullptr) break;
        i = static_cast<std::size_t>(static_cast<const char*>(end) - block.data()) - 1;
      } else if (matched < kSignedMessage.size()) {
        matched = ch == kSignedMessage[matched] ? matched + 1 : kNoArmour;
      } else if (cr || (ch != ' ' && ch != '\t' && ch != '\r')) {
        matched = kNoArmour;
      } else {
        cr = ch == '\r';
      }
    }
  }
}

SignatureFinding CheckSignature(Env& env, const std::string& check_file_path, Stream& check_file) {
  const std::int64_t start = check_file.Position();
  SignedBytes input{check_file};
  input.clear_signed = HoldsClearSignedMessage(check_file);
  SeekBack(check_file, start);
  if (input.clear_signed) {
    // GnuPG takes no byte-order mark before the armour; the reader passes
    // it over, and so does what GnuPG is given.
    char mark[3] = {};
    if (check_file.Read(mark, sizeof mark) != 3 || std::string_view(mark, 3) != kByteOrderMark)
      SeekBack(check_file, start);
  }
  if (!input.clear_signed) {
    if (check_file_path.empty()) return {};
    if (std::optional<SignatureFinding> none = ReadSignatureFile(env, check_file_path, input)) return *none;
  }
  SignatureFinding finding = VerifyWithGnuPG(input);
  SeekBack(check_file, start);
  return finding;
}

}  // namespace quillora
