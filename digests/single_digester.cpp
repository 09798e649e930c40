#include "digests/single_digester.h"

#include "digests/file_digest.h"

namespace quillora {

AheadOutcome Md5Outcome(const DigestBytes& digest, int error) {
  AheadOutcome outcome;
  outcome.exists = outcome.readable = true;
  outcome.error = error;
  if (error == 0) outcome.digest = DigestToLowerHex(digest);
  return outcome;
}

AheadOutcome DigestedAlone(Stream& file, DigestSet digests) {
  if (digests == DigestSet{DigestId::kMd5}) {
    DigestBytes digest;
    const int error = DigestOfOpenFile(file, digest);
    return Md5Outcome(digest, error);
  }
  AheadOutcome outcome;
  outcome.exists = outcome.readable = true;
  outcome.error = DigestsOfOpenFile(file, digests, outcome.values);
  return outcome;
}

void SingleDigester::Run(FileSource& source) {
  OpenedFile file;
  while (source.Next(file, 1)) {
    AheadOutcome outcome = DigestedAlone(*file.stream, file.digests);
    file.stream.reset();
    source.Done(file.number, std::move(outcome));
  }
}

}  // namespace quillora
