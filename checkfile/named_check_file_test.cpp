#include "checkfile/named_check_file.h"

#include <sstream>

#include <gtest/gtest.h>

#include "testing/fault_env.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::TempTree;

TEST(NamedCheckFile, FilesAndFoldersTheVerifierTakes) {
  TempTree tree;
  tree.Write("sums.md5", "");
  tree.Write("SUMS.MD5", "");
  tree.Write("notes.txt", "");
  tree.Write("md5", "");
  tree.Write("with/CheckSum.md5", "");
  tree.Write("lower/checksum.md5", "");
  tree.Folder("empty");
  tree.Folder("folder.md5");
  tree.Write("dotted.md5/CheckSum.md5", "");
  tree.Write("gnu.md5sum", "");
  tree.Write("gnu/MD5SUMS", "");
  tree.Write("both/MD5SUMS", "");
  tree.Write("both/CheckSum.md5", "");
  for (const char* name : {"release/SHA256SUMS", "release/B2SUMS", "disc.iso.sha256.asc", "F-39-CHECKSUM", "x.sfv",
                           "checksums.txt"})
    tree.Write(name, "");
  struct Row {
    const char* given;
    const char* named;  // nullptr: none
  };
  const Row rows[] = {
      {"sums.md5", "sums.md5"},
      {"SUMS.MD5", "SUMS.MD5"},  // letter case ignored
      {"notes.txt", nullptr},
      {"md5", nullptr},        // no dot, no extension
      {"with", "with/CheckSum.md5"},
      {"with/", "with/CheckSum.md5"},  // no doubled separator
#ifndef _WIN32  // where names ignore case, lower/checksum.md5 is CheckSum.md5
      {"lower", nullptr},      // nor does the check file name's
#endif
      {"empty", nullptr},
      {"folder.md5", nullptr},  // a folder is not a check file
      {"dotted.md5", "dotted.md5/CheckSum.md5"},
      {"missing.md5", nullptr},
      {"gnu.md5sum", "gnu.md5sum"},
      {"gnu/MD5SUMS", "gnu/MD5SUMS"},
      {"gnu", "gnu/MD5SUMS"},
      {"both", "both/CheckSum.md5"},  // our own first
      {"release", "release/SHA256SUMS"},  // then the digests' order
      {"disc.iso.sha256.asc", "disc.iso.sha256.asc"}, {"F-39-CHECKSUM", "F-39-CHECKSUM"}, {"x.sfv", "x.sfv"},
      {"checksums.txt", "checksums.txt"},
  };
  for (const Row& row : rows) {
    const std::optional<std::string> named = CheckFileNamedBy(Env::Default(), tree.At(row.given));
    if (row.named == nullptr) {
      EXPECT_EQ(named, std::nullopt) << row.given;
    } else {
      EXPECT_EQ(named, tree.At(row.named)) << row.given;
    }
  }
  // What cannot be looked at names none: the window, started with it, keeps
  // going with the path on the list page.
  testing::FaultEnv refused;
  refused.lookup_errors[tree.At("with")] = testing::error::kDenied;
  EXPECT_EQ(CheckFileNamedBy(refused, tree.At("with")), std::nullopt);
  EXPECT_EQ(CheckFileNamedBy(refused, tree.At("with/CheckSum.md5")), std::nullopt);
}

// A dialog offers exactly the names a drop takes.
TEST(NamedCheckFile, EveryPatternOfferedNamesACheckFile) {
  std::stringstream patterns(CheckFilePatterns());
  for (std::string name; std::getline(patterns, name, ';');)
    EXPECT_TRUE(NamesCheckFile(name.starts_with('*') ? "x" + name.substr(1) : name)) << name;
}

}  // namespace
}  // namespace quillora
