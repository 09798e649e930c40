// The digests this program computes with engines of its own (md5/, and each
// other family folder beside it), as one value: the running state of one
// message, whichever family's. A stream of bytes digested by several digests
// holds one per own digest (streaming_digest.h); a message a lane kernel
// hashed part way becomes one when a thread takes it over, goes on from the
// lane's words, and finishes exactly as the one-stream engine would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "hashes/digest_table.h"
#include "hashes/digest_value.h"
#include "blake2b/blake2b.h"
#include "md5/md5.h"
#include "sha256/sha256.h"

namespace quillora {

// One message's running state on its family's one-stream engine.
using OwnState = std::variant<DigestState, Sha256State, Blake2bState>;

// Whether an engine of this program's own computes id.
bool IsOwnDigest(DigestId id);

// The state of an empty message of digest id (IsOwnDigest).
OwnState StartOwn(DigestId id);

// Which digest a state is of.
DigestId DigestOfState(const OwnState& state);

// Adds count bytes to the message; any count, 0 included.
void FeedOwn(OwnState& state, const void* data, std::size_t count);

// The bytes fed so far, and those of them not yet compressed (held in the
// state: past the last whole block; BLAKE2b holds back up to a whole block):
// what a lane takes back with the words.
std::uint64_t OwnFed(const OwnState& state);
std::span<const std::uint8_t> OwnCarried(const OwnState& state);

// Pads, ends the message and gives its digest; the state is wiped and must
// be started again before reuse.
DigestValue FinishOwn(OwnState& state);

}  // namespace quillora
