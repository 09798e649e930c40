#include "digests/job_threads.h"

#include <algorithm>

#include "digests/digest_ahead.h"

namespace quillora {

unsigned WindowJobThreads() { return std::max(2u, DigestAhead::DefaultJobs()); }

}  // namespace quillora
