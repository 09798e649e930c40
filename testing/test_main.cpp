// The main of the core's test programs. Takes --jobs=N (after GoogleTest's
// own flags) as the default number of digest threads, so one test program can
// be run both without threads and with several, and --engine=NAME as the
// digest engine ("scalar", "avx2", "avx512"); a program asked for an engine
// this CPU lacks runs nothing and exits with 77, which CTest counts as skipped.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "digests/digest_ahead.h"
#include "md5/md5_lanes.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--jobs=", 7) == 0)
      quillora::DigestAhead::SetDefaultJobs(static_cast<unsigned>(std::atoi(argv[i] + 7)));
    if (std::strncmp(argv[i], "--engine=", 9) == 0) {
      const auto engine = quillora::LaneEngineNamed(argv[i] + 9);
      if (!engine) {
        std::fprintf(stderr, "unknown engine %s\n", argv[i] + 9);
        return 2;
      }
      if (!quillora::ForceLaneEngine(*engine)) {
        std::printf("this CPU has no %s engine: skipped\n", argv[i] + 9);
        return 77;
      }
    }
  }
  return RUN_ALL_TESTS();
}
