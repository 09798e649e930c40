// The seam between the scheduler and the digests: the scheduler claims files
// and opens them; a Digester digests what it is handed and hands outcomes
// back. Neither the ordered queue nor the scheduler knows which digest is
// computed: MD5's SIMD lanes are one Digester (lane_digester.h), one file at
// a time through the library's streaming digest another (single_digester.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "digests/outcome_queue.h"
#include "platform/stream.h"

namespace quillora {

// A claimed file, open: what a digester is handed.
struct OpenedFile {
  std::unique_ptr<Stream> stream;
  std::uint64_t number = 0;  // in the outcome queue
  DigestSet digests;
};

// A file a digester took out of its work part way, for any thread to finish
// (an idle worker) or for a digester of its own kind to take in again.
class Unfinished {
 public:
  virtual ~Unfinished() = default;
  virtual std::uint64_t number() const = 0;
  // Digests the rest on this thread; the file is closed before it returns.
  virtual AheadOutcome Finish() = 0;
};

// What the scheduler offers the digester one thread runs.
class FileSource {
 public:
  virtual ~FileSource() = default;
  // Claims and opens the next file for the digester (wanted: how many it has
  // room for now, so claims come in batches). A file that does not open is
  // handed in at once and passed over. False when none is to be had now.
  virtual bool Next(OpenedFile& file, std::size_t wanted) = 0;
  // Hands in the outcome of a file from Next (or Adopt), closed before.
  virtual void Done(std::uint64_t number, AheadOutcome outcome) = 0;
  // Takes a file over from the digester, unfinished; Done is not called for it.
  virtual void HandOver(std::unique_ptr<Unfinished> file) = 0;
  // A file handed over, for a digester that runs `busy` files and has room:
  // null when none waits, or when taking it in would not make it cheaper.
  virtual std::unique_ptr<Unfinished> Adopt(std::size_t busy) = 0;
  // True when a thread would finish a file handed over at once, alone.
  virtual bool FinisherWaiting() = 0;
  // True while more files may come from Next than now.
  virtual bool MoreMayCome() = 0;
  // Takes a large open file to the long lanes, when they have room (Done
  // is then not called here for it).
  virtual bool ToLongLanes(OpenedFile& file) = 0;
};

class Digester {
 public:
  virtual ~Digester() = default;
  // Digests files from source until source has none and none is left here;
  // each file ends in source.Done or source.HandOver, exactly once. What a
  // digest throws passes on, with every file then held closed; the caller
  // faults the files it claimed (PostingFaults).
  virtual void Run(FileSource& source) = 0;
  // True while reads of late waited on the disk, not the cache.
  virtual bool cold() const { return false; }
  // True when it takes in files handed over (FileSource::Adopt).
  virtual bool adopts() const { return false; }
};

}  // namespace quillora
