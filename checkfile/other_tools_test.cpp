// Check files written by the tools themselves verify with the findings of
// each tool's own check, once the tree has changed: one file changed, one
// deleted, one added, one that cannot be read (by an unprivileged user: root
// reads any file).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "checkfile/verifier.h"
#include "testing/posix_only.h"
#include "testing/recording_sink.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

// The files each command is given, in the tree's folder "data": all of
// them, or those whose names a layout without md5sum's escapes can hold
// (no line feed, no backslash: those are in data/odd).
const std::string kAll = "find data -type f -print0 | sort -z | xargs -0 ";
const std::string kPlain = "find data -path data/odd -prune -o -type f -print0 | sort -z | xargs -0 ";

// Python's own digests, as the oracle: each BLAKE2b length tagged, or
// SHA3-256 untagged.
const std::string kOracle = R"(import hashlib, sys
for n in sys.argv[2:]:
  d, name = open(n, "rb").read(), n.encode("utf-8", "surrogateescape")
  if sys.argv[1] == "sha3":
    sys.stdout.buffer.write(hashlib.sha3_256(d).hexdigest().encode() + b"  " + name + b"\n")
  else:
    for size in (20, 32, 48, 64):
      h = hashlib.blake2b(d, digest_size=size).hexdigest().encode()
      sys.stdout.buffer.write(b"BLAKE2b-%d (%s) = %s\n" % (size * 8, name, h))
)";

struct Tool {
  std::string check_file;  // written in the tree's folder
  std::string make;        // a shell command there, printing the check file
  std::string own_ok;      // the tool's own check there, printing how many files it found unchanged; "": none
  std::string records;     // the closing line that says which digest they are
  bool plain = false;      // made of kPlain's files
  int lines_per_file = 1;
};

std::vector<Tool> Tools() {
  std::vector<Tool> tools;
  for (const std::string sum : {"sha1", "sha256", "sha512", "b2"}) {
    const std::string upper = sum == "b2" ? "BLAKE2b-512" : "SHA-" + sum.substr(3);
    const std::string name = sum == "b2" ? "B2SUMS" : sum == "sha1" ? "SHA1SUMS" : "x." + sum;
    const std::string check = " 2>/dev/null | grep -c ': OK$'";
    tools.push_back({name, kAll + sum + "sum", sum + "sum -c " + name + check,
                     "These are " + (sum == "sha1" ? "SHA-1" : upper) + " records."});
    // A name that implies no digest: the tags say which.
    const std::string tagged = "tag-" + sum + "-CHECKSUM";
    tools.push_back({tagged, kAll + sum + "sum --tag", sum + "sum -c " + tagged + check, tools.back().records});
  }
  const auto counted = [](std::string check, std::string ok) {
    return check + " 2>/dev/null | grep -c '" + ok + "'";
  };
  tools.push_back({"256.b2", kAll + "b2sum -l 256", counted("b2sum -c 256.b2", ": OK$"),
                   "These are BLAKE2b-256 records."});
  tools.push_back({"rhash.sfv", kPlain + "rhash --sfv", counted("rhash -c rhash.sfv", " OK *$"),
                   "These are CRC-32 records.", true});
  tools.push_back({"rhash-bsd", kPlain + "rhash --bsd --sha3-256", counted("rhash -c rhash-bsd", " OK *$"),
                   "These are SHA3-256 records.", true});
  tools.push_back({"audit.txt", kPlain + "hashdeep -l",
                   "hashdeep -l -r -a -vv -k audit.txt data 2>/dev/null | sed -n 's/^ *Files matched: //p'",
                   "These are MD5 and SHA-256 records.", true});
  for (const auto& [digest, name] : {std::pair{"sha256", "SHA-256"}, {"sha3-256", "SHA3-256"},
                                     {"blake2b512", "BLAKE2b-512"}})
    tools.push_back({std::string("openssl-") + digest, kPlain + "openssl dgst -" + digest, "",
                     std::string("These are ") + name + " records.", true});
  tools.push_back({"blake2b", kPlain + "python3 oracle.py blake2b", counted("cksum -a blake2b -c blake2b", ": OK$"),
                   "These are BLAKE2b-160, BLAKE2b-256, BLAKE2b-384 and BLAKE2b-512 records.", true, 4});
  // 64 digits in a file whose name says nothing: SHA-256, SHA3-256, BLAKE2b-256 or BLAKE2s-256.
  tools.push_back({"checksums", kPlain + "python3 oracle.py sha3", "", "These are SHA3-256 records.", true});
  return tools;
}

int Shell(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char block[4096];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;)
    if (out != nullptr) out->append(block, got);
  return ::pclose(pipe);
}

TEST(OtherTools, TheirCheckFilesFindWhatTheyFind) {
  SKIP_WITHOUT_POSIX("the tools, and an unprivileged user");
  testing::TempTree tree;
  const std::vector<std::string> plain = {"caf\xe9", "plain.txt", "sub/inner.bin", "with blank"};
  for (const std::string& name : plain) tree.Write("data/" + name, name);
  tree.Write("data/odd/new\nline", "n");
  tree.Write("data/odd/back\\slash", "b");
  tree.Write("oracle.py", kOracle);
  const std::vector<Tool> tools = Tools();
  const std::string in_tree = "cd '" + tree.path() + "' && ";
  for (const Tool& tool : tools)
    ASSERT_EQ(Shell(in_tree + tool.make + " > '" + tool.check_file + "'"), 0) << tool.make;
  tree.Write("data/plain.txt", "changed");
  ASSERT_EQ(std::remove(tree.At("data/with blank").c_str()), 0);
  ASSERT_EQ(::chmod(tree.At("data/sub/inner.bin").c_str(), 0), 0);
  tree.Write("data/added", "new");
  const std::string as_user = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";

  for (const Tool& tool : tools) {
    std::vector<std::string> expected;
    std::vector<std::string> names = plain;
    if (!tool.plain) names.insert(names.end(), {"odd/back\\slash", "odd/new\nline"});
    int unchanged = 0;
    for (const std::string& name : names) {
      const std::string lead = name == "plain.txt"       ? "File changed ... "
                               : name == "with blank"    ? "File does not exist ... "
                               : name == "sub/inner.bin" ? "Could not open file ... "
                                                         : "OK ... ";
      unchanged += lead == "OK ... " ? tool.lines_per_file : 0;
      for (int i = 0; i < tool.lines_per_file; ++i) expected.push_back(lead + "\"" + tree.At("data/" + name) + "\"");
    }
    std::sort(expected.begin(), expected.end());
    const int verified = testing::RunUnprivileged([&] {
      testing::RecordingSink sink;
      VerifyCheckFile(Env::Default(), tree.At(tool.check_file), sink);
      const auto summary = std::find(sink.lines.begin(), sink.lines.end(), "");
      std::vector<std::string> verdicts(sink.lines.begin(), summary);
      std::sort(verdicts.begin(), verdicts.end());
      if (verdicts == expected && summary + 4 <= sink.lines.end() && summary[3] == tool.records) return 0;
      for (const std::string& line : sink.lines) std::cerr << line << "\n";
      return 1;
    });
    EXPECT_EQ(verified, 0) << tool.check_file << ": its verdicts or closing lines differ (above)";
    if (tool.own_ok.empty()) continue;
    std::string own;
    Shell(as_user + "sh '" + tree.Write("own-check.sh", in_tree + tool.own_ok) + "'", &own);
    EXPECT_EQ(own, std::to_string(unchanged) + "\n") << tool.check_file << ": the tool's own check";
  }
}

}  // namespace
}  // namespace quillora
