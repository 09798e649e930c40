// The seam between the scheduler and the digests: the scheduler claims files
// and opens them; a Digester digests what it is handed and hands outcomes
// back. Neither the ordered queue nor the scheduler knows which digest is
// computed: each thread's Digester routes a file by its request's digests,
// to the lanes of the one digest a kernel runs (lane_digester.h), or through
// the one-stream engines in one reading (single_digester.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "digests/file_lanes.h"
#include "digests/outcome_queue.h"
#include "platform/stream.h"

namespace quillora {

// A claimed file, open: what a digester is handed.
struct OpenedFile {
  std::unique_ptr<Stream> stream;
  std::uint64_t number = 0;  // in the outcome queue
  DigestSet digests;
};

// Where a thread's digester gets files and hands their outcomes in.
class FileSource {
 public:
  virtual ~FileSource() = default;
  // Claims and opens the next file for the digester (wanted: how many it has
  // room for now, so claims come in batches). A file that does not open is
  // handed in at once and passed over. False when none is to be had now.
  virtual bool Next(OpenedFile& file, std::size_t wanted) = 0;
  // Hands in the outcome of a file from Next (or adopted), closed before.
  virtual void Done(std::uint64_t number, AheadOutcome outcome) = 0;
};

// How files move between the lanes of several threads part way (see
// FileLanes::Feed::Sharing): what the scheduler offers a worker's lanes, and
// the long lanes' own.
class LaneExchange {
 public:
  virtual ~LaneExchange() = default;
  // Takes a file over from a lane, unfinished (its outcome is then handed in
  // elsewhere).
  virtual void HandOver(FileLanes::Rest&& rest) = 0;
  // A file handed over of family, for lanes that run `busy` files and have
  // room: false when none waits, or when taking it in would not make it
  // cheaper.
  virtual bool Adopt(FileLanes::Rest& rest, DigestId family, std::size_t busy) = 0;
  // True when a thread would finish a file handed over at once, alone.
  virtual bool FinisherWaiting() = 0;
  // True while more files may come than now.
  virtual bool MoreMayCome() = 0;
  // Takes a large open file to the long lanes, when they have room (its
  // outcome is then handed in there).
  virtual bool ToLongLanes(OpenedFile& file) = 0;
  // Whether these are the long lanes' own (kLongLanes sharing), or a
  // worker's (kWorker).
  virtual FileLanes::Feed::Sharing sharing() const = 0;
};

class Digester {
 public:
  virtual ~Digester() = default;
  // Digests files from source until source has none and none is left here;
  // each file ends in source.Done or goes to the exchange, exactly once. What
  // a digest throws passes on, with every file then held closed; the caller
  // faults the files it claimed (PostingFaults).
  virtual void Run(FileSource& source, LaneExchange& exchange) = 0;
  // True while reads of late waited on the disk, not the cache.
  virtual bool cold() const { return false; }
  // True when it takes in files handed over (LaneExchange::Adopt).
  virtual bool adopts() const { return false; }
};

// The outcome of a file given away by lanes, digested the rest of the way on
// this thread (FinishAlone); it is closed before it returns.
AheadOutcome FinishedAlone(FileLanes::Rest& rest);

}  // namespace quillora
