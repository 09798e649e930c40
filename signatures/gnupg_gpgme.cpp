// GnuPG through GPGME: the check file goes to gpg through data callbacks
// over the verify's own stream.
#include <gpgme.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/errors.h"
#include "signatures/gnupg.h"

namespace quillora {
namespace {

// The check file as GPGME reads it: the stream from where it stood, and the
// first read error, which is the verify's to raise.
struct StreamSource {
  Stream& stream;
  std::int64_t start;
  int read_error = 0;
};

ssize_t ReadStream(void* handle, void* buffer, size_t size) {
  auto& source = *static_cast<StreamSource*>(handle);
  const std::int64_t got = source.stream.Read(buffer, size);
  if (got < 0) {
    source.read_error = source.stream.last_error() != 0 ? source.stream.last_error() : EIO;
    errno = EIO;
    return -1;
  }
  return static_cast<ssize_t>(got);
}

// GPGME may rewind what it reads; offsets count from where the check file
// was handed over.
off_t SeekStream(void* handle, off_t offset, int whence) {
  auto& source = *static_cast<StreamSource*>(handle);
  std::int64_t to = offset;
  if (whence == SEEK_CUR) to += source.stream.Position() - source.start;
  if (whence == SEEK_END) to += source.stream.Size() - source.start;
  if (to < 0 || !source.stream.Seek(source.start + to)) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<off_t>(to);
}

// Owners of GPGME's objects, released on every way out.
struct Context {
  gpgme_ctx_t ctx = nullptr;
  ~Context() {
    if (ctx) gpgme_release(ctx);
  }
};
struct Data {
  gpgme_data_t data = nullptr;
  ~Data() {
    if (data) gpgme_data_release(data);
  }
};
struct Key {
  gpgme_key_t key = nullptr;
  ~Key() {
    if (key) gpgme_key_unref(key);
  }
};

SignatureFinding NotChecked(gpgme_error_t error) {
  SignatureFinding finding;
  finding.state = SignatureState::kNotChecked;
  finding.problem = gpg_err_code(error) == GPG_ERR_UNSUPPORTED_ALGORITHM ? "Unsupported algorithm"
                                                                         : "GnuPG could not check it";
  return finding;
}

// One signature as GnuPG judged it, with its key's primary fingerprint and
// user ID from the keyring.
SignatureFinding FindingOf(gpgme_ctx_t ctx, const gpgme_signature_t sig) {
  SignatureFinding f;
  switch (gpg_err_code(sig->status)) {
    case GPG_ERR_NO_ERROR:
      f.state = sig->validity == GPGME_VALIDITY_NEVER ? SignatureState::kKeyDistrusted : SignatureState::kGood;
      break;
    case GPG_ERR_KEY_EXPIRED:
      f.state = SignatureState::kGood;
      f.key_expired = true;
      break;
    case GPG_ERR_SIG_EXPIRED: f.state = SignatureState::kSignatureExpired; break;
    case GPG_ERR_CERT_REVOKED: f.state = SignatureState::kKeyRevoked; break;
    case GPG_ERR_BAD_SIGNATURE: return Trimmed({.state = SignatureState::kBad});
    case GPG_ERR_NO_PUBKEY: return Trimmed({.state = SignatureState::kKeyMissing, .fingerprint = sig->fpr ? sig->fpr : ""});
    default: return NotChecked(sig->status);
  }
  // An expired key is given no validity, as gpg --verify gives it none.
  f.key_certified = !f.key_expired &&
                    (sig->validity == GPGME_VALIDITY_FULL || sig->validity == GPGME_VALIDITY_ULTIMATE);
  f.signed_at = static_cast<std::int64_t>(sig->timestamp);
  f.expires_at = static_cast<std::int64_t>(sig->exp_timestamp);
  f.fingerprint = sig->fpr ? sig->fpr : "";
  Key key;
  if (sig->fpr && gpgme_get_key(ctx, sig->fpr, &key.key, 0) == GPG_ERR_NO_ERROR && key.key) {
    if (key.key->fpr) f.fingerprint = key.key->fpr;
    if (key.key->uids && key.key->uids->uid) f.signer = key.key->uids->uid;
  }
  return Trimmed(std::move(f));
}

bool GnuPGFound() {
  static std::once_flag once;
  static bool found = false;
  std::call_once(once, [] {
    gpgme_check_version(nullptr);
    found = gpgme_engine_check_version(GPGME_PROTOCOL_OpenPGP) == GPG_ERR_NO_ERROR;
  });
  return found;
}

}  // namespace

SignatureFinding VerifyWithGnuPG(const SignedBytes& input) {
  if (!GnuPGFound()) return {.state = SignatureState::kNoGnuPG};
  Context context;
  if (const gpgme_error_t error = gpgme_new(&context.ctx)) return NotChecked(error);
  gpgme_set_protocol(context.ctx, GPGME_PROTOCOL_OpenPGP);
  gpgme_set_offline(context.ctx, 1);  // a verify never goes to a key server

  StreamSource source{input.check_file, input.check_file.Position()};
  gpgme_data_cbs check_file_callbacks{ReadStream, nullptr, SeekStream, nullptr};
  Data check_file, signature;
  gpgme_error_t error = gpgme_data_new_from_cbs(&check_file.data, &check_file_callbacks, &source);
  if (!error && !input.clear_signed)
    error = gpgme_data_new_from_mem(&signature.data, input.signature.data(), input.signature.size(), 1);
  if (error) return NotChecked(error);
  // Without a data object for the plaintext, gpg only verifies: a
  // clear-signed check file's lines are not sent back, as the verify reads
  // them itself.
  error = input.clear_signed ? gpgme_op_verify(context.ctx, check_file.data, nullptr, nullptr)
                             : gpgme_op_verify(context.ctx, signature.data, check_file.data, nullptr);
  if (source.read_error != 0) throw IoError::FromSystem(source.read_error);
  if (gpg_err_code(error) == GPG_ERR_NO_DATA) return NoSignatureIn(input.clear_signed, input.signature_path);
  if (error) return NotChecked(error);
  const gpgme_verify_result_t result = gpgme_op_verify_result(context.ctx);
  std::vector<SignatureFinding> findings;
  for (gpgme_signature_t sig = result ? result->signatures : nullptr; sig; sig = sig->next)
    findings.push_back(FindingOf(context.ctx, sig));
  if (findings.empty()) return NoSignatureIn(input.clear_signed, input.signature_path);
  return WorstOrBest(findings);
}

}  // namespace quillora
