// quillora-cli -c against the GNU checkers themselves (sha256sum -c, b2sum -c,
// md5sum -c) on the same tree: standard output, standard error with the
// program's name put aside, and the exit status, byte for byte.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/child_process.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

#ifndef _WIN32
const std::string kCli = QUILLORA_CLI_PATH;

// A program's run: what to start, its arguments and its standard input.
struct Command {
  std::string program;
  std::vector<std::string> args;
  std::string input = {};  // a file for standard input; none when empty
};

// text with each line's leading "PROGRAM: " (program being the name its
// messages start with) made "PROGRAM: ", so two programs' compare.
std::string WithoutProgramName(const std::string& text, const std::string& program) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string_view line(text.data() + at, end - at);
    if (line.starts_with(program + ": ")) {
      out += "PROGRAM: ";
      line.remove_prefix(program.size() + 2);
    }
    out += line;
    at = end;
  }
  return out;
}

class CheckCommandTest : public ::testing::Test {
 protected:
  CheckCommandTest() : data(tree.Folder("data")), capture(tree.Folder("capture")) { ::chmod(capture.c_str(), 0777); }

  // The program in the temporary tree, which every user can reach (the
  // checkout may lie where only root may enter).
  std::string CliForEveryUser() {
    const std::string cli = tree.At("bin/quillora-cli");
    tree.Folder("bin");
    std::filesystem::copy_file(kCli, cli, std::filesystem::copy_options::overwrite_existing);
    ::chmod(cli.c_str(), 0755);
    return cli;
  }

  // Runs each command in data, in the locale `locale`, as an unprivileged
  // user (root reads any file), and gives what each printed and its status.
  std::vector<testing::ChildRun> RunEach(const std::vector<Command>& commands, const std::string& locale = "C") {
    const std::vector<std::string> environment = {"LC_ALL=" + locale, "PATH=/usr/bin:/bin"};
    for (std::size_t i = 0; i < commands.size(); ++i) {
      ::chmod(tree.Folder("capture/" + std::to_string(i)).c_str(), 0777);
    }
    const int result = testing::RunUnprivileged([&] {
      for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string folder = capture + "/" + std::to_string(i);
        const int in = commands[i].input.empty() ? -1 : ::open(commands[i].input.c_str(), O_RDONLY | O_CLOEXEC);
        const testing::ChildRun run = testing::RunChild(commands[i].program, commands[i].args, folder,
                                                        {.cwd = data, .in = in, .environment = &environment});
        if (in >= 0) ::close(in);
        const std::string status = std::to_string(run.status);
        const int fd = ::open((folder + "/status").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, status.data(), status.size()) != static_cast<ssize_t>(status.size())) return 1;
        ::close(fd);
      }
      return 0;
    });
    EXPECT_EQ(result, 0) << "the unprivileged runs";
    std::vector<testing::ChildRun> runs(commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
      const std::string folder = capture + "/" + std::to_string(i) + "/";
      runs[i].status = std::stoi("0" + testing::ReadFile(folder + "status"));
      runs[i].out = testing::ReadFile(folder + "stdout");
      runs[i].err = testing::ReadFile(folder + "stderr");
    }
    return runs;
  }

  // Runs each pair, theirs then ours, and expects the same of both.
  void ExpectTheSame(const std::vector<std::pair<Command, Command>>& pairs, const std::string& locale = "C") {
    std::vector<Command> commands;
    for (const auto& [theirs, ours] : pairs) commands.insert(commands.end(), {theirs, ours});
    const std::vector<testing::ChildRun> runs = RunEach(commands, locale);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const Command& theirs = pairs[i].first;
      std::string what = theirs.program;
      for (const std::string& arg : theirs.args) what += " " + arg;
      SCOPED_TRACE(what + (theirs.input.empty() ? "" : " < " + theirs.input));
      const testing::ChildRun& gnu = runs[2 * i];
      const testing::ChildRun& quillora = runs[2 * i + 1];
      EXPECT_EQ(quillora.out, gnu.out);
      EXPECT_EQ(WithoutProgramName(quillora.err, "quillora-cli"), WithoutProgramName(gnu.err, theirs.program));
      EXPECT_EQ(quillora.status, gnu.status);
    }
  }

  TempTree tree;
  const std::string data, capture;
};

// The checker, the name its files have, and the name a file of its own
// digest may have besides.
struct Checker {
  std::string program, sums, extension;
};

// Every finding of the GNU checkers, each option of theirs, several check
// files and standard input, for each of three of them.
TEST_F(CheckCommandTest, SpeaksAsTheGnuCheckersOnTheSameTree) {
  for (const std::string name : {"a", "b c", "new\nline", "locked", "changed", "gone", "it's gone", "sub/deep", "dir"})
    tree.Write("data/" + name, "content of " + name);
  const std::string cli = CliForEveryUser();
  const auto shell = [&](const std::string& command) {
    return testing::RunChild("/bin/sh", {"-c", command}, capture, {.cwd = data}).status;
  };
  const Checker checkers[] = {{"/usr/bin/sha256sum", "SHA256SUMS", "sha256"},
                              {"/usr/bin/b2sum", "B2SUMS", "b2"},
                              {"/usr/bin/md5sum", "MD5SUMS", "md5"}};
  for (const Checker& c : checkers) {
    const std::string sum = "LC_ALL=C " + c.program + " ";
    const std::string all = "a 'b c' \"$(printf 'new\\nline')\" locked changed gone \"it's gone\" sub/deep dir";
    ASSERT_EQ(shell(sum + "-- " + all + " > " + c.sums), 0);
    ASSERT_EQ(shell(sum + "-z -- " + all + " > zero." + c.extension), 0);
    ASSERT_EQ(shell(sum + "a 'b c' sub/deep > ok." + c.extension), 0);
    ASSERT_EQ(shell(sum + "gone \"it's gone\" > allgone." + c.extension), 0);
    // Lines no checker reads: words, a digest cut short, one without a name;
    // a comment is passed over.
    ASSERT_EQ(shell("{ head -2 " + c.sums + "; echo not a checksum line; echo '# a comment'; tail -n +3 " + c.sums +
                    "; echo zz12 short; echo \"$(head -c 31 " + c.sums + ")\"; } > bad." + c.extension),
              0);
    ASSERT_EQ(shell("printf 'not a checksum line\\n\\nnor this one\\n' > junk." + c.extension), 0);
  }
  std::filesystem::remove(tree.At("data/gone"));
  std::filesystem::remove(tree.At("data/it's gone"));
  std::filesystem::remove(tree.At("data/dir"));
  tree.Folder("data/dir");
  tree.Write("data/changed", "changed since");
  ::chmod(tree.At("data/locked").c_str(), 0);

  const std::vector<std::vector<std::string>> cases = {
      {"S"},
      {"--quiet", "S"},
      {"--status", "S"},
      {"bad"},
      {"-w", "bad"},
      {"--strict", "ok", "bad"},
      {"--status", "-w", "bad"},
      {"-w", "--quiet", "bad"},
      {"--ignore-missing", "S"},
      {"--ignore-missing", "allgone"},
      {"junk"},
      {"ok"},
      {"--quiet", "ok"},
      {"--strict", "ok"},
      {"ok", "S", "none"},
      {"-"},
  };
  std::vector<std::pair<Command, Command>> pairs;
  for (const Checker& c : checkers) {
    for (const std::vector<std::string>& args : cases) {
      std::vector<std::string> named = {"-c"};
      std::string input;
      for (const std::string& arg : args) {
        if (arg == "S") {
          named.push_back(c.sums);
        } else if (arg == "ok" || arg == "bad" || arg == "allgone" || arg == "junk") {
          named.push_back(arg + "." + c.extension);
        } else {
          named.push_back(arg);
          if (arg == "-") input = tree.At("data/bad." + c.extension);
        }
      }
      pairs.push_back({{c.program, named, input}, {cli, named, input}});
    }
    // As sha256sum -z writes them; theirs cannot read them back (through 9.9),
    // so ours reads what theirs reads from lines.
    pairs.push_back({{c.program, {"-c", c.sums}}, {cli, {"-c", "-z", "zero." + c.extension}}});
    pairs.push_back({{c.program, {"--check", c.sums}}, {cli, {"check", c.sums}}});
  }
  ExpectTheSame(pairs);
}

// A name goes into their messages quoted as a shell would need it, in the
// user's locale; into their lines escaped when it would break one.
TEST_F(CheckCommandTest, NamesAreQuotedAndEscapedAsTheirs) {
  const std::vector<std::string> names = {
      "plain",      "a b",        "a:b",   "it's",  "it's $x", "#first", "mid#dle", "~home", "{",    "a{b}",
      "a!b",        "a\"b",       "a=b",   "a?b",   "a*b",     "a|b",    "a\tb",    "a\x01" "b", "a\x7f",
      "caf\xc3\xa9", "bad\xc3" "byte", "c1\xc2\x85", "\xe2\x80\x8b" "zw", "new\nline",
  };
  std::string sums;
  for (const std::string& name : names) {
    std::string escaped;
    for (const char ch : name) escaped += ch == '\n' ? std::string("\\n") : std::string(1, ch);
    sums += (escaped != name ? "\\" : "") + std::string(64, '0') + "  " + escaped + "\n";
  }
  tree.Write("data/SHA256SUMS", sums);
  const std::string cli = CliForEveryUser();
  for (const std::string locale : {"C", "C.UTF-8"}) {
    ExpectTheSame({{{"/usr/bin/sha256sum", {"-c", "SHA256SUMS"}}, {cli, {"-c", "SHA256SUMS"}}}}, locale);
  }
}

// Where they read nothing, Quillora reads every layout and digest; what it
// knows besides goes to standard error after their lines; usage is their
// exit status 1.
TEST_F(CheckCommandTest, ReadsMoreAndSaysMoreWithoutChangingTheirLines) {
  tree.Write("data/a", "abc");
  const std::string sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
  const std::string sha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  tree.Write("data/mixed", "SHA1 (a) = " + sha1 + "\n" + sha256 + "  a\na 352441C2\n");
  tree.Write("data/SHA256SUMS", sha256 + "  a\n" + sha1 + "  a\n");
  tree.Write("data/signed.sha256",
             "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n" + sha256 +
                 "  a\n-----BEGIN PGP SIGNATURE-----\n\nxx\n-----END PGP SIGNATURE-----\n");
  const std::string blake2s = "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982";
  tree.Write("data/s", blake2s + "  a\n");
  const std::string cli = CliForEveryUser();
  const struct {
    std::vector<std::string> args;
    std::string out, err;
    int status;
  } cases[] = {
      {{"-c", "mixed"}, "a: OK\na: OK\na: OK\n", "", 0},
      {{"-c", "SHA256SUMS"}, "a: OK\n",
       "PROGRAM: WARNING: 1 line is improperly formatted\n"
       "PROGRAM: SHA256SUMS: 1 line not read looks like a record of a 160-bit digest\n",
       0},
      {{"-c", "--status", "--strict", "SHA256SUMS"}, "", "", 1},
      // "xx" is no signature GnuPG can read: no record is read on its word.
      {{"-c", "signed.sha256"}, "", "PROGRAM: signed.sha256: the signature fails: no file was verified\n", 1},
      {{"-c", "-a", "blake2s", "s"}, "a: OK\n", "", 0},
      {{"-c", "-a", "sha1", "mixed"}, "a: OK\n",
       "PROGRAM: WARNING: 2 lines are improperly formatted\n"
       "PROGRAM: mixed: 1 line not read looks like a record of a 256-bit digest\n",
       0},
      {{"-c", "--binary", "s"}, "", "PROGRAM: check does not take the option '--binary'\n"
                                    "Try 'quillora-cli --help' for more information.\n",
       1},
      {{"-c", "--bogus"},
       "",
       "PROGRAM: unrecognized option '--bogus'\nTry 'quillora-cli --help' for more information.\n",
       1},
      {{"-c", "-a", "md4", "s"}, "", "", 1},
  };
  std::vector<Command> commands;
  for (const auto& c : cases) commands.push_back({cli, c.args});
  const std::vector<testing::ChildRun> runs = RunEach(commands);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(::testing::PrintToString(cases[i].args));
    EXPECT_EQ(runs[i].out, cases[i].out);
    if (cases[i].args[2] != "md4") {
      EXPECT_EQ(WithoutProgramName(runs[i].err, "quillora-cli"), cases[i].err);
    }
    EXPECT_EQ(runs[i].status, cases[i].status);
  }
}
#else
TEST(CheckCommandTest, SpeaksAsTheGnuCheckersOnTheSameTree) {
  GTEST_SKIP() << "POSIX only: the GNU checkers themselves";
}
#endif

}  // namespace
}  // namespace quillora
