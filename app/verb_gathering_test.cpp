// One window gathers the paths of the programs Explorer starts for one verb.
#include "app/verb_gathering.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quillora {
namespace {

using Lists = std::vector<std::vector<std::string>>;

TEST(VerbGathering, TheFirstProgramGathersWhatTheOthersHandOverUntilItEnds) {
  Lists taken;
  const auto take = [&taken](std::vector<std::string> paths) { taken.push_back(std::move(paths)); };
  std::unique_ptr<VerbGathering> first = VerbGathering::GatherOrHandOver({"C:\\a"}, take);
  ASSERT_TRUE(first);
  std::unique_ptr<VerbGathering> second = VerbGathering::GatherOrHandOver({"C:\\b", "C:\\\xCE\xA9 c"}, take);
#ifdef _WIN32
  EXPECT_FALSE(second) << "handed over";
  EXPECT_EQ(taken, (Lists{{"C:\\b", "C:\\\xCE\xA9 c"}}));
  first.reset();
  EXPECT_TRUE(VerbGathering::GatherOrHandOver({"C:\\d"}, take)) << "no one left to gather";
  EXPECT_EQ(taken.size(), 1u);
#else
  EXPECT_TRUE(second) << "the file managers here pass every path at once";
  EXPECT_TRUE(taken.empty());
#endif
}

}  // namespace
}  // namespace quillora
