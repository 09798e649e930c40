#include "digests/single_digester.h"

#include "digests/file_digest.h"

namespace quillora {

AheadOutcome DigestedAlone(Stream& file, DigestSet digests) {
  DigestValues values;
  std::uint64_t bytes = 0;
  const int error = DigestsOfOpenFile(file, digests, values, &bytes);
  return ReadOutcome(std::move(values), bytes, error);
}

AheadOutcome DigestedTwice(Env& env, const FileToOpen& file, DigestSet digests, std::unique_ptr<Stream> opened) {
  AheadOutcome first = DigestedAlone(*opened, digests);
  opened.reset();
  if (!first.digested()) return first;
  std::unique_ptr<Stream> again;
  AheadOutcome second = OpenToDigest(env, file, again);
  if (!again) return second;  // gone, or not to be read, since
  second = DigestedAlone(*again, digests);
  if (second.digested() && (second.values != first.values || second.size != first.size)) {
    second.values.clear();
    second.error = kChangedWhileRead;
  }
  return second;
}

AheadOutcome FinishedAlone(FileLanes::Rest& rest) {
  DigestValue digest;
  std::uint64_t bytes = 0;
  const DigestId family = DigestOfState(rest.state);
  const int error = FinishAlone(rest, digest, bytes);
  return ReadOutcome({{family, digest}}, bytes, error);
}

void SingleDigester::Run(FileSource& source, LaneExchange&) {
  OpenedFile file;
  while (source.Next(file, 1)) {
    AheadOutcome outcome = DigestedAlone(*file.stream, file.digests);
    file.stream.reset();
    source.Done(file.number, std::move(outcome));
  }
}

}  // namespace quillora
