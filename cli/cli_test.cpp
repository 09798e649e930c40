// quillora-cli end to end: the real binary, real files, its output and its
// exit status.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "md5/md5.h"
#include "md5/md5_lanes.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

struct CliRun {
  int status = -1;
  std::string out, err;
};

// Runs quillora-cli with args in folder cwd (or ours), capturing both outputs
// through files in capture_folder.
CliRun RunCli(const std::vector<std::string>& args, const std::string& capture_folder, const std::string& cwd = "") {
  const std::string out_path = capture_folder + "/stdout", err_path = capture_folder + "/stderr";
  const pid_t child = ::fork();
  if (child == 0) {
    ::unlink(out_path.c_str());  // may be another user's from an earlier run
    ::unlink(err_path.c_str());
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv{const_cast<char*>(QUILLORA_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(QUILLORA_CLI_PATH, argv.data());
    ::_exit(127);
  }
  CliRun run;
  int status = 0;
  if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = testing::ReadFile(out_path);
  run.err = testing::ReadFile(err_path);
  return run;
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() : capture(tree.Folder("capture")), data(tree.Folder("data")) { ::chmod(capture.c_str(), 0777); }
  CliRun Cli(const std::vector<std::string>& args, const std::string& cwd = "") { return RunCli(args, capture, cwd); }

  TempTree tree;
  const std::string capture, data;
};

std::string Hex(std::string_view bytes) { return LowerAscii(DigestToHex(DigestOfText(bytes))); }

TEST_F(CliTest, HashPrintsSavedListLines) {
  const std::string file = tree.Write("data/a.txt", "abc");
  tree.Write("data/CheckSum.md5", "passed over");
  CliRun run = Cli({"hash", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, file + "     " + Hex("abc") + "\n");

  run = Cli({"hash", data});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, file + "     " + Hex("abc") + "\n") << "a folder scan passes CheckSum.md5 over";

  run = Cli({"hash", tree.At("missing")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, tree.At("missing") + "     Could not open file\n");

  EXPECT_EQ(Cli({"hash"}).status, 2);
}

TEST_F(CliTest, MakeThenVerify) {
  tree.Write("data/a.txt", "a");
  tree.Write("data/sub/b.txt", "b");
  CliRun run = Cli({"make", data});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Processing folder \"" + data + "/sub\" ...\nProcessing file \"b.txt\" ... OK\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("\nOperation completed.\nThe MD5 checksum file is save at \"" + data +
                                "/CheckSum.md5\"\n"))
      << run.out;

  run = Cli({"verify", data + "/CheckSum.md5"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.ends_with("\nOperation completes.\n2 files were verified. 0 file changed. \n")) << run.out;

  run = Cli({"verify", "CheckSum.md5"}, data);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("OK ... \"./sub/b.txt\"\n"), std::string::npos) << run.out;

  tree.Write("data/a.txt", "changed");
  run = Cli({"verify", data + "/CheckSum.md5"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("File changed ... \"" + data + "/a.txt\"\n"), std::string::npos) << run.out;

  run = Cli({"make", "--no-subfolders", data});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find("Processing folder"), std::string::npos);
  EXPECT_EQ(testing::ReadFile(data + "/CheckSum.md5").find("b.txt"), std::string::npos);
}

TEST_F(CliTest, InputErrorsExitWithTwo) {
  const std::string file = tree.Write("data/file", "");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"make", " \t"}, "Please select or drag-and-drop a folder firstly.\n"},
      {{"make", tree.At("none")}, "The folder does not exist.\n"},
      {{"make", file}, "The folder does not exist.\n"},
      {{"verify", " "}, "Please select or drag-and-drop a check file firstly.\n"},
      {{"verify", tree.At("none.md5")}, "The check file does not exist.\n"},
      {{"verify", data}, "The check file does not exist.\n"},
  };
  for (const auto& [args, message] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_EQ(run.err, message);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(Cli({"make"}).status, 2);
  EXPECT_EQ(Cli({"verify", "a", "b"}).status, 2);
  EXPECT_EQ(Cli({"frobnicate"}).status, 2);
}

TEST_F(CliTest, EveryEngineWritesTheSameCheckFile) {
  for (int i = 0; i < 60; ++i) tree.Write("data/f" + std::to_string(i), testing::RandomBytes(i * 997 % 70'000, i));
  const CliRun scalar = Cli({"--engine", "scalar", "make", data});
  ASSERT_EQ(scalar.status, 0) << scalar.err;
  // The records, after the header's comment lines and their time stamp.
  const auto records = [&] {
    const std::string text = testing::ReadFile(data + "/CheckSum.md5");
    return text.substr(text.find("\r\n\r\n"));
  };
  const std::string expected = records();
  EXPECT_EQ(std::count(expected.begin(), expected.end(), '\t'), 60);
  for (LaneEngine engine : {LaneEngine::kAvx2, LaneEngine::kAvx512}) {
    if (!LaneEngineSupported(engine)) continue;
    const CliRun run = Cli({"--jobs=3", "--engine=" + std::string(LaneEngineName(engine)), "make", data});
    EXPECT_EQ(run.out, scalar.out) << LaneEngineName(engine);
    EXPECT_EQ(records(), expected) << LaneEngineName(engine);
  }
  EXPECT_EQ(Cli({"--engine", "sse", "make", data}).err, "quillora-cli: --engine takes scalar, avx2 or avx512\n");
  EXPECT_EQ(Cli({"make", data, "--engine"}).status, 2);
}

TEST_F(CliTest, FailuresOfTheErrorReportExitWithThree) {
  tree.Write("data/a.txt", "a");
  const std::string old = tree.Write("data/CheckSum.md5", "old");
  ::chmod(old.c_str(), 0444);
  CliRun run = Cli({"make", data});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "File access denied.\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(testing::ReadFile(old), "old");

  ::chmod(old.c_str(), 0);
  const std::string check_file = old;
  const std::string folder = capture;
  ASSERT_EQ(testing::RunUnprivileged([&] {
              const CliRun unprivileged = RunCli({"verify", check_file}, folder);
              return unprivileged.status == 3 && unprivileged.err == "File access denied.\n" ? 0 : 1;
            }),
            0);
}

TEST_F(CliTest, HelpNamesEveryCommand) {
  const CliRun run = Cli({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* word : {"hash PATH", "make [--no-subfolders] FOLDER", "verify CHECKFILE"})
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace quillora
