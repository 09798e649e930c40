#include "signatures/signature_check.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/errors.h"
#include "signatures/gnupg.h"

namespace quillora {
namespace {

constexpr std::string_view kSignedMessage = "-----BEGIN PGP SIGNED MESSAGE-----";
// As much of a line as can tell the armour line, trailing blanks and all.
constexpr std::size_t kLineKept = kSignedMessage.size() + 64;

// The armour line alone, blanks and a CR after it as GnuPG allows them.
bool IsSignedMessageLine(std::string_view line) {
  return line.starts_with(kSignedMessage) &&
         line.substr(kSignedMessage.size()).find_first_not_of(" \t\r") == std::string_view::npos;
}

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
  std::vector<char> block(64 * 1024);
  std::string line;        // the current line's first bytes, up to kLineKept
  bool line_long = false;  // it holds more than those
  for (;;) {
    const std::int64_t got = check_file.Read(block.data(), block.size());
    if (got < 0) throw IoError::FromSystem(check_file.last_error());
    if (got == 0) return !line_long && IsSignedMessageLine(line);
    const char* at = block.data();
    const char* const end = at + got;
    while (at < end) {
      const char* const line_end = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
      const char* const stop = line_end != nullptr ? line_end : end;
      const std::size_t room = kLineKept - line.size();
      const std::size_t count = static_cast<std::size_t>(stop - at);
      line.append(at, std::min(room, count));
      line_long = line_long || count > room;
      if (line_end == nullptr) break;
      if (!line_long && IsSignedMessageLine(line)) return true;
      line.clear();
      line_long = false;
      at = line_end + 1;
    }
  }
}

SignatureFinding CheckSignature(Env& env, const std::string& check_file_path, Stream& check_file) {
  const std::int64_t start = check_file.Position();
  SignedBytes input{check_file};
  input.clear_signed = HoldsClearSignedMessage(check_file);
  SeekBack(check_file, start);
  if (!input.clear_signed) {
    if (check_file_path.empty()) return {};
    if (std::optional<SignatureFinding> none = ReadSignatureFile(env, check_file_path, input)) return *none;
  }
  SignatureFinding finding = VerifyWithGnuPG(input);
  SeekBack(check_file, start);
  return finding;
}

}  // namespace quillora
