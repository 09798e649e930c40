// The main of the core's test programs. Takes --jobs=N (after GoogleTest's
// own flags) as the default number of digest threads, so one test program can
// be run both without threads and with several, and --engine=NAME as the
// lane kernel every digest that has it runs ("scalar": none, "avx2",
// "avx512", ...: digests/lane_kernel.h); a program asked for a kernel this
// CPU lacks runs nothing and exits with 77, which CTest counts as skipped.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "digests/digest_ahead.h"
#include "digests/lane_kernel.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--jobs=", 7) == 0)
      quillora::DigestAhead::SetDefaultJobs(static_cast<unsigned>(std::atoi(argv[i] + 7)));
    if (std::strncmp(argv[i], "--engine=", 9) == 0) {
      const std::string_view engine = argv[i] + 9;
      const auto names = quillora::KernelNames();
      if (std::find(names.begin(), names.end(), engine) == names.end()) {
        std::fprintf(stderr, "unknown engine %s\n", argv[i] + 9);
        return 2;
      }
      if (!quillora::ForceKernel(engine)) {
        std::printf("this CPU has no %s engine: skipped\n", argv[i] + 9);
        return 77;
      }
    }
  }
  return RUN_ALL_TESTS();
}
