// One file's digests, computed at once rather than queued ahead: for a record
// whose candidates must be known before the records behind it are queued, or
// that must be read again for its other candidates (digest_choice.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "digests/digest_ahead.h"  // AheadOutcome
#include "hashes/digest_table.h"
#include "platform/env.h"

namespace quillora {

// The digests of the file at path, each member of digests (which holds a
// digest besides MD5) in one read, with the outcome DigestAhead would give:
// whether something is there, whether it could be read, the values or the
// error that kept them. The file is read on a thread of its own while the
// caller's thread calls idle about every 20 ms, so a window stays live on a
// large file. Whatever else the read throws comes back as the outcome's
// fault; a thread that cannot start raises std::system_error.
AheadOutcome FileDigestsNow(Env& env, const std::string& path, DigestSet digests,
                            const std::function<void()>& idle = {});

// The size of the file at path now; or -1 with error set to the system
// error number when it cannot be opened.
std::int64_t FileSizeNow(Env& env, const std::string& path, int& error);

}  // namespace quillora
