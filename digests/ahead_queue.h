// Runs a job's walk ahead of its report. Items come from a source in walk
// order; those that name a file to digest are queued on a DigestAhead as soon
// as they are met, so the workers digest them while the report is still on
// earlier items. The report pops items in order and takes each digest at the
// item's turn.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "digests/digest_ahead.h"
#include "platform/descriptor_budget.h"

namespace quillora {

template <class Item>
class AheadQueue {
 public:
  // Items read ahead of the report, to digest or not. DigestAhead bounds the
  // files queued for digests; this bounds everything else as well (folders,
  // names passed over, records of missing files), so a long run of those is
  // not read into memory at once: as many as DigestAhead's default
  // look-ahead, a few MiB of paths.
  static constexpr std::size_t kMaxItemsAhead = DigestAhead::kDefaultAhead;

  // source fills the next item and returns false at the end. digest_path
  // returns the file to digest for an item, or a request without a path for
  // none. The digests keep within the budget's files.
  AheadQueue(Env& env, unsigned jobs, const DescriptorBudget& budget, std::function<bool(Item&)> source,
             std::function<DigestRequest(const Item&)> digest_path)
      : ahead_(env, jobs, 0, budget.files()),
        source_(std::move(source)),
        digest_path_(std::move(digest_path)),
        max_items_(kMaxItemsAhead) {}

  // The next item in walk order; false at the end.
  bool Next(Item& item) {
    if (owes_outcome_) ahead_.TakeNext();  // the last item's digest went unused
    Fill();
    if (items_.empty()) return false;
    item = std::move(items_.front());
    items_.pop_front();
    owes_outcome_ = digest_path_(item).file != nullptr;
    return true;
  }

  // The outcome for the item just returned by Next (one that names a file).
  // While the digest is still running it calls idle now and then. A fault
  // posted for it (PostingFaults: out of memory on a worker, say) is
  // rethrown here, for every job alike.
  AheadOutcome Outcome(const std::function<void()>& idle = {}) {
    owes_outcome_ = false;
    return Rethrown(ahead_.TakeNext(idle));
  }

  // Digests a file ahead of every item queued and waits for it (a probe of
  // a file the items to come depend on, or a second reading): the same
  // threads and budget, and its fault rethrown here as Outcome's. May be
  // called from the source, as it fills the queue.
  AheadOutcome DigestNow(const DigestRequest& request, const std::function<void()>& idle = {}) {
    return Rethrown(ahead_.DigestNow(request, idle));
  }

 private:
  static AheadOutcome Rethrown(AheadOutcome outcome) {
    if (outcome.fault) std::rethrow_exception(outcome.fault);
    return outcome;
  }

  void Fill() {
    std::size_t unstarted = 0;
    while (items_.size() < max_items_ && ahead_.HasRoom() && !source_done_) {
      Item item;
      if (!source_(item)) {
        source_done_ = true;
        break;
      }
      if (const DigestRequest request = digest_path_(item); request.file != nullptr) {
        ahead_.Submit(request);
        // The first fill walks a whole look-ahead: the workers start on its
        // first files meanwhile.
        if (++unstarted == kStartEvery) {
          ahead_.Start();
          unstarted = 0;
        }
      }
      items_.push_back(std::move(item));
    }
    ahead_.Start();
  }

  static constexpr std::size_t kStartEvery = 256;

  DigestAhead ahead_;
  std::function<bool(Item&)> source_;
  std::function<DigestRequest(const Item&)> digest_path_;
  std::size_t max_items_;
  std::deque<Item> items_;
  bool source_done_ = false;
  bool owes_outcome_ = false;
};

}  // namespace quillora
