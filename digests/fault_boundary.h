// The one place where a throw becomes a job's fault. Whatever a digest
// throws besides a file's own SystemError (which is that file's outcome),
// on any thread and any engine (out of memory, a thread that cannot start),
// every file that thread holds gets the fault as its outcome, and the job's
// thread rethrows it when it takes the first of them (AheadQueue::Outcome):
// the job ends, never the program.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <exception>
#include <vector>

#include "digests/outcome_queue.h"

namespace quillora {

// Takes number off holding: its outcome is handed in, or it went on to
// another thread, which holds it from then on.
inline void LetGoOf(std::vector<std::uint64_t>& holding, std::uint64_t number) {
  const auto at = std::find(holding.begin(), holding.end(), number);
  assert(at != holding.end());
  holding.erase(at);
}

// Runs body. Should it throw, each file in holding (claimed, not yet handed
// in; body keeps the list) gets the fault as its outcome, and holding is
// emptied.
template <class Body>
void PostingFaults(OutcomeQueue& queue, std::vector<std::uint64_t>& holding, Body&& body) {
  try {
    body();
  } catch (...) {
    const std::exception_ptr fault = std::current_exception();
    for (const std::uint64_t number : holding) {
      AheadOutcome outcome;
      outcome.fault = fault;
      queue.Post(number, std::move(outcome));
    }
    holding.clear();
  }
}

}  // namespace quillora
