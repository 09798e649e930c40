// quillora-cli end to end: the real binary, real files, its output and its
// exit status.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hashes/digest_table.h"
#include "filelist/saved_list.h"
#include "md5/md5.h"
#include "digests/lane_kernel.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/wide_text.h"
#include "testing/child_process.h"
#ifndef _WIN32
#include "testing/gnupg_keys.h"
#endif
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

using CliRun = testing::ChildRun;

#ifdef _WIN32
// The build gives the program's path with "/"; under Wine a POSIX path is
// the same path on drive Z:.
std::string NativeCliPath() {
  std::string path = QUILLORA_CLI_PATH;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path.starts_with('\\') ? "Z:" + path : path;
}
const std::string kCli = NativeCliPath();

// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t slashes = 0;
  for (const wchar_t ch : arg) {
    if (ch == L'\\') {
      ++slashes;
      continue;
    }
    quoted.append(ch == L'"' ? 2 * slashes + 1 : slashes, L'\\');
    slashes = 0;
    quoted += ch;
  }
  quoted.append(2 * slashes, L'\\');
  return quoted + L"\"";
}

// Standard output and error are opened in text mode there: lines end "\r\n".
std::string WithoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// Runs program with args in folder cwd (or ours), with standard input from
// in (or nothing), capturing both outputs through files in capture_folder.
CliRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& capture_folder,
                  const std::string& cwd = "", int in = -1) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const std::string out_path = capture_folder + "\\stdout", err_path = capture_folder + "\\stderr";
  const auto create = [&](const std::string& path) {
    return ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const HANDLE out = create(out_path), err = create(err_path);
  HANDLE input = in >= 0 ? reinterpret_cast<HANDLE>(::_get_osfhandle(in))
                         : ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING, 0, nullptr);
  if (in >= 0) ::SetHandleInformation(input, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  std::wstring line = Quoted(WideFromUtf8(program));
  for (const std::string& arg : args) line += L" " + Quoted(WideFromUtf8(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const std::wstring folder = WideFromUtf8(cwd);
  CliRun run;
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.empty() ? nullptr : folder.c_str(),
                       &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    run.status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (in < 0) ::CloseHandle(input);
  run.out = WithoutCarriageReturns(testing::ReadFile(out_path));
  run.err = WithoutCarriageReturns(testing::ReadFile(err_path));
  return run;
}

// The reading end of a pipe that holds text and is closed for writing.
int PipeWith(const std::string& text) {
  int ends[2];
  if (::_pipe(ends, 4096, _O_BINARY) != 0) return -1;
  if (::_write(ends[1], text.data(), static_cast<unsigned>(text.size())) != static_cast<int>(text.size())) return -1;
  ::_close(ends[1]);
  return ends[0];
}
#else
const std::string kCli = QUILLORA_CLI_PATH;

// Starts program with args in folder cwd (or ours), with the given descriptors
// as its standard output and error (and input, when in >= 0).
pid_t Start(const std::string& program, const std::vector<std::string>& args, int out, int err,
            const std::string& cwd = "", int in = -1) {
  return testing::StartChild(program, args, out, err, {.cwd = cwd, .in = in});
}
int Wait(pid_t child) { return testing::WaitChild(child); }

CliRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& capture_folder,
                  const std::string& cwd = "", int in = -1) {
  return testing::RunChild(program, args, capture_folder, {.cwd = cwd, .in = in});
}

// A new pseudo terminal: master is the screen's side, terminal the program's.
bool OpenPseudoTerminal(int& master, int& terminal) {
  master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return false;
  terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  return terminal >= 0;
}

// The reading end of a pipe that holds text and is closed for writing.
int PipeWith(const std::string& text) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
  if (::write(ends[1], text.data(), text.size()) != static_cast<ssize_t>(text.size())) return -1;
  ::close(ends[1]);
  return ends[0];
}

// Everything a pipe's reader gets until the writer closes it.
std::string Drain(int fd) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

#endif

// folder joined with relative, whose "/" are the system's separators.
std::string In(const std::string& folder, std::string relative) {
  std::replace(relative.begin(), relative.end(), '/', kPathSeparator);
  return folder + kPathSeparator + relative;
}

// The names in folder that start with prefix.
std::vector<std::string> NamesStartingWith(const std::string& folder, std::string_view prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix)) names.push_back(name);
  }
  return names;
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() : capture(tree.Folder("capture")), data(tree.Folder("data")) { ::chmod(capture.c_str(), 0777); }
  CliRun Cli(const std::vector<std::string>& args, const std::string& cwd = "", int in = -1) {
    return RunProgram(kCli, args, capture, cwd, in);
  }
  // The checkout may lie in a folder only root may enter: an unprivileged
  // user runs a copy of the program in the temporary tree, which every user
  // can reach.
  std::string CliForEveryUser() {
    const std::string cli = tree.At("bin/quillora-cli");
    tree.Folder("bin");
    if (!std::filesystem::copy_file(kCli, cli)) ADD_FAILURE() << "cannot copy " << kCli;
    ::chmod(cli.c_str(), 0755);
    return cli;
  }

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

}

TEST_F(CliTest, MakeThenVerify) {
  tree.Write("data/a.txt", "a");
  tree.Write("data/sub/b.txt", "b");
  CliRun run = Cli({"make", data});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Processing folder \"" + In(data, "sub") + "\" ...\nProcessing file \"b.txt\" ... OK\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(run.out.ends_with("\nOperation completed.\nThe MD5 checksum file is save at \"" + In(data, "CheckSum.md5") +
                                "\"\n"))
      << run.out;

  run = Cli({"verify", In(data, "CheckSum.md5")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.ends_with("\nOperation completes.\n2 files were verified. 0 file changed. \n")) << run.out;

  run = Cli({"verify", "CheckSum.md5"}, data);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("OK ... \"" + In(".", "sub/b.txt") + "\"\n"), std::string::npos) << run.out;

  tree.Write("data/a.txt", "changed");
  run = Cli({"verify", In(data, "CheckSum.md5")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("File changed ... \"" + In(data, "a.txt") + "\"\n"), std::string::npos) << run.out;

  run = Cli({"make", "--no-subfolders", data});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find("Processing folder"), std::string::npos);
  EXPECT_EQ(testing::ReadFile(In(data, "CheckSum.md5")).find("b.txt"), std::string::npos);
}

TEST_F(CliTest, InputErrorsNameThePathAndTheSystemsReason) {
  const std::string file = tree.Write("data/file", "");
#ifdef _WIN32
  const std::string device = In(data, "nul.md5");  // the null device, in any folder
  const CliRun run = Cli({"verify", device});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "quillora-cli: " + device + ": Not a regular file\n");
  GTEST_SKIP() << "POSIX only, the rest: a link loop, /proc and the C library's error texts";
#else
  const std::string loop = tree.At("loop");
  ASSERT_EQ(::symlink("loop", loop.c_str()), 0);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;  // after "quillora-cli: "
  } cases[] = {
      {{"make", " \t"}, 2, " \t: No such file or directory"},
      {{"make", tree.At("none")}, 2, tree.At("none") + ": No such file or directory"},
      {{"make", file}, 2, file + ": Not a directory"},
      {{"verify", tree.At("none.md5")}, 2, tree.At("none.md5") + ": No such file or directory"},
      {{"verify", file + "/x"}, 2, file + "/x: Not a directory"},
      {{"verify", data}, 2, data + ": Is a directory"},
      {{"verify", loop}, 3, loop + ": Too many levels of symbolic links"},
      // Opens, then fails at its first read.
      {{"verify", "/proc/self/mem"}, 3, "/proc/self/mem: " + std::string(std::strerror(EIO))},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[1];
    EXPECT_EQ(run.err, "quillora-cli: " + c.err + "\n");
    EXPECT_EQ(run.out, "");
  }
#endif
}

TEST_F(CliTest, EveryEngineWritesTheSameCheckFile) {
  for (int i = 0; i < 60; ++i) tree.Write("data/f" + std::to_string(i), testing::RandomBytes(i * 997 % 70'000, i));
  for (const std::string digest : {"md5", "sha256"}) {
    const std::string name = digest == "md5" ? "CheckSum.md5" : "SHA256SUMS";
    const CliRun scalar = Cli({"--engine", "scalar", "make", "-a", digest, data});
    ASSERT_EQ(scalar.status, 0) << scalar.err;
    // The records, after the header's comment lines and their time stamp.
    const auto records = [&] {
      const std::string text = testing::ReadFile(In(data, name));
      return text.substr(digest == "md5" ? text.find("\r\n\r\n") : 0);
    };
    const std::string expected = records();
    EXPECT_EQ(std::count(expected.begin(), expected.end(), digest == "md5" ? '\t' : '\n'), 60);
    for (const std::string_view engine : KernelNames()) {
      if (!KernelSupported(engine)) continue;
      const CliRun run = Cli({"--jobs=3", "--engine=" + std::string(engine), "make", "-a", digest, data});
      EXPECT_EQ(run.out, scalar.out) << engine << " " << digest;
      EXPECT_EQ(records(), expected) << engine << " " << digest;
    }
  }
  EXPECT_EQ(Cli({"--engine", "sse", "make", data}).err,
            "quillora-cli: invalid engine 'sse' (scalar, avx2, avx512 or sha-ni)\n"
            "Try 'quillora-cli --help' for more information.\n");
  EXPECT_EQ(Cli({"make", data, "--engine"}).status, 2);
}

TEST_F(CliTest, FailuresOfTheErrorReportExitWithThree) {
  tree.Write("data/a.txt", "a");
  const std::string old = tree.Write("data/CheckSum.md5", "old");
  ::chmod(old.c_str(), 0444);
  CliRun run = Cli({"make", data});
  EXPECT_EQ(run.status, 3);
#ifdef _WIN32
  constexpr int kDenied = 5;  // ERROR_ACCESS_DENIED
#else
  constexpr int kDenied = EACCES;
#endif
  EXPECT_EQ(run.err, "quillora-cli: " + old + ": " + SystemErrorMessage(kDenied) + "\n") << "the system's own reason";
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(testing::ReadFile(old), "old");

  SKIP_WITHOUT_POSIX("an unprivileged user, for the rest");
  // As a user who may not read the check file nor list the folder.
  ::chmod(old.c_str(), 0);
  const std::string unlistable = tree.Folder("unlistable");
  ::chmod(unlistable.c_str(), 0);
  const std::string cli = CliForEveryUser();
  const std::string folder = capture;
  const int result = testing::RunUnprivileged([&] {
    if (RunProgram(cli, {"--version"}, folder).status != 0) return 10;
    const std::string denied = std::string(": ") + std::strerror(EACCES) + "\n";
    const CliRun verify = RunProgram(cli, {"verify", old}, folder);
    if (verify.status != 3 || verify.err != "quillora-cli: " + old + denied) return 11;
    const CliRun make = RunProgram(cli, {"make", unlistable}, folder);
    if (make.status != 2 || make.err != "quillora-cli: " + unlistable + denied) return 12;
    return 0;
  });
  ASSERT_NE(result, -1) << "set-up: the unprivileged child did not run";
  ASSERT_NE(result, 10) << "set-up: the unprivileged user cannot run " << cli;
  EXPECT_EQ(result, 0) << "11: verify of an unreadable check file, 12: make of an unlistable folder";
}

// From standard input ("-", /dev/stdin) or a pipe, names are relative to the
// current folder, as md5sum reads them; what cannot be read twice refuses
// --new. A NUL in a record's path never reaches a pipe raw.
TEST_F(CliTest, ACheckFileComesFromStandardInputAsMd5sumReadsIt) {
#ifndef _WIN32  // /dev/stdin, and a pipe for "-"
  tree.Write("data/a.txt", "abc");
  const std::string check_file = tree.Write("elsewhere/sums", Hex("abc") + "  a.txt\n");
  for (const char* name : {"-", "/dev/stdin"}) {
    const int in = ::open(check_file.c_str(), O_RDONLY | O_CLOEXEC);
    const CliRun run = Cli({"verify", name}, data, in);
    ::close(in);
    EXPECT_EQ(run.status, 0) << name << ": " << run.err;
    EXPECT_TRUE(run.out.starts_with("OK ... \"./a.txt\"\n")) << name << ": " << run.out;
  }
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const std::string text = testing::ReadFile(check_file);
  ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(ends[1]);
  EXPECT_EQ(Cli({"verify", "--new", "-"}, data, ends[0]).status, 2) << "standard input cannot be read twice";
  ::close(ends[0]);
#endif
  // Not "nul.md5": on Windows that names the null device.
  const std::string nul = tree.Write("data/zero.md5", Hex("abc") + std::string("\ta.txt\0junk\r\n", 14));
  const CliRun run = Cli({"verify", nul});
  EXPECT_TRUE(run.out.starts_with("File does not exist ... \"" + In(data, "a.txt\\x00junk") + "\"\n")) << run.out;
}

// A record as long as a check file is held about once, whatever is printed:
// no verdict line, reason on standard error or closing list copies its path.
TEST_F(CliTest, ALongRecordIsHeldOnce) {
  SKIP_WITHOUT_POSIX("the child's peak memory, from wait4");
  const std::string path(64 << 20, 'p');
  const std::string ours = tree.Write("data/long.md5", Hex("") + "\t" + path + "\r\n");
  const std::string md5sums = tree.Write("data/long.sums", Hex("") + "  " + path + "\n");
  for (const std::string& check_file : {ours, md5sums}) {
    for (const std::vector<std::string>& mode : {std::vector<std::string>{}, {"--quiet"}, {"--status"}, {"--new"}}) {
      std::vector<std::string> args = mode;
      args.insert(args.begin(), "verify");
      args.push_back(check_file);
      const CliRun run = Cli(args);
      EXPECT_EQ(run.status, 1);
      EXPECT_LE(run.peak_kib, 3 * (64 << 10) / 2) << check_file << (mode.empty() ? "" : " " + mode[0]);
    }
  }
}

TEST_F(CliTest, WhatWasNotReadIsToldOnStandardErrorAndExitsWithOne) {
  const std::string file = tree.Write("data/a.txt", "abc");
  const std::string fifo = tree.At("data/fifo");
#ifdef _WIN32  // no FIFOs: a file another program holds unshared cannot be read either
  const int held = ::_sopen(tree.Write("data/fifo", "").c_str(), _O_RDONLY, _SH_DENYRW);
  ASSERT_GE(held, 0);
  const std::string why = SystemErrorMessage(ERROR_SHARING_VIOLATION);
#else
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string why = "Not a regular file";
#endif
  const std::string not_records = tree.Write("other.md5", "SHA1 (a.txt) = " + Hex("abc") + "\n");
  const std::string line = file + "     " + Hex("abc") + "\n";
  const struct {
    std::vector<std::string> args;
    std::string out_end, err;
  } cases[] = {
      {{"hash", data}, line, "quillora-cli: " + fifo + ": " + why + "\n"},
      {{"make", data}, "Operation completed.\nThe MD5 checksum file is save at \"" + In(data, "CheckSum.md5") + "\"\n",
       "quillora-cli: " + fifo + ": " + why + "\nquillora-cli: 1 file or folder was left out of \"" +
           In(data, "CheckSum.md5") + "\"\n"},
      {{"verify", not_records},
       "0 file was verified. 0 file changed. \nThe check file holds no record.\n\n1 line of the check file was not "
       "read as a record.\n1 of them looks like a SHA1 record.\n\nThe following lines of the check file were not "
       "read:\nLine 1\n",
       "quillora-cli: " + not_records + ": 1 line is improperly formatted\nquillora-cli: " + not_records +
           ": no records found; the layouts read are DIGEST<TAB>PATH (Quillora's), DIGEST  NAME and DIGEST *NAME "
           "(md5sum's, sha256sum's and their kin's), TAG (NAME) = DIGEST (--tag), TAG(NAME)= DIGEST (openssl), "
           "NAME CRC32 (SFV) and PATH     DIGEST (a saved list)\n"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 1) << c.args[0];
    EXPECT_TRUE(run.out.ends_with(c.out_end)) << run.out;
    EXPECT_EQ(run.err, c.err);
  }
#ifdef _WIN32
  ::_close(held);
#endif
}

// What cannot be read is named with the system's reason on standard error, as
// md5sum names it; the lines and rows on standard output stay as they were.
TEST_F(CliTest, EachFileThatCannotBeReadIsNamedWithItsReasonAsAnUnprivilegedUser) {
  SKIP_WITHOUT_POSIX("an unprivileged user");
  const std::string a = tree.Write("data/a.txt", "a");
  const std::string locked = tree.Write("data/locked.txt", "l");
  ASSERT_EQ(Cli({"make", data}).status, 0);
  ::chmod(locked.c_str(), 0);
  const std::string check_file = data + "/CheckSum.md5";
  const std::string named = "quillora-cli: " + locked + ": " + std::strerror(EACCES) + "\n";
  const std::string cli = CliForEveryUser();
  const struct {
    std::vector<std::string> args;
    std::string out_has, err;
  } cases[] = {
      {{"hash", a, locked}, locked + "     Could not open file\n", named},
      {{"hash", "--format", "md5sum", locked, a}, Hex("a") + "  " + a + "\n", named},
      {{"verify", check_file}, "Could not open file ... \"" + locked + "\"\n", named},
      {{"verify", "--quiet", check_file}, "Could not open file ... \"" + locked + "\"\n", named},
      {{"verify", "--status", check_file}, "", ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    const int result = testing::RunUnprivileged([&] {
      const CliRun run = RunProgram(cli, c.args, capture);
      if (run.status != 1) return 1;
      if (run.out.find(c.out_has) == std::string::npos || (c.out_has.empty() && !run.out.empty())) return 2;
      return run.err == c.err ? 0 : 3;
    });
    EXPECT_EQ(result, 0) << "case " << i << " (1: exit status, 2: standard output, 3: standard error)";
  }
}

#ifndef _WIN32
// Runs the program through a shell that first does shell_setup ("1>&-",
// "trap '' PIPE"), with standard output out and standard error into err_path.
int RunThroughShell(const std::string& shell_setup, std::vector<std::string> args, int out,
                    const std::string& err_path) {
  args.insert(args.begin(), {"-c", shell_setup + "\nexec \"$0\" \"$@\"", kCli});
  const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const int status = Wait(Start("/bin/sh", args, out, err));
  ::close(err);
  return status;
}
#endif

TEST_F(CliTest, AFailedWriteToStandardOutputEndsTheRunAndKeepsTheOldCheckFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: /dev/full and SIGPIPE";
#else
  for (int i = 0; i < 20; ++i) tree.Write("data/" + std::to_string(i) + ".txt", "a");
  const std::string check_file = tree.Write("data/CheckSum.md5", "old");
  const std::string err_path = In(capture, "stderr");
  enum Out { kFull, kClosedPipe, kClosedPipeWithSigpipeIgnored };
  const std::string write_error = "quillora-cli: write error: ";
  const struct {
    std::vector<std::string> args;
    Out out;
    int status;
    std::string err;
  } cases[] = {
      {{"hash", data}, kFull, 3, write_error + std::strerror(ENOSPC) + "\n"},
      {{"make", data}, kFull, 3, write_error + std::strerror(ENOSPC) + "\n"},
      {{"--help"}, kFull, 3, write_error + std::strerror(ENOSPC) + "\n"},
      {{"--version"}, kFull, 3, write_error + std::strerror(ENOSPC) + "\n"},
      // As md5sum ends when its reader has gone: by SIGPIPE, without a word.
      {{"hash", data}, kClosedPipe, 128 + SIGPIPE, ""},
      {{"make", data}, kClosedPipe, 128 + SIGPIPE, ""},
      {{"make", data}, kClosedPipeWithSigpipeIgnored, 3, write_error + std::strerror(EPIPE) + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " into " + std::to_string(c.out));
    int out = -1;
    if (c.out == kFull) {
      out = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    } else {
      int ends[2];
      ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
      ::close(ends[0]);
      out = ends[1];
    }
    ASSERT_GE(out, 0);
    const int status = RunThroughShell(c.out == kClosedPipeWithSigpipeIgnored ? "trap '' PIPE" : "", c.args, out,
                                       err_path);
    ::close(out);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(testing::ReadFile(err_path), c.err);
    EXPECT_EQ(testing::ReadFile(check_file), "old") << "a make that cannot report keeps the old check file";
    EXPECT_EQ(NamesStartingWith(data, ".CheckSum.md5.tmp-"), std::vector<std::string>{});
  }
#endif
}

TEST_F(CliTest, AClosedStandardDescriptorNeverTakesAFileOfTheRun) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a shell that closes descriptors 0 to 2";
#else
  for (int i = 0; i < 5; ++i) tree.Write("data/" + std::to_string(i) + ".txt", std::to_string(i));
  const std::string check_file = In(data, "CheckSum.md5");
  const std::string err_path = In(capture, "stderr");
  const int out = ::open((In(capture, "stdout")).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  ASSERT_GE(out, 0);
  for (const char* closing : {"0<&-", "1>&-", "2>&-", "0<&- 1>&- 2>&-"}) {
    SCOPED_TRACE(closing);
    std::filesystem::remove(check_file);
    EXPECT_EQ(RunThroughShell(std::string("exec ") + closing, {"make", data}, out, err_path), 0);
    const std::string made = testing::ReadFile(check_file);
    EXPECT_TRUE(made.starts_with(";")) << made;
    EXPECT_EQ(made.find("Processing"), std::string::npos) << made;
    EXPECT_EQ(std::count(made.begin(), made.end(), '\t'), 5) << made;
  }
  ::close(out);
  // A closed standard input still reads as one that cannot be read, not as
  // empty input.
  const int hash_out = ::open((In(capture, "stdout")).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  EXPECT_EQ(RunThroughShell("exec 0<&-", {"hash"}, hash_out, err_path), 1);
  ::close(hash_out);
  EXPECT_EQ(testing::ReadFile(In(capture, "stdout")), "-     Could not open file\n");
  EXPECT_EQ(testing::ReadFile(err_path), std::string("quillora-cli: -: ") + std::strerror(EBADF) + "\n");
#endif
}

TEST_F(CliTest, HelpLinesFitTheNarrowestTerminal) {
  for (const char* command : {"", "hash", "make", "verify"}) {
    const std::string out = Cli({"--help", command}).out;
    std::size_t longest = 0;
    for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
      longest = std::max(longest, end - start);
    EXPECT_LE(longest, 79u) << command << "\n" << out;
  }
#ifndef _WIN32  // /dev/full
  // With no file to report, every line is a closing line, held back for one
  // write: that write fails before the rename.
  const std::string lone = tree.Write("lone/CheckSum.md5", "the old check file\r\n");
  const int full = ::open("/dev/full", O_WRONLY), err = ::open("/dev/null", O_WRONLY);
  EXPECT_EQ(Wait(Start(kCli, {"make", tree.At("lone")}, full, err)), 3);
  ::close(full), ::close(err);
  EXPECT_EQ(testing::ReadFile(lone), "the old check file\r\n");
#endif
}

TEST_F(CliTest, ControlCharactersInNamesReachATerminalEscaped) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a pseudo terminal, and names with control characters";
#else
  const std::string name = "a\x1b]0;TITLE\x07\x1b[2J\b\x7f\xc2\x9b.txt";
  tree.Write("data/" + name, "x");
  ASSERT_EQ(Cli({"make", data}).status, 0);
  const std::string check_file = In(data, "CheckSum.md5");
  const std::string escaped = "a\\x1b]0;TITLE\\x07\\x1b[2J\\x08\\x7f\\xc2\\x9b.txt";

  // Into a file the bytes stay exact.
  EXPECT_NE(Cli({"verify", check_file}).out.find("OK ... \"" + In(data, "") + name + "\"\n"), std::string::npos);

  int master = -1, terminal = -1;
  ASSERT_TRUE(OpenPseudoTerminal(master, terminal));
  const int err = ::open((In(capture, "stderr")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  const pid_t child = Start(kCli, {"verify", check_file}, terminal, err);
  ::close(terminal);
  ::close(err);
  std::string shown;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  EXPECT_EQ(Wait(child), 0);
  EXPECT_NE(shown.find("OK ... \"" + In(data, "") + escaped + "\""), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\x1b'), std::string::npos);
  EXPECT_EQ(shown.find('\x07'), std::string::npos);
#endif
}

TEST_F(CliTest, AStoppedMakeLeavesTheOldCheckFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: signals; scripts/test-windows presses Ctrl+C on a console instead";
#else
  // More lines than the pipe holds: with nobody reading, the make cannot end
  // before it is stopped.
  for (int i = 0; i < 2000; ++i) tree.Write("data/file-" + std::to_string(i) + ".txt", "x");
  const std::string check_file = tree.Write("data/CheckSum.md5", "old");
  // The new check file has no name until it is complete: not even SIGKILL
  // leaves one behind.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(signal);
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    const int err = ::open((In(capture, "stderr")).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const pid_t child = Start(kCli, {"--jobs", "1", "make", data}, ends[1], err);
    ::close(ends[1]);
    ::close(err);
    // Stop it once its first line is out, and with it the temporary file.
    std::string printed;
    char byte = 0;
    while (byte != '\n' && ::read(ends[0], &byte, 1) == 1) printed += byte;
    ::kill(child, signal);
    EXPECT_EQ(Wait(child), 128 + signal);
    printed += Drain(ends[0]);
    ::close(ends[0]);
    EXPECT_TRUE(printed.ends_with(" ... OK\n")) << "lines go out whole, as they are made";
    EXPECT_EQ(testing::ReadFile(check_file), "old");
    EXPECT_TRUE(NamesStartingWith(data, ".CheckSum.md5.tmp-").empty());
  }
  // The next make passes over what a killed run left behind where files
  // must have names from the start, so a verify finds nothing lost.
  tree.Write("data/.CheckSum.md5.tmp-1a2b3c", "half a check file");
  ASSERT_EQ(Cli({"make", data}).status, 0);
  EXPECT_EQ(testing::ReadFile(check_file).find(".CheckSum.md5.tmp-"), std::string::npos);
  EXPECT_EQ(Cli({"verify", check_file}).status, 0);
#endif
}

TEST_F(CliTest, OptionsStandAnywhereAndMistakesAreUsageErrors) {
  const std::string file = tree.Write("data/a.txt", "abc");
  tree.Write("data/-odd.txt", "abc");
  const std::string try_help = "Try 'quillora-cli --help' for more information.\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out_start;  // of standard output
    std::string err;        // the first line of standard error, without the program's name
  } cases[] = {
      {{"--help"}, 0, "usage: quillora-cli COMMAND", ""},
      {{"-h", "make"}, 0, "usage: quillora-cli make [OPTION]... FOLDER", ""},
      {{"verify", "--help"}, 0, "usage: quillora-cli verify [OPTION]... CHECKFILE", ""},
      {{"hash", "-h"}, 0, "usage: quillora-cli hash [OPTION]... [PATH]...", ""},
      {{"--version"}, 0, "Quillora v", ""},
      {{"hash", "-V"}, 0, "Quillora v", ""},
      {{"hash", file, "--jobs", "2"}, 0, file + "     ", ""},
      {{"-j2", "hash", file}, 0, file + "     ", ""},
      {{"hash", "-j", "1", file, "--no-progress"}, 0, file + "     ", ""},
      {{"--jobs=3", "--progress", "hash", file}, 0, file + "     ", ""},
      {{"make", data, "--no-subfolders"}, 0, "Processing file", ""},
      {{"hash", "--", "-odd.txt"}, 0, "-odd.txt     ", ""},
      {{"hash", "--bogus", file}, 2, "", "unrecognized option '--bogus'"},
      {{"hash", "-x", file}, 2, "", "invalid option -- 'x'"},
      {{"hash", file, "--jobs"}, 2, "", "option '--jobs' requires an argument"},
      {{"hash", file, "-j"}, 2, "", "option requires an argument -- 'j'"},
      {{"--jobs", "0", "hash", file}, 2, "", "invalid number of jobs '0' (1 to 256)"},
      {{"-j", "x", "hash", file}, 2, "", "invalid number of jobs 'x' (1 to 256)"},
      {{"--version=2"}, 2, "", "option '--version' doesn't allow an argument"},
      {{"hash", "--quiet", file}, 2, "", "hash does not take the option '--quiet'"},
      {{"--no-subfolders", "verify", file}, 2, "", "verify does not take the option '--no-subfolders'"},
      {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
      {{}, 2, "", "missing command"},
      {{"make"}, 2, "", "make takes one FOLDER"},
      {{"make", data, data}, 2, "", "make takes one FOLDER"},
      {{"verify", "--"}, 2, "", "verify needs a CHECKFILE"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args, data);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(run.status, c.status) << shown << run.err;
    EXPECT_TRUE(run.out.starts_with(c.out_start)) << shown << run.out;
    EXPECT_EQ(run.err, c.err.empty() ? "" : "quillora-cli: " + c.err + "\n" + try_help) << shown;
  }
}

TEST_F(CliTest, HashDigestsStandardInputAsMinus) {
  const std::string file = tree.Write("data/a.txt", "x");
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"hash", "-"}, "-     " + Hex("abc") + "\n"},
      {{"hash"}, "-     " + Hex("abc") + "\n"},
      {{"hash", file, "-", file}, file + "     " + Hex("x") + "\n-     " + Hex("abc") + "\n" + file + "     " + Hex("x") + "\n"},
  };
  for (const auto& c : cases) {
    const int in = PipeWith("abc");
    const CliRun run = Cli(c.args, "", in);
    ::close(in);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
  }
}

TEST_F(CliTest, QuietPrintsFindingsAndStatusNothing) {
  tree.Write("data/same.txt", "same");
  tree.Write("data/changed.txt", "before");
  tree.Write("data/lost.txt", "lost");
  tree.Write("clean/same.txt", "same");
  ASSERT_EQ(Cli({"make", data}).status, 0);
  ASSERT_EQ(Cli({"make", tree.At("clean")}).status, 0);
  tree.Write("data/changed.txt", "after");
  std::filesystem::remove(tree.At("data/lost.txt"));
  const std::string mixed = In(data, "CheckSum.md5"), clean = tree.At("clean/CheckSum.md5");
  const std::string summary = "\nOperation completes.\n3 files were verified. 1 file did not exist. 1 file changed. \n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // what it starts with: all of it when empty
  } cases[] = {
      {{"verify", "--quiet", mixed}, 1, ""},
      {{"verify", mixed, "--status"}, 1, ""},
      {{"verify", "--status", clean}, 0, ""},
      {{"verify", "--quiet", clean}, 0, "\nOperation completes.\n1 file was verified. 0 file changed. \n"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[1];
    EXPECT_EQ(run.err, "");
    if (c.args[1] == "--quiet" && c.status == 1) {
      EXPECT_EQ(run.out.find("OK ... "), std::string::npos) << run.out;
      EXPECT_NE(run.out.find("File changed ... \"" + In(data, "changed.txt") + "\"\n"), std::string::npos) << run.out;
      EXPECT_NE(run.out.find("File does not exist ... \"" + In(data, "lost.txt") + "\"\n" + summary), std::string::npos)
          << run.out;
    } else {
      EXPECT_EQ(run.out, c.out);
    }
  }
}

TEST_F(CliTest, NewFilesAreReportedAfterTheSummary) {
  tree.Write("data/a.txt", "a");
  tree.Write("data/sub/b.txt", "b");
  tree.Write("outside/x.txt", "x");
#ifndef _WIN32  // a link out of the folder is no new file
  ASSERT_EQ(::symlink("../outside", tree.At("data/link").c_str()), 0);
#endif
  ASSERT_EQ(Cli({"make", data}).status, 0);
  const std::string check_file = In(data, "CheckSum.md5");
  // A check file of another name, given by its name alone, is not new either.
  std::filesystem::copy_file(check_file, In(data, "sums.md5"));
  CliRun run = Cli({"verify", "--new", "sums.md5"}, data);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(run.out.ends_with(" 0 file changed. \n\n0 new files were found.\n")) << run.out;
  std::filesystem::remove(In(data, "sums.md5"));

  tree.Write("data/sub/new.txt", "n");
  tree.Write("data/beside-link.txt", "n");
  tree.Write("data/" + ReplacingTempPrefix("CheckSum.md5") + "left", "a killed make's");
  run = Cli({"verify", check_file, "--new", "--quiet"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.ends_with("\n2 new files were found.\n")) << run.out;
  const std::size_t summary = run.out.find("Operation completes.");
  for (const char* name : {"sub/new.txt", "beside-link.txt"})
    EXPECT_GT(run.out.find("New file ... \"" + In(data, name) + "\"\n"), summary) << name << run.out;
}

TEST_F(CliTest, WhatMakeAndVerifyNewCouldNotLookAtIsNamedOnStandardError) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a dangling link, ENAMETOOLONG and names with a backslash";
#else
  tree.Write("data/a.txt", "a");
  tree.Write("data/back\\slash.txt", "b");
  ASSERT_EQ(::symlink("nowhere", tree.At("data/dangling").c_str()), 0);
  const std::string deep = testing::FolderPastThePathLimit(tree.Folder("data/deep"));
  const std::set<std::string> named = {
      "quillora-cli: " + In(data, "back") + "\\slash.txt: Name cannot be recorded",
      "quillora-cli: " + data + "/dangling: " + std::strerror(ENOENT),
      "quillora-cli: " + deep + ": " + std::strerror(ENAMETOOLONG),
  };
  const auto err_lines = [](const std::string& err) {
    std::set<std::string> lines;
    for (std::size_t at = 0; at < err.size(); at = err.find('\n', at) + 1) lines.insert(err.substr(at, err.find('\n', at) - at));
    return lines;
  };
  const CliRun make = Cli({"make", data});
  EXPECT_EQ(make.status, 1);
  EXPECT_NE(make.out.find("Processing file \"back\\slash.txt\" ... Name cannot be recorded\n"), std::string::npos);
  std::set<std::string> make_named = named;
  make_named.insert("quillora-cli: 3 files or folders were left out of \"" + In(data, "CheckSum.md5") + "\"");
  EXPECT_EQ(err_lines(make.err), make_named);

  const CliRun verify = Cli({"verify", "--new", In(data, "CheckSum.md5")});
  EXPECT_EQ(verify.status, 1) << "what --new could not look at is a finding";
  EXPECT_TRUE(verify.out.ends_with(" 0 file changed. \n\n0 new files were found.\n")) << verify.out;
  EXPECT_EQ(err_lines(verify.err), named);
#endif
}

// md5sum's files and ours agree both ways, on names our own layout cannot
// hold: the real md5sum writes and checks beside us.
TEST_F(CliTest, Md5sumFilesVerifyBothWaysWithTheSameFindings) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: md5sum itself, and names with line breaks and backslashes";
#else
  const std::vector<std::string> names = {"plain", "a b", "new\nline", "back\\slash", " lead", "\xff\xfe-latin",
                                          "sub/deep\\er"};
  for (const std::string& name : names) tree.Write("data/" + name, "content of " + name);
  const auto shell = [&](const std::string& command) { return RunProgram("/bin/sh", {"-c", command}, capture, data); };
  // "*" also names sub, which md5sum refuses aloud and passes over.
  shell("export LC_ALL=C; md5sum -- * sub/* >../gnu 2>/dev/null; md5sum --tag -- * sub/* >../tag 2>/dev/null");
  ASSERT_EQ(Cli({"make", "--format", "md5sum", data}).status, 0);
  ASSERT_EQ(shell("mv ../gnu ../tag .").status, 0);
  EXPECT_EQ(shell("md5sum --quiet -c MD5SUMS").status, 0) << "md5sum checks what we write";
  const std::string all_ok = std::to_string(names.size()) + " files were verified. 0 file changed. \n";
  for (const char* check_file : {"gnu", "tag", "MD5SUMS"}) {
    const CliRun run = Cli({"verify", "--quiet", check_file}, data);
    EXPECT_EQ(run.status, 0) << check_file << run.err;
    EXPECT_EQ(run.out, "\nOperation completes.\n" + all_ok) << check_file;
  }
  // md5sum run as "find . -type f | xargs md5sum" names "./a": not new.
  ASSERT_EQ(shell("sed 's|  |  ./|' gnu > dots").status, 0);
  CliRun run = Cli({"verify", "--quiet", "--new", "dots"}, data);
  EXPECT_TRUE(
      run.out.ends_with("\n" + all_ok +
                        "\nNew file ... \"./gnu\"\nNew file ... \"./tag\"\n2 new files were found.\n") ||
      run.out.ends_with("\n" + all_ok + "\nNew file ... \"./tag\"\nNew file ... \"./gnu\"\n2 new files were found.\n"))
      << run.out;
  std::filesystem::remove(In(data, "dots"));

  tree.Write("data/ lead", "changed");
  std::filesystem::remove(In(data, "new") + "\nline");
  const CliRun md5sum = shell("md5sum -c gnu 2>&1");
  EXPECT_EQ(md5sum.status, 1);
  EXPECT_NE(md5sum.out.find(" lead: FAILED\n"), std::string::npos) << md5sum.out;
  EXPECT_NE(md5sum.out.find("\\new\\nline: FAILED open or read\n"), std::string::npos) << md5sum.out;
  for (const char* check_file : {"gnu", "tag", "MD5SUMS"}) {
    const CliRun run = Cli({"verify", "--quiet", check_file}, data);
    EXPECT_EQ(run.status, 1) << check_file;
    EXPECT_EQ(run.out,
              "File changed ... \"./ lead\"\n\\File does not exist ... \"./new\\nline\"\n\nOperation completes.\n" +
                  std::to_string(names.size()) +
                  " files were verified. 1 file did not exist. 1 file changed. \n"
                  "\nThe following files have been changed since the check file was made:\n./ lead\n"
                  "\nThe following files are lost:\n\\./new\\nline\n")
        << check_file;
  }
#endif
}

TEST_F(CliTest, HashWritesMd5sumLinesToStandardOutput) {
  SKIP_WITHOUT_POSIX("names with line breaks");
  tree.Write("data/x\ny", "a");
  const CliRun run = Cli({"hash", "--format", "md5sum", "data"}, tree.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "\\" + Hex("a") + "  data/x\\ny\n");
  // Byte for byte md5sum's, and a saved list's line escaped the same way.
  const std::vector<std::string> files = {tree.Write("data/b\\s", ""), tree.Write("data/c\rr", ""), "data/x\ny"};
  EXPECT_EQ(Cli({"hash", "--format", "md5sum", files[0], files[1], files[2]}, tree.path()).out,
            RunProgram("/usr/bin/md5sum", files, capture, tree.path()).out);
  EXPECT_EQ(Cli({"hash", "data/x\ny"}, tree.path()).out, "\\data/x\\ny     " + Hex("a") + "\n");
}

// hash -b, -t and -z write what the GNU tools write with them, names that
// break a line included; -a takes BLAKE2s too.
TEST_F(CliTest, HashWritesTheGnuToolsModesAndLineEnds) {
  SKIP_WITHOUT_POSIX("coreutils' sha256sum and md5sum, and names with line breaks");
  const std::vector<std::string> files = {tree.Write("data/a", "abc"), tree.Write("data/new\nline", "n"),
                                          tree.Write("data/back\\slash", "b")};
  const struct {
    std::vector<std::string> ours;
    std::string tool;
    std::vector<std::string> theirs;
  } cases[] = {
      {{"-a", "sha256", "-b"}, "/usr/bin/sha256sum", {"-b"}},
      {{"-a", "sha256", "-t"}, "/usr/bin/sha256sum", {"-t"}},
      {{"-a", "sha256", "-z"}, "/usr/bin/sha256sum", {"-z"}},
      {{"-a", "sha256", "-bz"}, "/usr/bin/sha256sum", {"-bz"}},
      {{"-a", "sha256", "--tag", "-z"}, "/usr/bin/sha256sum", {"--tag", "-z"}},
      {{"-b"}, "/usr/bin/md5sum", {"-b"}},
      {{"--format", "md5sum", "-z"}, "/usr/bin/md5sum", {"-z"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> ours = c.ours, theirs = c.theirs;
    ours.insert(ours.begin(), "hash");
    ours.insert(ours.end(), files.begin(), files.end());
    theirs.insert(theirs.end(), files.begin(), files.end());
    const CliRun run = Cli(ours);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, RunProgram(c.tool, theirs, capture).out) << ::testing::PrintToString(ours);
  }
  const std::string nul(1, '\0');
  EXPECT_EQ(Cli({"hash", "-z", files[1]}).out, files[1] + "     " + Hex("n") + nul) << "a saved list's line, unescaped";
  const CliRun wrong = Cli({"hash", "--tag", "-t", files[0]});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.err,
            "quillora-cli: --tag does not support --text mode\nTry 'quillora-cli --help' for more information.\n");
  // BLAKE2s-256 of "abc", RFC 7693's own example.
  const std::string blake2s = "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982";
  EXPECT_EQ(Cli({"hash", "-a", "blake2s", "a"}, data).out, blake2s + "  a\n");
  EXPECT_EQ(Cli({"hash", "-a", "blake2s", "--tag", "a"}, data).out, "BLAKE2s (a) = " + blake2s + "\n");
}

// What hash and the window's "Save" write, verify and -c read back: every
// path as it stands, an escaped line's name unescaped, a row "Could not open
// file" a line not read.
TEST_F(CliTest, ASavedListVerifies) {
  SKIP_WITHOUT_POSIX("names with line breaks and backslashes");
  tree.Write("data/a b", "a"), tree.Write("data/new\nline", "n"), tree.Write("data/back\\slash", "b");
  const std::string list = tree.Write("list", Cli({"hash", "data"}, tree.path()).out);
  const std::string all_ok = "3 files were verified. 0 file changed. \n";
  CliRun run = Cli({"verify", "--quiet", list});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "\nOperation completes.\n" + all_ok);
  run = Cli({"-c", "list"}, tree.path());
  EXPECT_EQ(run.status, 0) << run.err;
  const auto lines = [](const std::string& text) {
    std::multiset<std::string> each;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      each.insert(text.substr(at, end - at));
    return each;
  };
  EXPECT_EQ(lines(run.out),
            (std::multiset<std::string>{"data/a b: OK", "\\data/back\\\\slash: OK", "\\data/new\\nline: OK"}));
  tree.Write("zero", Cli({"hash", "-z", "data"}, tree.path()).out);
  EXPECT_EQ(Cli({"-c", "-z", "zero"}, tree.path()).out, run.out);

  // The window's list: absolute paths, CR LF, and a file it could not read.
  const std::vector<ListRow> rows = {{tree.At("data/a b"), Hex("a")}, {tree.At("data/gone"), std::nullopt}};
  SaveList(Env::Default(), tree.At("saved.txt"), rows);
  run = Cli({"verify", tree.At("saved.txt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("OK ... \"" + tree.At("data/a b") + "\"\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 line of the check file was not read as a record."), std::string::npos) << run.out;
}

// Several check files, md5sum's options of verify and a name that breaks its
// line, with the exit status md5sum gives where it takes the same arguments.
// make -a and hash -a write what the digest's own tool reads back, names
// that break a line included.
TEST_F(CliTest, OtherDigestsAreWrittenAsTheirToolsWriteThem) {
  SKIP_WITHOUT_POSIX("coreutils' sha256sum, b2sum and sha1sum, and a name with a line break");
  tree.Write("data/a.txt", "abc"), tree.Write("data/sub/b c", "b"), tree.Write("data/new\nline", "n");
  const struct {
    std::vector<std::string> make;
    std::string written, tool;
  } cases[] = {
      {{"-a", "sha256"}, "SHA256SUMS", "/usr/bin/sha256sum"},
      {{"-a", "sha512", "--tag"}, "SHA512SUMS", "/usr/bin/sha512sum"},
      {{"-a", "blake2b", "-l", "256", "--tag"}, "B2SUMS", "/usr/bin/b2sum"},
      {{"-a", "blake2b"}, "B2SUMS", "/usr/bin/b2sum"},
      {{"-a", "blake2b", "-l", "128"}, "B2SUMS", "/usr/bin/b2sum"},
      {{"-a", "blake2b", "-l", "8", "--tag"}, "B2SUMS", "/usr/bin/b2sum"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.make;
    args.insert(args.begin(), "make");
    args.push_back(data);
    EXPECT_EQ(Cli(args).status, 0) << c.written;
    EXPECT_EQ(RunProgram(c.tool, {"--strict", "-c", c.written}, capture, data).status, 0) << c.written;
    // verify -a reads them as that digest, and another digest's lines not at all.
    std::vector<std::string> verify = {"verify", In(data, c.written), c.make[0], c.make[1]};
    if (c.make.size() > 3) verify.insert(verify.end(), {c.make[2], c.make[3]});
    EXPECT_EQ(Cli(verify).status, 0) << c.written;
    EXPECT_EQ(Cli({"verify", "-a", "sha1", In(data, c.written)}).status, 1) << c.written;
    std::filesystem::remove(In(data, c.written));
  }
  EXPECT_EQ(Cli({"hash", "-a", "sha1", "a.txt", "new\nline"}, data).out,
            RunProgram("/usr/bin/sha1sum", {"a.txt", "new\nline"}, capture, data).out);
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"-a", "sha3"}, {"-a", "crc32b"}, {"-l", "256"}, {"-a", "md4"},
        {"-a", "sha3", "-l", "128"}, {"-a", "blake2b", "-l", "7"}, {"-a", "blake2b", "-l", "520"}}) {
    std::vector<std::string> args = wrong;
    args.insert(args.begin(), "hash");
    args.push_back(In(data, "a.txt"));
    EXPECT_EQ(Cli(args).status, 2) << wrong[1];
  }
}

// Every digest make writes, by each name -a takes and each length -l takes
// with it, tagged and not: verify reads the file make wrote back as that
// digest, every file OK. Its name alone tells the digest (SM3SUMS,
// SHA3-256SUMS, B2SUMS with 32 digits), not the length of a line: a file
// changed since is that digest's mismatch, where a digest guessed by its
// length would say that no candidate matched.
TEST_F(CliTest, EveryDigestMakeWritesVerifiesAsThatDigest) {
  tree.Write("data/a.txt", "abc");
  struct Choice {
    std::vector<std::string> args;
    std::string_view digest;
  };
  std::vector<Choice> choices = {{{"-a", "blake2b"}, InfoOf(DigestId::kBlake2b512).name}};  // b2sum's default
  for (const DigestInfo& row : AllDigests()) {
    if (row.id == DigestId::kCrc32) continue;  // read from SFV files, never written
    if (!row.alone_name.empty()) choices.push_back({{"-a", std::string(row.alone_name)}, row.name});
    if (row.cksum_name.empty()) continue;
    std::vector<std::string> args = {"-a", std::string(row.cksum_name)};
    if (row.cksum_bits != 0) args.insert(args.end(), {"-l", std::to_string(row.cksum_bits)});
    choices.push_back({args, row.name});
  }
  for (const Choice& choice : choices) {
    for (const bool tagged : {false, true}) {
      std::vector<std::string> make = {"make"};
      make.insert(make.end(), choice.args.begin(), choice.args.end());
      if (tagged) make.push_back("--tag");
      make.push_back(data);
      SCOPED_TRACE(::testing::PrintToString(make));
      tree.Write("data/a.txt", "abc");
      CliRun run = Cli(make);
      ASSERT_EQ(run.status, 0) << run.err;
      const std::string said = "checksum file is save at \"";
      ASSERT_NE(run.out.find(said), std::string::npos) << run.out;
      const std::size_t from = run.out.find(said) + said.size(), to = run.out.find('"', from);
      const std::string check_file = run.out.substr(from, to - from);
      // MD5, the program's own, is the one digest the closing lines do not name.
      const std::string records =
          choice.digest == "MD5" ? "" : "These are " + std::string(choice.digest) + " records.\n";

      run = Cli({"verify", check_file});
      EXPECT_EQ(run.status, 0) << run.out << run.err;
      EXPECT_TRUE(run.out.ends_with("1 file was verified. 0 file changed. \n" + records)) << run.out;

      tree.Write("data/a.txt", "changed");
      run = Cli({"verify", check_file});
      EXPECT_EQ(run.status, 1) << run.out << run.err;
      EXPECT_NE(run.out.find("1 file was verified. 1 file changed. \n" + records + "\n"), std::string::npos) << run.out;
      std::filesystem::remove(check_file);
    }
  }
  EXPECT_GE(choices.size(), kLongestBlake2b + 1) << "every BLAKE2b length, 8 to 512 bits, is a choice";
}

TEST_F(CliTest, VerifyTakesMd5sumsHabits) {
  SKIP_WITHOUT_POSIX("md5sum itself, /proc and a name with a line break");
  tree.Write("data/a", "a"), tree.Write("data/new\nline", "n");
  tree.Write("data/A.md5", Hex("a") + "  a\n" + Hex("x") + "  gone\n");
  tree.Write("data/B.md5", Hex("x") + "  gone1\n" + Hex("x") + "  gone2\n");
  tree.Write("data/W.md5", Hex("a") + "  a\njunk\n\\" + Hex("n") + "  new\\nline\n");
  tree.Write("data/W.sha256", "junk\n");
  const std::string away = tree.Write("away/S.md5", Hex("a") + "  a\n");
  const std::string a_ok = "OK ... \"./a\"\n\nOperation completes.\n1 file was verified. 0 file changed. \n";
  const struct {
    std::vector<std::string> args;
    bool md5sum_agrees;
    int status;
    std::vector<std::string> out;  // what it holds, in order
    std::string err = {};
  } cases[] = {
      {{"A.md5", "B.md5"}, true, 1,
       {"Check file ... \"A.md5\"\nOK ... \"./a\"\nFile does not exist ... \"./gone\"\n", "\nCheck file ... \"B.md5\"",
        "\n\nOperation completes for 2 check files.\n4 files were verified. 3 files did not exist. 0 file changed. "}},
      {{"--ignore-missing", "A.md5"}, true, 0, {a_ok}, ""},
      {{"--ignore-missing", "A.md5", "B.md5"}, true, 1,
       {"\"A.md5\"\n" + a_ok, "No recorded file exists.\n\nOperation completes for 2 check files.\n1 file was "},
       "quillora-cli: B.md5: no file was verified\n"},
      {{"A.md5", "/proc/self/mem", "B.md5"}, false, 3,
       {"Check file ... \"/proc/self/mem\"\n\nCheck file ... \"B.md5\"", "1 check file could not be verified.\n"},
       "quillora-cli: /proc/self/mem: " + std::string(std::strerror(EIO)) + "\n"},
      {{"--strict", "-w", "W.md5"}, true, 1, {"OK ... \"./a\"\n\\OK ... \"./new\\nline\"\n"},
       "quillora-cli: W.md5: 2: improperly formatted MD5 checksum line\nquillora-cli: W.md5: 1 line is improperly "
       "formatted\n"},
      {{"-w", "W.sha256"}, false, 1, {"0 file was verified."},
       "quillora-cli: W.sha256: 1: improperly formatted SHA256 checksum line\nquillora-cli: W.sha256: 1 line is "
       "improperly formatted\nquillora-cli: W.sha256: no records found; the layouts read are DIGEST<TAB>PATH "
       "(Quillora's), DIGEST  NAME and DIGEST *NAME (md5sum's, sha256sum's and their kin's), TAG (NAME) = DIGEST "
       "(--tag), TAG(NAME)= DIGEST (openssl), NAME CRC32 (SFV) and PATH     DIGEST (a saved list)\n"},
      {{"--new", "--base-folder", data, away}, false, 1, {"OK ... \"" + In(data, "a\"\n"), "New file ... \"" + data}},
      // An empty name names no folder: not the check file's own.
      {{"--base-folder", "", "A.md5"}, false, 2, {},
       "quillora-cli: --base-folder names no folder: ''\nTry 'quillora-cli --help' for more information.\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "verify");
    SCOPED_TRACE(::testing::PrintToString(args));
    const CliRun run = Cli(args, data);
    EXPECT_EQ(run.status, c.status);
    for (std::size_t at = 0; const std::string& part : c.out)
      EXPECT_NE(at = run.out.find(part, at), std::string::npos) << "lacks " << part << " in order:\n" << run.out;
    EXPECT_EQ(run.err, c.err);
    args[0] = "-c";
    if (c.md5sum_agrees) {
      EXPECT_EQ(RunProgram("/usr/bin/md5sum", args, capture, data).status, c.status) << "md5sum's";
    }
  }
}

TEST_F(CliTest, ProgressGoesToTheTerminalOnStandardErrorOnly) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a pseudo terminal";
#else
  // More lines than a pipe holds: while the test does not read standard
  // output, the run cannot end, and the progress line has its time to show.
  for (int i = 0; i < 2000; ++i) tree.Write("data/a-file-with-a-longer-name-" + std::to_string(i) + ".txt", "x");
  ASSERT_EQ(Cli({"make", data}).status, 0);
  const std::string quiet_out = Cli({"verify", "--jobs", "1", In(data, "CheckSum.md5")}).out;

  int master = -1, terminal = -1;
  ASSERT_TRUE(OpenPseudoTerminal(master, terminal));
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const pid_t child = Start(kCli, {"verify", "--jobs", "1", In(data, "CheckSum.md5")}, ends[1], terminal);
  ::close(ends[1]);
  ::close(terminal);
  std::string shown;
  char buffer[4096];
  while (shown.find(" left") == std::string::npos) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    ASSERT_GT(n, 0) << "no progress line came: " << shown;
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string out = Drain(ends[0]);
  ::close(ends[0]);
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  EXPECT_EQ(Wait(child), 0);
  EXPECT_EQ(out, quiet_out) << "standard output is the same with progress shown";
  EXPECT_NE(shown.find(" files, "), std::string::npos) << shown;
  EXPECT_TRUE(shown.ends_with("\r\x1b[K")) << "the line is erased at the end";

  // verify --status (and --quiet) shows it beside a terminal too, while a check file on a pipe holds the run.
  ASSERT_TRUE(OpenPseudoTerminal(master, terminal));
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const pid_t status_child = Start(kCli, {"verify", "--status", "-"}, terminal, terminal, data, ends[0]);
  ::close(ends[0]), ::close(terminal);
  shown.clear();
  for (char byte = 0; shown.find(" files, ") == std::string::npos; shown += byte)
    ASSERT_EQ(::read(master, &byte, 1), 1) << "no progress line came beside the terminal: " << shown;
  ::close(ends[1]);
  EXPECT_EQ(Wait(status_child), 1) << "an empty check file holds no record";
  ::close(master);
#endif
}

// A check file's signature, checked by GnuPG against the keyring GNUPGHOME
// names, through the real program: a signature that fails is exit status 1
// and no record read; one not checked leaves the records to say.
TEST_F(CliTest, VerifyChecksTheSignature) {
#ifdef _WIN32
  GTEST_SKIP() << "the test keys are made by Debian's gpg";
#else
  testing::GnuPGKeys keys;
  if (!keys.ok()) GTEST_SKIP() << "the test keys could not be made";
  ::setenv("GNUPGHOME", keys.user_home().c_str(), 1);
  using Key = testing::GnuPGKeys::Key;
  tree.Write("data/a", "a");
  tree.Write("data/b", "b");
  const std::string sums = Hex("a") + "  a\n" + Hex("b") + "  b\n";
  std::string tampered = keys.ClearSigned(Key::kTrusted, sums);
  tampered.replace(tampered.find(Hex("b")), 32, Hex("B"));
  const std::string records = "OK ... \"" + In(data, "a") + "\"\nOK ... \"" + In(data, "b") +
                              "\"\n\nOperation completes.\n2 files were verified. 0 file changed. \n";
  const auto by = [&](Key key) { return testing::GnuPGKeys::UserId(key) + " (key " + keys.Fingerprint(key) + ")"; };
  const std::string good = "The check file's signature is good: signed by " + by(Key::kTrusted) + ".\n";
  const std::string unverified =
      "No record was verified: a check file whose signature fails vouches for none of its files.\n";
  const std::string failed = "quillora-cli: " + In(data, "MD5SUMS") + ": the signature fails: no file was verified\n";
  const std::string stranger = keys.Fingerprint(Key::kStranger);
  const struct {
    const char* name;
    std::string check_file;
    std::string signature_suffix;  // a signature file beside it; none when empty
    std::string signature;
    int status;
    std::string out, err;
  } cases[] = {
      {"good", keys.ClearSigned(Key::kTrusted, sums), "", "", 0, records + good, ""},
      {"tampered", tampered, "", "", 1, "\nThe check file's signature is BAD.\n" + unverified, failed},
      {"unknown key", keys.ClearSigned(Key::kStranger, sums), "", "", 0,
       records + "The check file is signed by key " + stranger +
           ", which is not in your keyring: the signature was not checked.\nFetch the key with \"gpg --recv-keys " +
           stranger + "\", or from the publisher, and verify again.\n",
       ""},
      {"detached .gpg", sums, ".gpg", keys.DetachedSignature(Key::kTrusted, sums, false), 0, records + good, ""},
      {"detached .sig", sums, ".sig", keys.DetachedSignature(Key::kTrusted, sums, false), 0, records + good, ""},
      {"detached .asc", sums, ".asc", keys.DetachedSignature(Key::kTrusted, sums, true), 0, records + good, ""},
      {"detached, tampered", sums + "\n", ".asc", keys.DetachedSignature(Key::kTrusted, sums, true), 1,
       "\nThe check file's signature is BAD.\n" + unverified, failed},
      {"expired key", keys.ClearSigned(Key::kExpired, sums), "", "", 0,
       records + "The check file's signature is good: signed by " + by(Key::kExpired) +
           ".\nNote: the key has expired since; it made this signature on 2019-01-01.\nWarning: no key you trust "
           "certifies this key: make sure " + keys.Fingerprint(Key::kExpired) + " is the publisher's.\n",
       ""},
      {"revoked key", keys.ClearSigned(Key::kRevoked, sums), "", "", 1,
       "\nThe check file's signature is by a REVOKED key: " + by(Key::kRevoked) + ".\n" + unverified, failed},
      {"expired signature",
       keys.ClearSigned(Key::kTrusted, sums, {"--faked-system-time=20200101T010000", "--default-sig-expire=1d"}), "",
       "", 1, "\nThe check file's signature EXPIRED on 2020-01-02: signed by " + by(Key::kTrusted) + ".\n" + unverified,
       failed},
      {"no signature", sums, "", "", 0, records, ""},
  };
  for (const auto& c : cases) {
    for (const char* suffix : {".gpg", ".sig", ".asc"}) std::filesystem::remove(In(data, std::string("MD5SUMS") + suffix));
    tree.Write("data/MD5SUMS", c.check_file);
    if (!c.signature_suffix.empty()) tree.Write("data/MD5SUMS" + c.signature_suffix, c.signature);
    const CliRun run = Cli({"verify", In(data, "MD5SUMS")});
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(run.out, c.out) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
  }
  ::unsetenv("GNUPGHOME");
#endif
}

}  // namespace
}  // namespace quillora
