// The main of the core's test programs. Takes --jobs=N (after GoogleTest's
// own flags) as the default number of digest threads, so one test program can
// be run both without threads and with several.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "md5/digest_ahead.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--jobs=", 7) == 0)
      quillora::DigestAhead::SetDefaultJobs(static_cast<unsigned>(std::atoi(argv[i] + 7)));
  }
  return RUN_ALL_TESTS();
}
