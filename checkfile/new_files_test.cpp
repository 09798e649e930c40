#include "checkfile/new_files.h"

#include <cerrno>
#include <set>

#include <gtest/gtest.h>

#include "checkfile/check_file_format.h"
#include "checkfile/maker.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/recording_sink.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::RecordingSink;
using testing::TempTree;

// "path" for a new file, "path: reason" for what could not be looked at.
std::set<std::string> Find(Env& env, const std::string& check_file) {
  NewFileFinder finder(env, check_file);
  RecordingSink verdicts;
  VerifyCheckFile(env, check_file, verdicts, 0, {.watcher = &finder});
  std::set<std::string> found;
  for (const NewFileFinding& finding : finder.Finish())
    found.insert(finding.is_new() ? finding.path : finding.path + ": " + finding.reason);
  return found;
}

TEST(NewFileFinder, FindsWhatAMakeWouldRecordAndNamesWhatItCouldNotLookAt) {
  SKIP_WITHOUT_POSIX("links, a FIFO, a name with a backslash and the path limit");
  TempTree tree;
  tree.Write("data/recorded.txt", "r");
  tree.Write("data/sub/recorded.txt", "r");
  const std::string check_file = tree.Write(
      "data/CheckSum.md5", CheckFileRecordLine(std::string(32, '0'), "recorded.txt") +
                          CheckFileRecordLine(std::string(32, '0'), "sub\\recorded.txt"));
  tree.Write("data/sub/new.txt", "n");
  tree.Write("data/sub/CheckSum.md5", "another check file");
  tree.Write("data/.CheckSum.md5.tmp-0a1b2c", "a killed make's");
  tree.Write("outside/x.txt", "x");
  ASSERT_EQ(::symlink("../../outside", tree.At("data/sub/link").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", tree.At("data/dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(tree.At("data/fifo").c_str(), 0644), 0);
  tree.Write("data/back\\slash.txt", "cannot be recorded");
  tree.Write("data/closed/hidden.txt", "h");
  const std::string deep = testing::FolderPastThePathLimit(tree.Folder("data/deep"));

  testing::FaultEnv env;
  env.lookup_errors[tree.At("data/closed")] = EACCES;
  const std::set<std::string> left_out = {
      tree.At("data/dangling") + ": " + SystemErrorMessage(ENOENT),
      tree.At("data/fifo") + ": Not a regular file",
      tree.At("data/back\\slash.txt") + ": Name cannot be recorded",
      tree.At("data/closed") + ": " + SystemErrorMessage(EACCES),
      deep + ": " + SystemErrorMessage(ENAMETOOLONG),
  };
  std::set<std::string> expected = left_out;
  expected.insert(tree.At("data/sub/new.txt"));
  EXPECT_EQ(Find(env, check_file), expected);

  // A make leaves out the very same things, and records the new file.
  RecordingSink made;
  MakeCheckFile(env, tree.At("data"), true, made);
  EXPECT_EQ(std::set<std::string>(made.left_out.begin(), made.left_out.end()), left_out);
  EXPECT_EQ(Find(env, check_file), left_out) << "nothing is new right after a make";

  // The check file's own folder that cannot be listed.
  env.lookup_errors[tree.At("data")] = EACCES;
  EXPECT_EQ(Find(env, check_file), std::set<std::string>{tree.At("data") + ": " + SystemErrorMessage(EACCES)});
}

// A sums file is of its records' digest: new files are what a make of that
// digest would record, which passes over that digest's check files and the
// temporary files a killed make leaves, not another digest's.
TEST(NewFileFinder, ASumsFilePassesOverTheCheckFilesOfItsOwnDigest) {
  TempTree tree;
  tree.Write("data/a.txt", "a");
  const std::string sums = tree.Write("data/sums", std::string(64, '0') + "  a.txt\n");
  tree.Write("data/sub/SHA256SUMS", "another check file");
  tree.Write("data/" + ReplacingTempPrefix("SHA256SUMS") + "0a1b2c", "a killed make's");
  tree.Write("data/sub/MD5SUMS", "a file like any other here");
  EXPECT_EQ(Find(Env::Default(), sums), std::set<std::string>{tree.At("data/sub/MD5SUMS")});
}

}  // namespace
}  // namespace quillora
