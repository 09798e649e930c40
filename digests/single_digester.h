// The Digester of one file at a time, on the thread that opened it: every
// request through the one-stream engines in one reading (a processor or a
// build without lanes, or the command line's --engine scalar).
#pragma once

#include <memory>

#include "digests/digester.h"
#include "platform/env.h"

namespace quillora {

class SingleDigester final : public Digester {
 public:
  void Run(FileSource& source, LaneExchange& exchange) override;
};

// The outcome of an open file's digests, read once on this thread.
AheadOutcome DigestedAlone(Stream& file, DigestSet digests);

// The outcome of a file changed a moment before its open (Stream::
// Unsettled), whose digest may hold part of two versions when a write was
// under way: it is read, then opened anew from file and read again, and the
// two readings must give the same digests, or it changed while it was read.
AheadOutcome DigestedTwice(Env& env, const FileToOpen& file, DigestSet digests, std::unique_ptr<Stream> opened);

}  // namespace quillora
