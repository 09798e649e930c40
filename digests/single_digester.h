// The Digester of one file at a time, on the thread that opened it: MD5 on
// the scalar engine (when the processor has no lanes), or any other set of
// digests through the library's streaming digest, in one reading.
#pragma once

#include "digests/digester.h"
#include "md5/md5.h"

namespace quillora {

class SingleDigester final : public Digester {
 public:
  void Run(FileSource& source) override;
};

// The outcome of an open file's digests, read once on this thread.
AheadOutcome DigestedAlone(Stream& file, DigestSet digests);

// The outcome of an MD5 digest, or of its read's error (kChangedWhileRead
// among them).
AheadOutcome Md5Outcome(const DigestBytes& digest, int error);

}  // namespace quillora
