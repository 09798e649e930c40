#include "md5/job_threads.h"

#include <algorithm>

#include "md5/digest_ahead.h"

namespace quillora {

unsigned WindowJobThreads() { return std::max(2u, DigestAhead::DefaultJobs()); }

}  // namespace quillora
