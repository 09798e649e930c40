// quillora-cli against faults the system does not make on demand, on real
// trees of a few thousand files: a listing that breaks half way, an open, an
// fdopendir or an fstatat that fails (testing/syscall_shim.c, preloaded), too
// few descriptors and too little memory (the child's limits). A fault of the
// system fails the job (exit 3) and a make keeps the old check file byte for
// byte; what a file or folder is (no permission, gone) still only leaves it
// out (exit 1). Run alone: ctest --test-dir build -L faults.
#ifdef __linux__
#include <unistd.h>  // environ
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "digests/lane_kernel.h"
#include "testing/child_process.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

#ifndef __linux__
TEST(CliFaultsTest, NeedsLinux) { GTEST_SKIP() << "Linux only: a preloaded library fails the program's calls"; }
#else

const std::string kCli = QUILLORA_CLI_PATH;

using CliRun = testing::ChildRun;

// What a run is put through: the shim's faults ("SHIM_OPEN=24:2:data", see
// syscall_shim.c) and limits on its descriptors and its address space (0:
// none of ours; testing::ChildSetup).
struct Conditions {
  std::vector<std::string> faults;
  rlim_t files = 0, memory = 0;
};

std::string ListingFails(int error, int after, const std::string& folder) {
  return "SHIM_READDIR=" + std::to_string(error) + ":" + std::to_string(after) + ":" + folder;
}
std::string OpenFails(int error, int on_call, const std::string& path) {
  return "SHIM_OPEN=" + std::to_string(error) + ":" + std::to_string(on_call) + ":" + path;
}
std::string FdopendirFails(int error, const std::string& folder) {
  return "SHIM_FDOPENDIR=" + std::to_string(error) + ":" + folder;
}
std::string FstatatFails(int error, const std::string& name) {
  return "SHIM_FSTATAT=" + std::to_string(error) + ":" + name;
}
std::string ThreadFails(int error, int on_call) {
  return "SHIM_THREAD=" + std::to_string(error) + ":" + std::to_string(on_call);
}
std::string ReadsEnd(std::size_t at, const std::string& name) {
  return "SHIM_READ_ENDS=" + std::to_string(at) + ":" + name;
}

// A long output's first lines and its length: enough to see what went wrong.
std::string Head(const std::string& text) {
  std::size_t end = 0;
  for (int line = 0; line < 4 && end < text.size(); ++line) end = std::min(text.find('\n', end), text.size()) + 1;
  return "(" + std::to_string(std::count(text.begin(), text.end(), '\n')) + " lines) " + text.substr(0, end);
}

// The first line where two long outputs part.
std::string FirstDifference(const std::string& got, const std::string& expected) {
  std::istringstream a(got), b(expected);
  std::string line_a, line_b;
  for (int line = 1;; ++line) {
    const bool more_a = static_cast<bool>(std::getline(a, line_a)), more_b = static_cast<bool>(std::getline(b, line_b));
    if (!more_a && !more_b) return "the same";
    if (!more_a || !more_b || line_a != line_b)
      return "line " + std::to_string(line) + ": \"" + (more_a ? line_a : "<end>") + "\" where \"" +
             (more_b ? line_b : "<end>") + "\" was expected";
  }
}

// A check file's records, without the comment lines above them (their date).
std::string Records(const std::string& check_file_text) {
  const std::size_t start = check_file_text.find("\r\n\r\n");
  return start == std::string::npos ? check_file_text : check_file_text.substr(start + 4);
}

// A folder of the tree with its check file as a make left it before the
// folder's last file came (old), and the records a complete make writes now.
struct Folder {
  std::string path, check_file, old, records;
};

// A fault of the system at a call of the program's (in Conditions::faults).
struct SystemFault {
  std::vector<std::string> args;
  std::string fault, named;  // the path standard error must name with the fault's error
  int error;
  bool may_succeed = false;  // the call that fails may be one the program can do without
};

class CliFaultsTest : public ::testing::Test {
 protected:
  CliFaultsTest() : capture(tree.Folder("capture")), home(tree.Folder("home")), log(tree.At("shim.log")) {}

  CliRun Cli(const std::vector<std::string>& args, const Conditions& conditions = {}) {
    std::vector<std::string> environment{"HOME=" + home};
    for (char** e = environ; *e != nullptr; ++e)
      if (!std::string_view(*e).starts_with("HOME=") && !std::string_view(*e).starts_with("LD_PRELOAD="))
        environment.push_back(*e);
    if (!conditions.faults.empty()) {
      environment.push_back("LD_PRELOAD=" QUILLORA_SHIM_PATH);
      environment.push_back("SHIM_LOG=" + log);
      environment.insert(environment.end(), conditions.faults.begin(), conditions.faults.end());
    }
    std::filesystem::remove(log);
    return testing::RunChild(kCli, args, capture,
                             {.environment = &environment, .open_files = conditions.files, .memory = conditions.memory});
  }

  // What the shim's faults did in the last run, one line each.
  std::string Fired() { return std::filesystem::exists(log) ? testing::ReadFile(log) : ""; }

  // Makes a folder's check file, then adds its last file and keeps the
  // records a complete make writes; leaves the old check file in place.
  Folder Prepare(const std::string& path) {
    Folder folder{path, path + "/CheckSum.md5", "", ""};
    EXPECT_EQ(Cli({"make", path}).status, 0);
    folder.old = testing::ReadFile(folder.check_file);
    tree.Write(std::filesystem::relative(path, tree.path()).string() + "/late.txt", "came after the old make");
    EXPECT_EQ(Cli({"make", path}).status, 0);
    folder.records = Records(testing::ReadFile(folder.check_file));
    PutBack(folder);
    return folder;
  }
  // 500 small files at the top and 200 in each of seven folders and in
  // s3/deep, and a link to a folder (never entered, so passed over).
  Folder SmallFiles() {
    for (int i = 0; i < 500; ++i) tree.Write("small/t" + std::to_string(i), testing::RandomBytes(i * 7 % 3000, i));
    for (const std::string folder : {"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s3/deep"})
      for (int i = 0; i < 200; ++i) tree.Write("small/" + folder + "/x" + std::to_string(i), testing::RandomBytes(i % 700, i));
    EXPECT_EQ(::symlink("../s1", tree.At("small/s2/link-to-s1").c_str()), 0);
    return Prepare(tree.At("small"));
  }
  // Three files of 10 to 20 MiB among 200 small ones: the long lanes and a
  // large file's reading thread.
  Folder LargeFiles() {
    for (int i = 0; i < 3; ++i) tree.Write("large/big" + std::to_string(i), testing::RandomBytes((10 + 5 * i) << 20, i));
    for (int i = 0; i < 200; ++i) tree.Write("large/f" + std::to_string(i), testing::RandomBytes(i * 13, i));
    return Prepare(tree.At("large"));
  }

  // Puts the old check file back (a failed make leaves no temporary file:
  // ExpectNoTemporaryFile).
  void PutBack(const Folder& folder) {
    tree.Write(std::filesystem::relative(folder.check_file, tree.path()).string(), folder.old);
  }
  // How many records the check file holds now, against a complete one.
  std::string Now(const Folder& folder) {
    const std::string now = Records(testing::ReadFile(folder.check_file));
    return std::to_string(std::count(now.begin(), now.end(), '\t')) + " of " +
           std::to_string(std::count(folder.records.begin(), folder.records.end(), '\t')) + " records, " +
           FirstDifference(now, folder.records);
  }
  void ExpectEachFailsTheJob(const Folder& folder, const std::vector<SystemFault>& cases);
  // A make left no temporary file behind.
  void ExpectNoTemporaryFile(const Folder& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder.path))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".CheckSum.md5.tmp-")) << entry.path();
  }

  testing::TempTree tree;
  const std::string capture, home, log;
};

// Each run fails its job: exit 3, the folder or entry named with the
// system's reason, and a make keeps the old check file and no temporary one.
void CliFaultsTest::ExpectEachFailsTheJob(const Folder& folder, const std::vector<SystemFault>& cases) {
  for (const SystemFault& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " with " + c.fault);
    PutBack(folder);
    const CliRun run = Cli(c.args, {{c.fault}});
    ExpectNoTemporaryFile(folder);
    if (c.may_succeed && run.status == 0) {
      EXPECT_TRUE(Records(testing::ReadFile(folder.check_file)) == folder.records) << "done, but " << Now(folder);
      continue;
    }
    ASSERT_FALSE(Fired().empty()) << "the fault was never met: the test needs another way in";
    EXPECT_EQ(run.status, 3) << "stdout ends " << run.out.substr(run.out.size() - std::min<std::size_t>(run.out.size(), 120));
    EXPECT_NE(run.err.find(c.named + ": " + std::strerror(c.error)), std::string::npos) << "stderr " << Head(run.err);
    EXPECT_TRUE(testing::ReadFile(folder.check_file) == folder.old) << "the old check file is not kept: " << Now(folder);
  }
}

// A fault of the system fails the job wherever it is met: a listing that
// breaks half way (its end is only what the system calls its end), a
// subfolder that cannot be opened or listed, a link whose target cannot be
// looked at (named with that error, not as the folder it leads to). The
// make's second and third opens of its folder (for its unnamed new check
// file, then to list it) may fail too, but never shorten the check file.
TEST_F(CliFaultsTest, ASystemFaultFailsTheJobAndKeepsTheOldCheckFile) {
  const Folder small = SmallFiles();
  const std::string deep = small.path + "/s3/deep", s5 = small.path + "/s5", link = small.path + "/s2/link-to-s1";
  std::vector<SystemFault> cases = {
      {{"make", small.path}, OpenFails(EMFILE, 2, "small"), small.check_file, EMFILE, true},
      {{"make", small.path}, OpenFails(EMFILE, 3, "small"), small.path, EMFILE, true},
      {{"make", small.path}, FdopendirFails(EIO, "s5"), s5, EIO},
  };
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"make", small.path}, {"hash", small.path}, {"verify", "--new", small.check_file}}) {
    cases.push_back({args, ListingFails(EIO, 300, "small"), small.path, EIO});
    cases.push_back({args, ListingFails(EIO, 100, "s3/deep"), deep, EIO});
    if (args[0] == "verify") continue;
    cases.push_back({args, OpenFails(EMFILE, 0, "s5"), s5, EMFILE});
    cases.push_back({args, FstatatFails(EIO, "link-to-s1"), link, EIO});
  }
  ExpectEachFailsTheJob(small, cases);
}

// What a file or folder is stays the user's finding: named, left out, the
// check file written without it, exit 1.
TEST_F(CliFaultsTest, WhatAFileOrFolderIsOnlyLeavesItOut) {
  const Folder small = SmallFiles();
  const struct {
    std::string fault, left_out;  // relative, as recorded
    int error;
  } cases[] = {
      {OpenFails(EACCES, 0, "s6"), "s6", EACCES},
      {OpenFails(EACCES, 0, "t5"), "t5", EACCES},
      {OpenFails(ENOENT, 0, "t6"), "t6", ENOENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    PutBack(small);
    const CliRun run = Cli({"make", small.path}, {{c.fault}});
    ASSERT_FALSE(Fired().empty()) << "the fault was never met";
    EXPECT_EQ(run.status, 1) << Head(run.err);
    EXPECT_NE(run.err.find(small.path + "/" + c.left_out + ": " + std::strerror(c.error)), std::string::npos)
        << Head(run.err);
    std::istringstream records(small.records);
    std::string expected;
    for (std::string line; std::getline(records, line);) {
      const std::string path = line.substr(line.find('\t') + 1);
      if (path != c.left_out + "\r" && !path.starts_with(c.left_out + "\\")) expected += line + "\n";
    }
    const std::string written = Records(testing::ReadFile(small.check_file));
    EXPECT_TRUE(written == expected) << FirstDifference(written, expected);
  }
}

// What the process may open bounds how much is open at once, never
// which files are read.
TEST_F(CliFaultsTest, TooFewDescriptorsChangeNoRecordVerdictOrLine) {
  for (const Folder& folder : {SmallFiles(), LargeFiles()}) {
    const std::vector<std::vector<std::string>> commands = {
        {"make", folder.path}, {"verify", folder.check_file}, {"hash", folder.path}};
    ASSERT_EQ(Cli(commands[0]).status, 0);
    Folder complete = folder;  // each run starts from the complete check file
    complete.old = testing::ReadFile(folder.check_file);
    std::vector<std::string> expected;
    for (const auto& args : commands) expected.push_back(Cli(args).out);
    for (const std::string_view engine_name : KernelNames()) {
      if (!KernelSupported(engine_name)) continue;
      const std::string engine(engine_name);
      for (const std::string jobs : {"1", "8"}) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
          std::vector<std::string> args{"--engine", engine, "-j", jobs};
          args.insert(args.end(), commands[i].begin(), commands[i].end());
          SCOPED_TRACE(::testing::PrintToString(args) + " at ulimit -n 16");
          PutBack(complete);
          const CliRun run = Cli(args, {.faults = {}, .files = 16});
          EXPECT_EQ(run.status, 0);
          EXPECT_TRUE(run.err.empty()) << Head(run.err);
          EXPECT_TRUE(run.out == expected[i]) << FirstDifference(run.out, expected[i]);
          if (i == 0) {
            EXPECT_TRUE(Records(testing::ReadFile(folder.check_file)) == folder.records) << Now(folder);
          }
        }
      }
    }
  }
}

// A job that runs out of memory, or cannot start a thread, fails
// cleanly wherever it happens: no abort, and a make leaves the old file or a
// complete new one. The limits run from too little for a job's buffers and
// threads' stacks to enough for a one-thread run.
TEST_F(CliFaultsTest, OutOfMemoryIsACleanFailure) {
  const Folder large = LargeFiles();
  for (const rlim_t megabytes : {24, 48, 96, 160}) {
    for (const std::string jobs : {"1", "8"}) {
      for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
               {"make", large.path}, {"verify", large.check_file}, {"verify", "--new", large.check_file},
               {"hash", large.path}}) {
        std::vector<std::string> args{"-j", jobs};
        args.insert(args.end(), command.begin(), command.end());
        SCOPED_TRACE(::testing::PrintToString(args) + " at ulimit -v " + std::to_string(megabytes << 10));
        PutBack(large);
        const CliRun run = Cli(args, {.faults = {}, .memory = megabytes << 20});
        EXPECT_TRUE(run.status == 0 || run.status == 1 || run.status == 3) << run.status << " " << Head(run.err);
        EXPECT_EQ(run.err.find("terminate called"), std::string::npos);
        if (run.status == 3) {
          EXPECT_TRUE(run.err.find(std::strerror(ENOMEM)) != std::string::npos ||
                      run.err.find(std::strerror(EAGAIN)) != std::string::npos)
              << Head(run.err);
        }
        ExpectNoTemporaryFile(large);
        const std::string now = testing::ReadFile(large.check_file);
        EXPECT_TRUE(now == large.old || Records(now) == large.records) << Now(large);
        if (command[0] == "make" && run.status == 0) {
          EXPECT_NE(now, large.old) << "a make said done but wrote nothing";
        }
      }
    }
  }
}

// Wherever the program cannot start a thread (the progress line's, a
// worker's, a large file's reader) or the digest library cannot open its
// files at start, the job ends cleanly: exit 3 with the system's reason, or
// done without that thread, never an abort.
TEST_F(CliFaultsTest, NoThreadOrDescriptorAtStartIsACleanFailure) {
  const Folder large = LargeFiles();
  const std::string sums = tree.At("large/SHA256SUMS");
  ASSERT_EQ(Cli({"make", "-a", "sha256", large.path}).status, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"-j", "2", "--progress", "verify", large.check_file}, {"-j", "2", "--progress", "verify", sums},
      {"-j", "2", "make", large.path}, {"-j", "8", "hash", "-a", "sha256", large.path}};
  bool fired = false;
  for (const auto& args : commands) {
    for (int call = 1; call <= 6; ++call) {
      SCOPED_TRACE(::testing::PrintToString(args) + " with thread " + std::to_string(call) + " failing");
      PutBack(large);
      const CliRun run = Cli(args, {{ThreadFails(EAGAIN, call)}});
      fired = fired || !Fired().empty();
      EXPECT_TRUE(run.status == 0 || run.status == 3) << run.status << " " << Head(run.err);
      if (run.status == 3) EXPECT_NE(run.err.find(std::strerror(EAGAIN)), std::string::npos) << Head(run.err);
      ExpectNoTemporaryFile(large);
    }
  }
  EXPECT_TRUE(fired) << "no thread start ever failed: the test needs another way in";
  // The library needs a descriptor of its own as it starts (at 3 the
  // loader has none for the libraries: the run never starts).
  for (const rlim_t files : {4, 5, 6}) {
    SCOPED_TRACE("ulimit -n " + std::to_string(files));
    const CliRun run = Cli({"verify", sums}, {.faults = {}, .files = files});
    EXPECT_TRUE(run.status == 0 || run.status == 3) << run.status << " " << Head(run.err);
    if (run.status == 3) EXPECT_NE(run.err.find(std::strerror(EMFILE)), std::string::npos) << Head(run.err);
  }
}

// A check file whose reads end before its size, at a line end, as on some
// file systems, is no pass in any layout: changed while it was read, exit 3.
TEST_F(CliFaultsTest, ACheckFileReadShortOfItsSizeFailsTheVerify) {
  const Folder small = SmallFiles();
  ASSERT_EQ(Cli({"make", "-a", "sha256", small.path}).status, 0);
  ASSERT_EQ(Cli({"make", "--format", "md5sum", small.path}).status, 0);
  for (const std::string name : {"CheckSum.md5", "SHA256SUMS", "MD5SUMS"}) {
    SCOPED_TRACE(name);
    const std::string text = testing::ReadFile(small.path + "/" + name);
    const CliRun run = Cli({"verify", small.path + "/" + name}, {{ReadsEnd(text.find('\n', text.size() / 2) + 1, name)}});
    ASSERT_FALSE(Fired().empty()) << "the fault was never met";
    EXPECT_EQ(run.status, 3) << Head(run.err);
    EXPECT_NE(run.err.find(small.path + "/" + name + ": changed while it was read"), std::string::npos) << Head(run.err);
  }
}

#endif

}  // namespace
}  // namespace quillora
