// Check files written by the tools themselves verify with the findings of
// each tool's own check, once the tree has changed: one file changed, one
// deleted, one added, one that cannot be read (by an unprivileged user: root
// reads any file).
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

#include <gtest/gtest.h>

#include "checkfile/verifier.h"
#include "testing/posix_only.h"
#include "testing/recording_sink.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

// The files a command is given: all, or those a layout without md5sum's
// escapes can name (no line feed, no backslash: those are in data/odd).
const std::string kAll = "find data -type f -print0 | sort -z | xargs -0 ";
const std::string kPlain = "find data -path data/odd -prune -o -type f -print0 | sort -z | xargs -0 ";
// Python's digests, the oracle of what no tool here writes: SHA3-256
// untagged, or every BLAKE2b length tagged.
const std::string kOracle = R"(import hashlib, sys
for n in sys.argv[2:]:
  d, name = open(n, "rb").read(), n.encode("utf-8", "surrogateescape")
  for size in ((20, 32, 48, 64) if sys.argv[1] == "b2" else (0,)):
    h = (hashlib.blake2b(d, digest_size=size) if size else hashlib.sha3_256(d)).hexdigest().encode()
    sys.stdout.buffer.write(b"BLAKE2b-%d (%s) = %s\n" % (size * 8, name, h) if size else h + b"  " + name + b"\n")
)";

struct Tool {
  std::string check_file, make;  // the command, in the tree's folder, prints the check file
  std::string own_ok;            // the tool's own check, printing how many it found unchanged; "": none
  std::string digests;           // as the closing line names them
  bool plain = false;            // of kPlain's files
  int lines_per_file = 1;
};

std::vector<Tool> Tools() {
  const auto ok = [](std::string check, std::string ok) { return check + " 2>/dev/null | grep -c '" + ok + "'"; };
  std::vector<Tool> tools;
  for (const std::string sum : {"sha1", "sha256", "sha512", "b2"}) {
    const std::string digest = sum == "b2" ? "BLAKE2b-512" : sum == "sha1" ? "SHA-1" : "SHA-" + sum.substr(3);
    const std::string name = sum == "b2" ? "B2SUMS" : "x." + sum, tagged = sum + "-CHECKSUM";  // tags decide
    tools.push_back({name, kAll + sum + "sum", ok(sum + "sum -c " + name, ": OK$"), digest});
    tools.push_back({tagged, kAll + sum + "sum --tag", ok(sum + "sum -c " + tagged, ": OK$"), digest});
  }
  tools.push_back({"256.b2", kAll + "b2sum -l 256", ok("b2sum -c 256.b2", ": OK$"), "BLAKE2b-256"});
  tools.push_back({"r.sfv", kPlain + "rhash --sfv", ok("rhash -c r.sfv", " OK *$"), "CRC-32", true});
  tools.push_back({"r.bsd", kPlain + "rhash --bsd --sha3-256", ok("rhash -c r.bsd", " OK *$"), "SHA3-256", true});
  tools.push_back({"audit", kPlain + "hashdeep -l",
                   "hashdeep -l -r -a -vv -k audit data 2>/dev/null | sed -n 's/ *Files matched: //p'",
                   "MD5 and SHA-256", true});
  for (const auto& [flag, digest] :
       {std::pair{"sha256", "SHA-256"}, {"sha3-256", "SHA3-256"}, {"blake2b512", "BLAKE2b-512"}})
    tools.push_back({std::string("o-") + flag, kPlain + "openssl dgst -" + flag, "", digest, true});
  tools.push_back({"b2", kPlain + "python3 oracle.py b2", ok("cksum -a blake2b -c b2", ": OK$"),
                   "BLAKE2b-160, BLAKE2b-256, BLAKE2b-384 and BLAKE2b-512", true, 4});
  // 64 digits in a file whose name says nothing: SHA-256, SHA3-256, BLAKE2b-256 or BLAKE2s-256.
  tools.push_back({"checksums", kPlain + "python3 oracle.py sha3", "", "SHA3-256", true});
  return tools;
}

std::string Shell(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  char block[4096];
  for (std::size_t got; pipe != nullptr && (got = std::fread(block, 1, sizeof block, pipe)) > 0;)
    out.append(block, got);
  return pipe != nullptr && ::pclose(pipe) == 0 ? out : "failed: " + out;
}

TEST(OtherTools, TheirCheckFilesFindWhatTheirOwnChecksFind) {
  SKIP_WITHOUT_POSIX("the tools, and an unprivileged user");
  testing::TempTree tree;
  const std::vector<std::string> plain = {"caf\xe9", "plain.txt", "sub/inner.bin", "with blank"};
  for (const std::string& name : plain) tree.Write("data/" + name, name);
  tree.Write("data/odd/new\nline", "n");
  tree.Write("data/odd/back\\slash", "b");
  tree.Write("oracle.py", kOracle);
  const std::string in_tree = "cd '" + tree.path() + "' && ";
  for (const Tool& tool : Tools()) ASSERT_EQ(Shell(in_tree + tool.make + " > " + tool.check_file), "") << tool.make;
  tree.Write("data/plain.txt", "changed");
  ASSERT_EQ(std::remove(tree.At("data/with blank").c_str()), 0);
  ASSERT_EQ(::chmod(tree.At("data/sub/inner.bin").c_str(), 0), 0);
  tree.Write("data/added", "new");
  const std::map<std::string, std::string> found = {{"plain.txt", "File changed ... "},
                                                    {"with blank", "File does not exist ... "},
                                                    {"sub/inner.bin", "Could not open file ... "}};
  for (const Tool& tool : Tools()) {
    std::vector<std::string> names = plain, expected;
    if (!tool.plain) names.insert(names.end(), {"odd/back\\slash", "odd/new\nline"});
    for (const std::string& name : names) {
      const std::string lead = found.contains(name) ? found.at(name) : "OK ... ";
      expected.insert(expected.end(), tool.lines_per_file, lead + "\"" + tree.At("data/" + name) + "\"");
    }
    std::sort(expected.begin(), expected.end());
    const auto unchanged = std::count_if(expected.begin(), expected.end(), [](auto& l) { return l.starts_with("OK"); });
    EXPECT_EQ(testing::RunUnprivileged([&] {
                testing::RecordingSink sink;
                VerifyCheckFile(Env::Default(), tree.At(tool.check_file), sink);
                const auto summary = std::find(sink.lines.begin(), sink.lines.end(), "");
                std::vector<std::string> verdicts(sink.lines.begin(), summary);
                std::sort(verdicts.begin(), verdicts.end());
                if (verdicts == expected && summary[3] == "These are " + tool.digests + " records.") return 0;
                for (const std::string& line : sink.lines) std::cerr << line << "\n";
                return 1;
              }),
              0)
        << tool.check_file << ": its verdicts or closing lines (above) are not the tool's";
    const std::string as_user = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    if (!tool.own_ok.empty()) {
      EXPECT_EQ(Shell(as_user + "sh '" + tree.Write("own.sh", in_tree + tool.own_ok) + "'"),
                std::to_string(unchanged) + "\n")
          << tool.check_file << ": the tool's own check";
    }
  }
}

}  // namespace
}  // namespace quillora
