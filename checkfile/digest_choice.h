// Which digests a verify computes for the records of other tools' layouts,
// and what the computed ones say of each record.
//
// A line's digest may fit several digests (64 hexadecimal digits: SHA-256,
// SHA-512/256, SHA3-256, BLAKE2b-256, BLAKE2s-256 or SM3; 32: MD5 or
// BLAKE2b-128). All of them are computed in one read
// of the file; the one that matched is remembered for those candidates, and
// the records read after it ask for that one alone. Such a record that
// matches none of the digests asked for is read again for its other
// candidates before it may be called changed: no file that matches its
// record under a digest the line allows is called changed, and none is
// called OK that does not.
//
// Records are digested ahead, so what is remembered reaches only the records
// read after it: a verify digests the first record of such candidates at
// once (a probe), before it reads on, so that the records behind it already
// ask for one digest.
#pragma once

#include <string>
#include <vector>

#include "checkfile/check_file_reader.h"
#include "hashes/streaming_digest.h"  // DigestValues
#include "hashes/digest_table.h"

namespace quillora {

class DigestChoice {
 public:
  // Probes of one set of candidates that read a file and matched none
  // (it changed) before the records of that set stop being probed.
  static constexpr int kMaxProbes = 4;

  // Every candidate of every expected digest of record.
  static DigestSet Candidates(const CheckRecord& record);

  // The digests to compute for record: of each expected digest, its
  // candidate remembered when there is one, else all its candidates.
  DigestSet Request(const CheckRecord& record) const;

  // True when record has several candidates for a digest, none of them
  // remembered, and a probe may still tell which: the verify then digests
  // it at once with Candidates(record), and hands the digests to Probed.
  bool WantsProbe(const CheckRecord& record) const;
  void Probed(const CheckRecord& record, const DigestValues& values);

  enum class Finding {
    kMatch,       // every expected digest equals a candidate computed
    kMismatch,    // one equals none of its candidates, all of them computed
    kReadOthers,  // one equals none computed, but has candidates not computed (Others)
  };
  // Compares record with the digests computed of its file (each one asked
  // for, from one read or two), and remembers each candidate that matched.
  Finding Judge(const CheckRecord& record, const DigestValues& values);
  // The candidates of the expected digests that matched none in values,
  // and are not in values: what a second read must compute.
  static DigestSet Others(const CheckRecord& record, const DigestValues& values);

  // A record whose file could not be compared (it is lost, or could not be
  // read): only its line tells which digest it is.
  void Unsettled(const CheckRecord& record);

  // Which digests the records were, as a closing line: "These are SHA3-256
  // records.", "These are SHA-1 and SHA-256 records.", with the candidates
  // of records no file settled, and only those that none settled. Empty
  // when they were MD5 alone, or there were none.
  std::string RecordsLine() const;

  // The digest the records were calculated with, for the heading of the
  // files that could not be opened: those records were found to be
  // ("SHA-256", "MD5 and SHA-256"), else the candidates tried ("SHA-256 or
  // SHA3-256"); "MD5" when the records were Quillora's own or none.
  std::string CalculationName() const;

 private:
  struct Remembered {
    DigestSet candidates;
    DigestSet matched;  // empty, or the one member last matched
    int failed_probes = 0;
  };
  Remembered* Find(DigestSet candidates);
  const Remembered* Find(DigestSet candidates) const;
  void Remember(DigestSet candidates, DigestId matched);

  std::vector<Remembered> remembered_;  // one per set of several candidates met
  DigestSet settled_;                   // digests records were found to be
  std::vector<DigestSet> unsettled_;    // candidates of records nothing settled, each set once
};

}  // namespace quillora
