#include "hashes/streaming_digest.h"

#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include <gcrypt.h>

namespace quillora {
namespace {

// The oldest libgcrypt with every digest of the table (SHA-512/224 and /256, SM3).
constexpr const char* kOldestLibrary = "1.9.0";

}  // namespace

// Sets the library up once, as its manual asks of the program that uses it.
// No secret ever passes through a digest here, so no secure memory is
// wanted (it would lock pages and warn without the privilege to). A thread
// that comes while another sets it up waits for it (a function-local static).
void SetUpDigestLibrary() {
  static const bool ready = [] {
    if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) == 0) {
      if (gcry_check_version(kOldestLibrary) == nullptr) {
        throw std::runtime_error(std::string("libgcrypt ") + kOldestLibrary + " or newer is needed, this is " +
                                 gcry_check_version(nullptr));
      }
      gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
      gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
    return true;
  }();
  (void)ready;
}

namespace {

[[noreturn]] void Fail(gcry_error_t error, std::string_view what) {
  if (gcry_err_code(error) == GPG_ERR_ENOMEM) throw std::bad_alloc();
  throw std::runtime_error(std::string(what) + ": " + gcry_strerror(error));
}

}  // namespace

StreamingDigest::StreamingDigest(DigestSet digests) : digests_(digests) {
  assert(!digests.empty());
  for (DigestId id : digests) {
    if (IsOwnDigest(id)) {
      own_.push_back({id, StartOwn(id), {}});
      continue;
    }
    if (handle_ == nullptr) {
      SetUpDigestLibrary();
      gcry_md_hd_t handle = nullptr;
      if (const gcry_error_t error = gcry_md_open(&handle, 0, 0); error != 0) Fail(error, "digest");
      handle_ = handle;
    }
    if (const gcry_error_t error = gcry_md_enable(handle_, InfoOf(id).library_algorithm); error != 0) {
      gcry_md_close(std::exchange(handle_, nullptr));
      Fail(error, InfoOf(id).name);
    }
  }
}

StreamingDigest::~StreamingDigest() {
  if (handle_ != nullptr) gcry_md_close(handle_);
}

StreamingDigest::StreamingDigest(StreamingDigest&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      own_(std::move(other.own_)),
      digests_(other.digests_),
      finished_(other.finished_) {}

StreamingDigest& StreamingDigest::operator=(StreamingDigest&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) gcry_md_close(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    own_ = std::move(other.own_);
    digests_ = other.digests_;
    finished_ = other.finished_;
  }
  return *this;
}

void StreamingDigest::Update(const void* data, std::size_t count) {
  assert(!finished_ && !digests_.empty());
  if (handle_ != nullptr) gcry_md_write(handle_, data, count);
  for (Own& own : own_) FeedOwn(own.state, data, count);
}

void StreamingDigest::Finish() {
  assert(!finished_ && !digests_.empty());
  if (handle_ != nullptr) gcry_md_final(handle_);
  for (Own& own : own_) own.value = FinishOwn(own.state);
  finished_ = true;
}

DigestValue StreamingDigest::Value(DigestId id) const {
  assert(finished_ && digests_.contains(id));
  for (const Own& own : own_) {
    if (own.id == id) return own.value;
  }
  const DigestInfo& info = InfoOf(id);
  DigestValue value;
  value.size = info.size;
  std::memcpy(value.bytes.data(), gcry_md_read(handle_, info.library_algorithm), info.size);
  return value;
}

void StreamingDigest::Start() {
  assert(!digests_.empty());
  if (handle_ != nullptr) gcry_md_reset(handle_);
  for (Own& own : own_) own.state = StartOwn(own.id);
  finished_ = false;
}

DigestValue DigestOfBytes(DigestId id, std::string_view bytes) {
  StreamingDigest digest(DigestSet{id});
  digest.Update(bytes.data(), bytes.size());
  digest.Finish();
  return digest.Value(id);
}

}  // namespace quillora
