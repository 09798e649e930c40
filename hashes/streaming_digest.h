// Every digest of the table over a stream of bytes: start, update with
// bytes, finish, read each digest. The digests of this program's own engines
// (MD5, SHA-256, BLAKE2b at every length: own_state.h) are computed by them;
// every other digest by libgcrypt. One object computes several digests over
// the same bytes in one pass (a line whose 64 digits may be SHA-256,
// SHA-512/256, SHA3-256, BLAKE2b-256, BLAKE2s-256 or SM3 costs one read of
// its file, not six), each own digest in a state of its own.
//
// Each StreamingDigest is used by one thread at a time; any number of them
// run on separate threads at once. libgcrypt is set up once, by
// SetUpDigestLibrary in main, or else on its first use, whichever thread
// comes first.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "hashes/digest_table.h"
#include "hashes/own_state.h"
#include "hashes/digest_value.h"

struct gcry_md_handle;

namespace quillora {

class StreamingDigest {
 public:
  // Starts a message for each member of `digests`, which must not be empty.
  // Throws std::runtime_error, naming the digest, when libgcrypt cannot give
  // one (too old a library, or a system that forbids it), and
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
  // One own digest asked for: its state, and its digest once finished.
  struct Own {
    DigestId id;
    OwnState state;
    DigestValue value;
  };

  gcry_md_handle* handle_ = nullptr;  // libgcrypt's digests; none when every one is this program's own
  std::vector<Own> own_;              // in the table's order
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
