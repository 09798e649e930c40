#include "digests/digest_ahead.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "digests/lane_digester.h"
#include "digests/lane_kernel.h"
#include "digests/single_digester.h"
#include "platform/descriptor_budget.h"

namespace quillora {
namespace {

std::atomic<unsigned> default_jobs{0};

unsigned Cores() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

DigestScheduler::Shape ShapeFor(unsigned jobs, std::size_t lanes) {
  DigestScheduler::Shape shape;
  shape.workers = jobs;
  shape.finishers = std::min(jobs, Cores());
  // Threads beyond jobs wait until reads wait on the disk: then more opens
  // and reads are in flight than there are cores to hash.
  shape.readers = lanes > 1 ? std::max(jobs, DigestAhead::kColdWorkers) - jobs : 0;
  return shape;
}

}  // namespace

void DigestAhead::SetDefaultJobs(unsigned jobs) { default_jobs = jobs; }

unsigned DigestAhead::DefaultJobs() {
  if (const unsigned chosen = default_jobs; chosen != 0) return chosen;
  return Cores();
}

// The most lanes of any kernel that runs now, or 1 when none does.
std::size_t WidestActiveLanes() {
  std::size_t widest = 1;
  for (const KernelInfo& kernel : AllKernels()) {
    if (ActiveKernel(kernel.digest) == &kernel) widest = std::max(widest, kernel.lanes);
  }
  return widest;
}

DigestAhead::DigestAhead(Env& env, unsigned jobs, std::size_t max_ahead, std::size_t open_files)
    : DigestAhead(env, WidestActiveLanes(), jobs != 0 ? jobs : DefaultJobs(),
                  max_ahead != 0 ? max_ahead : kDefaultAhead, open_files != 0 ? open_files : DescriptorBudget(env).files()) {}

DigestAhead::DigestAhead(Env& env, std::size_t lanes, unsigned jobs, std::size_t max_ahead, std::size_t open_files)
    : queue_(max_ahead, open_files, [this] { scheduler_.Wake(); }),
      scheduler_(env, queue_, ShapeFor(jobs, lanes),
                 [lanes](const std::atomic<bool>& stop) -> std::unique_ptr<Digester> {
                   if (lanes > 1) return std::make_unique<LaneDigester>(stop);
                   return std::make_unique<SingleDigester>();
                 }) {
  if (lanes > 1 && jobs >= 2) long_lanes_ = std::make_unique<LongLanes>(queue_, scheduler_, lanes);
  scheduler_.Start(long_lanes_.get());
}

DigestAhead::~DigestAhead() {
  queue_.Stop();
  scheduler_.Stop();     // its threads may hand files to the long lanes: they stop first
  long_lanes_.reset();   // which may hand files back: the scheduler outlives them
}

void DigestAhead::Submit(const std::string& path, DigestSet digests) {
  const FileToOpen file{path};
  queue_.Submit({&file, digests});
}

}  // namespace quillora
