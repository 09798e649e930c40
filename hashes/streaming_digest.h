// Digests other than this program's own MD5 engine, computed by libgcrypt:
// start, update with bytes, finish, read each digest. One object computes
// several digests over the same bytes in one pass (a line whose 64 digits
// may be SHA-256, SHA3-256, BLAKE2b-256 or BLAKE2s-256 costs one read of
// its file, not four).
//
// The library is set up once, by SetUpDigestLibrary in main, or else on
// first use, whichever thread comes first.
// Each StreamingDigest is used by one thread at a time; any number of them
// run on separate threads at once. MD5 is computed here too when asked (a
// hashdeep row holds MD5 beside SHA-256); a file of MD5 alone goes to md5/.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "hashes/digest_table.h"
#include "hashes/digest_value.h"

struct gcry_md_handle;

namespace quillora {

class StreamingDigest {
 public:
  // Starts a message for each member of `digests`, which must not be empty.
  // Throws std::runtime_error, naming the digest, when the library cannot
  // give one (too old a library, or a system that forbids it), and
  // std::bad_alloc when out of memory.
  explicit StreamingDigest(DigestSet digests);
  ~StreamingDigest();
  StreamingDigest(StreamingDigest&& other) noexcept;
  StreamingDigest& operator=(StreamingDigest&& other) noexcept;
  StreamingDigest(const StreamingDigest&) = delete;
  StreamingDigest& operator=(const StreamingDigest&) = delete;

  // Adds count bytes to every message; any count, 0 included. Not after
  // Finish until Start.
  void Update(const void* data, std::size_t count);

  // Ends the messages; Value then gives each digest.
  void Finish();

  // The digest `id` (a member of digests()) of the bytes given since the
  // last Start. Only between Finish and the next Start.
  DigestValue Value(DigestId id) const;

  // Starts over with empty messages, for the next file: cheaper than a new
  // object.
  void Start();

  DigestSet digests() const { return digests_; }

 private:
  gcry_md_handle* handle_ = nullptr;
  DigestSet digests_;
  bool finished_ = false;
};

// Sets the digest library up for the whole program. Call it first in main,
// before any file of the program is open and any thread runs: the library
// opens files as it starts, and ends the program when it cannot (no
// descriptor free), so the caller makes sure one is. Later calls do
// nothing. Raises std::runtime_error when the library is too old for the
// table's digests.
void SetUpDigestLibrary();

// Digests of one message by name, in the table's order: what a pass over a
// file gives back.
using DigestValues = std::vector<std::pair<DigestId, DigestValue>>;

// The digest `id` of `bytes`, in one call.
DigestValue DigestOfBytes(DigestId id, std::string_view bytes);

}  // namespace quillora
