#include "checkfile/verifier.h"

#ifdef _WIN32
#include <fcntl.h>
#include <share.h>
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include <gtest/gtest.h>

#include "checkfile/check_file_format.h"
#include "checkfile/maker.h"
#include "hashes/streaming_digest.h"
#include "md5/md5.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/recording_sink.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using namespace std::string_literals;
using testing::RecordingSink;
using testing::TempTree;
using Lines = std::vector<std::string>;

std::string Hex(std::string_view bytes) { return LowerAscii(DigestToHex(DigestOfText(bytes))); }
std::string Record(std::string_view bytes, std::string_view relative) {
  return CheckFileRecordLine(Hex(bytes), relative);
}

class VerifierTest : public ::testing::Test {
 protected:
  // Writes a check file into the tree and verifies it.
  Lines Verify(const std::string& check_file_text, const std::string& name = "CheckSum.md5") {
    return VerifyAt(tree.Write(name, check_file_text));
  }
  Lines VerifyAt(const std::string& check_file) {
    sink = RecordingSink();
    counts = VerifyCheckFile(env, check_file, sink);
    return sink.lines;
  }
  std::string Quoted(std::string_view relative) const { return "\"" + tree.At(relative) + "\""; }
  // Something there that cannot be opened: a FIFO without a writer; on
  // Windows, which has none, a file another program holds unshared.
  void MakeUnopenable(const std::string& name) {
#ifdef _WIN32
    held_.push_back(::_sopen(tree.Write(name, "").c_str(), _O_RDONLY, _SH_DENYRW));
    ASSERT_GE(held_.back(), 0);
#else
    ASSERT_EQ(::mkfifo(tree.At(name).c_str(), 0644), 0);
#endif
  }
  ~VerifierTest() override {
    for (int fd : held_) ::close(fd);
  }
  std::vector<int> held_;

  Env& env = Env::Default();
  RecordingSink sink;
  VerifyCounts counts;
  TempTree tree;
};

TEST_F(VerifierTest, EachVerdictAndTheSummary) {
  tree.Write("same.txt", "same");
  tree.Write("sub/changed.txt", "now");
  MakeUnopenable("fifo");
  const Lines lines = Verify(Record("same", "same.txt") + Record("before", "sub\\changed.txt") +
                             Record("", "gone.txt") + Record("", "fifo") + Record("", "sub\\gone2.txt"));
  EXPECT_EQ(lines, (Lines{
                       "OK ... " + Quoted("same.txt"),
                       "File changed ... " + Quoted("sub/changed.txt"),
                       "File does not exist ... " + Quoted("gone.txt"),
                       "Could not open file ... " + Quoted("fifo"),
                       "File does not exist ... " + Quoted("sub/gone2.txt"),
                       "",
                       "Operation completes.",
                       "5 files were verified. 2 files did not exist. 1 file could not be opened. 1 file changed. ",
                       "",
                       "The following files have been changed since the check file was made:",
                       tree.At("sub/changed.txt"),
                       "",
                       "The following files are lost:",
                       tree.At("gone.txt"),
                       tree.At("sub/gone2.txt"),
                       "",
                       "The following files could not be opened during the MD5 checksum calculation:",
                       tree.At("fifo"),
                   }));
  EXPECT_EQ(counts.unchanged, 1);
  EXPECT_FALSE(counts.all_ok());
  EXPECT_EQ(sink.pumps, (std::vector<std::size_t>{1, 2, 3, 4, 5})) << "after each verdict line";
}

TEST_F(VerifierTest, AnMd5sumFileGivesTheSameVerdictsByTrueNames) {
  SKIP_WITHOUT_POSIX("names with line breaks");
  tree.Write("sub/new\nline", "n");
  tree.Write("back\\slash", "b");
  const Lines lines = Verify("\\" + Hex("n") + "  sub/new\\nline\r\n\\MD5 (back\\\\slash) = " + Hex("old") +
                                 "\r\nMD5(sub\\gone)= " + Hex("") + "\r\nnot a line of md5sum's\r\n",
                             "MD5SUMS");
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
            (Lines{"OK ... " + Quoted("sub/new\nline"), "File changed ... " + Quoted("back\\slash"),
                   "File does not exist ... " + Quoted("sub/gone"), "", "Operation completes."}));
  EXPECT_EQ(counts.unread_lines, 1);
}

TEST_F(VerifierTest, DigestsCompareWithoutLetterCaseAndAreNotValidated) {
  tree.Write("a.txt", "a");
  const std::string upper = std::string(CheckFileRecordLine(DigestToHex(DigestOfText("a")), "a.txt"));
  const Lines lines = Verify(upper + "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz\ta.txt\r\n");
  EXPECT_EQ(lines[0], "OK ... " + Quoted("a.txt"));
  EXPECT_EQ(lines[1], "File changed ... " + Quoted("a.txt"));
}

TEST_F(VerifierTest, OddRecordsAreJoinedAsTheyStandAndCountedEachTime) {
  tree.Write("a.txt", "a");
  tree.Write("dup.txt", "dup");
  const Lines lines = Verify(Hex("") + "\t\r\n" +               // the base folder itself: there, but no file
                             Record("x", "C:\\x\\y.txt") +      // not relative: joined all the same
                             "0123456789abcdef0123456789abcdef\ta.txt\0junk\r\n"s +  // NUL: lost, not a.txt
                             Record("dup", "dup.txt") + Record("dup", "dup.txt"));
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
            (Lines{"Could not open file ... \"" + tree.path() + kPathSeparator + "\"", "File does not exist ... " + Quoted("C:/x/y.txt"),
                   "File does not exist ... " + Quoted("a.txt\0junk"s), "OK ... " + Quoted("dup.txt"),
                   "OK ... " + Quoted("dup.txt")}));
  EXPECT_EQ(lines[7], "5 files were verified. 2 files did not exist. 1 file could not be opened. 0 file changed. ");
}

// Nothing unread may look like a pass: a check file without a record says so,
// and every line read as no record is counted and named by its number.
TEST_F(VerifierTest, WhatWasNotReadIsSaidAfterTheSummary) {
  const Lines no_record = {"", "Operation completes.", "0 file was verified. 0 file changed. ",
                           "The check file holds no record."};
  EXPECT_EQ(Verify(""), no_record);
  EXPECT_EQ(Verify(";only\r\n;comments\r\n\r\n" + Hex("") + ":no-blank.txt\r\nMD4 (x) = " + Hex("")),
            (Lines{no_record[0], no_record[1], no_record[2], no_record[3], "",
                   "2 lines of the check file were not read as records.",
                   "1 of them is a record of MD4, a digest not computed here.", "",
                   "The following lines of the check file were not read:", "Line 4", "Line 5"}));
  EXPECT_EQ(counts.unread_lines, 2);
  // A damaged line of Quillora's own layout: a digest that lost a digit, junk.
  tree.Write("a.txt", "a");
  const Lines lines = Verify(";header\r\n\r\n" + Record("a", "a.txt") + Hex("a").substr(1) + "\ta.txt\r\njunk\r\n");
  EXPECT_EQ(Lines(lines.begin() + 4, lines.end()),
            (Lines{"", "2 lines of the check file were not read as records.", "",
                   "The following lines of the check file were not read:", "Line 4", "Line 5"}));
  EXPECT_EQ(counts.unread_lines, 2);
  EXPECT_TRUE(counts.all_ok()) << "the records themselves are fine";
}

// A check file rewritten while it is read, or whose reads end before its
// size (a file system that gives up part way at a line end), would pass off
// part of it as the whole, in every layout.
TEST_F(VerifierTest, ACheckFileNotReadWholeEndsTheRun) {
  std::string own, sums, tags, sfv;
  for (int i = 0; i < 200; ++i) {
    const std::string name = "f" + std::to_string(i);
    own += Record("x", name);
    sums += std::string(64, 'a') + "  " + name + "\n";
    tags += "SHA256 (" + name + ") = " + std::string(64, 'a') + "\n";
    sfv += name + " 0badf00d\n";
  }
  const struct {
    const char* name;
    std::string text;
  } files[] = {{"CheckSum.md5", own}, {"SHA256SUMS", sums}, {"CHECKSUM", tags}, {"x.sfv", sfv}};
  for (const auto& f : files) {
    for (const bool rewritten : {false, true}) {
      if (rewritten && !testing::kPosix) continue;  // Windows lets no one write to it meanwhile
      const std::string check_file = tree.Write(f.name, f.text);
      testing::FaultEnv faulty;
      if (rewritten) {
        faulty.texts_changed_after_first_read = {check_file};
      } else {
        faulty.texts_ending_after[check_file] = f.text.find('\n', f.text.size() / 2) + 1;
      }
      sink = RecordingSink();
      try {
        VerifyCheckFile(faulty, check_file, sink);
        ADD_FAILURE() << f.name << ": a check file read in part passed for the whole";
      } catch (const SystemFault& e) {
        EXPECT_EQ(e.path(), check_file);
        EXPECT_EQ(e.number(), kChangedWhileRead);
      }
      EXPECT_TRUE(std::find(sink.lines.begin(), sink.lines.end(), "Operation completes.") == sink.lines.end());
    }
  }
}

// Names are taken from the folder of the check file itself, also through a
// link to it from elsewhere.
TEST_F(VerifierTest, ACheckFileIsReadWhereItIs) {
  SKIP_WITHOUT_POSIX("a symbolic link");
  tree.Write("data/a.txt", "a");
  tree.Write("data/CheckSum.md5", Record("a", "a.txt"));
  tree.Folder("elsewhere");
  ASSERT_EQ(::symlink(tree.At("data/CheckSum.md5").c_str(), tree.At("elsewhere/link.md5").c_str()), 0);
  EXPECT_EQ(VerifyAt(tree.At("elsewhere/link.md5"))[0], "OK ... " + Quoted("data/a.txt"));
}

// Counts each file's opens for a digest: how often it is read (over the
// fault Env, for which no file was changed a moment before: each is read once).
struct CountingEnv : EnvWrapper {
  explicit CountingEnv(Env& target) : EnvWrapper(target) {}
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override {
    return Count(path), EnvWrapper::OpenForDigest(path);
  }
  std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) override {
    return Count(file.path), EnvWrapper::OpenListedForDigest(file);
  }
  void Count(const std::string& path) {
    std::lock_guard lock(mutex);
    ++opens[NameOf(path)];
  }
  std::map<std::string, int> opens;
  std::mutex mutex;
};

std::string HexOf(DigestId id, std::string_view bytes) { return HexText(DigestOfBytes(id, bytes)); }

// 64 digits fit six digests: each file is read once under all of them, or
// under the one that matched before, and again for the others only when that
// one does not match; no file that matches under one is called changed.
TEST_F(VerifierTest, ADigestThatFitsSeveralIsNeverJudgedUnderOneAlone) {
  using enum DigestId;
  for (const char* name : {"a", "b", "c", "d"}) tree.Write(name, name);
  testing::FaultEnv settled;
  CountingEnv counting(settled);
  const std::string check_file = tree.Write("sums", HexOf(kSha3_256, "a") + "  a\n" + HexOf(kSha3_256, "b") +
                                                        "  b\n" + HexOf(kSha256, "c") + "  c\n" +
                                                        HexOf(kSha3_256, "old") + "  d\n" + HexOf(kSha3_256, "") +
                                                        "  gone\n");
  VerifyCheckFile(counting, check_file, sink);
  EXPECT_EQ(Lines(sink.lines.begin(), sink.lines.begin() + 9),
            (Lines{"OK ... " + Quoted("a"), "OK ... " + Quoted("b"), "OK ... " + Quoted("c"),
                   "File changed ... " + Quoted("d"), "File does not exist ... " + Quoted("gone"), "",
                   "Operation completes.", "5 files were verified. 1 file did not exist. 1 file changed. ",
                   "These are SHA-256 and SHA3-256 records."}));
  EXPECT_EQ(counting.opens, (std::map<std::string, int>{{"a", 1}, {"b", 1}, {"c", 2}, {"d", 2}, {"gone", 1}}));
}

// A bare digest, in a file whose name names none, may be any digest of its
// length: a file that matches one is OK, and where none matched, the closing
// line names each digest tried.
TEST_F(VerifierTest, ABareDigestIsTriedAsEveryDigestOfItsLength) {
  using enum DigestId;
  tree.Write("a", "abc");
  const std::string no_file_matched = ": no file matched one to tell which.";
  const struct {
    std::string record;
    std::string verdict, records;
  } cases[] = {
      {HexOf(kSm3, "abc"), "OK", "These are SM3 records."},
      {HexOf(kSha512_256, "abc"), "OK", "These are SHA-512/256 records."},
      {HexOf(kBlake2b128, "abc"), "OK", "These are BLAKE2b-128 records."},
      {HexOf(kBlake2b32, "abc"), "OK", "These are BLAKE2b-32 records."},
      {HexOf(Blake2bOfBytes(33), "abc"), "OK", "These are BLAKE2b-264 records."},
      {std::string(8, '0'), "File changed", "These are records of BLAKE2b-32 or CRC-32" + no_file_matched},
      {std::string(32, '0'), "File changed", "These are records of MD5 or BLAKE2b-128" + no_file_matched},
      {std::string(56, '0'), "File changed",
       "These are records of SHA-224, SHA-512/224, SHA3-224 or BLAKE2b-224" + no_file_matched},
      {std::string(64, '0'), "File changed",
       "These are records of SHA-256, SHA-512/256, SHA3-256, BLAKE2b-256, BLAKE2s-256 or SM3" + no_file_matched},
      {std::string(2, '0'), "File changed", "These are BLAKE2b-8 records."},  // the one digest of a byte
  };
  for (const auto& c : cases) {
    sink = RecordingSink();
    VerifyCheckFile(env, tree.Write("sums", c.record + "  a\n"), sink);
    const std::string counts = c.verdict == "OK" ? "0 file changed. " : "1 file changed. ";
    EXPECT_EQ(Lines(sink.lines.begin(), sink.lines.begin() + std::min<std::size_t>(sink.lines.size(), 5)),
              (Lines{c.verdict + " ... " + Quoted("a"), "", "Operation completes.", "1 file was verified. " + counts,
                     c.records}))
        << c.record;
  }
}

// Other layouts' records: a hashdeep row's size, a signature, absolute names,
// a sidecar's lone digest, and a digest the user fixed.
TEST_F(VerifierTest, OtherLayoutsSayWhatTheyChecked) {
  using enum DigestId;
  // A name's "/" is shown as the system's separator (Windows: "\\").
  std::string nowhere = "/nowhere/a";
  ToNativeSeparators(nowhere);
  tree.Write("a", "abc");
  const std::string row = "," + HexOf(kMd5, "abc") + "," + HexOf(kSha256, "abc") + ",";
  const struct {
    std::string name, text;
    DigestSet fixed;
    Lines lines;  // up to the last one before the lists
  } cases[] = {
      {"audit", "%%%% HASHDEEP-1.0\n%%%% size,md5,sha256,filename\n3" + row + "a\n4" + row + "a\n", {},
       {"OK ... " + Quoted("a"), "File changed ... " + Quoted("a"), "", "Operation completes.",
        "2 files were verified. 1 file changed. ", "These are MD5 and SHA-256 records."}},
      {"SHA256SUMS.asc",
       "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n" + HexOf(kSha256, "abc") + "  " + tree.At("a") +
           "\n" + HexOf(kSha256, "abc") + "  /nowhere/a\n-----BEGIN PGP SIGNATURE-----\n\nxyz\n",
       {},
#ifdef _WIN32
       // Under Wine no Gpg4win is installed: the records are read as before,
       // "/" a separator there too.
       {"OK ... " + Quoted("a"), "File does not exist ... \"" + nowhere + "\"", "", "Operation completes.",
        "2 files were verified. 1 file did not exist. 0 file changed. ", "These are SHA-256 records.",
        "GnuPG is not installed (Gpg4win): the check file's signature was not checked."}},
#else
       // Not a signature GnuPG can read: no record is read on its word.
       {"", "The check file's signature is BAD.",
        "No record was verified: a check file whose signature fails vouches for none of its files."}},
#endif
      {"a.sha256", HexOf(kSha256, "abc"), {}, {"OK ... " + Quoted("a"), "", "Operation completes."}},
      {"a.sha256.Asc", HexOf(kSha256, "abc"), {}, {"OK ... " + Quoted("a"), "", "Operation completes."}},
      {"SHA256SUMS", HexOf(kSha3_256, "abc") + "  a\n", {kSha3_256},
       {"OK ... " + Quoted("a"), "", "Operation completes.", "1 file was verified. 0 file changed. ",
        "These are SHA3-256 records."}},
      // Lines of another digest than the one asked for: passed over, as asked.
      {"CHECKSUM", "SHA3-256 (a) = " + HexOf(kSha3_256, "abc") + "\nSHA256 (a) = " + HexOf(kSha256, "abc") + "\n",
       {kSha3_256},
       {"OK ... " + Quoted("a"), "", "Operation completes.", "1 file was verified. 0 file changed. ",
        "These are SHA3-256 records.", "1 record of another digest was passed over, as asked."}},
      // rhash's sidecar names no digest; "./a" below the folder is "a".
      {"a.sum", HexOf(kSha1, "abc") + "\n", {}, {"OK ... " + Quoted("a"), "", "Operation completes."}},
      {"sums", HexOf(kSha1, "abc") + "  ./a\n", {}, {"OK ... " + Quoted("a"), "", "Operation completes."}},
      // The heading of what could not be opened names the digest.
      {"SHA1SUMS", HexOf(kSha1, "abc") + "  a\n" + HexOf(kSha1, "") + "  folder\n", {},
       {"OK ... " + Quoted("a"), "Could not open file ... " + Quoted("folder"), "", "Operation completes.",
        "2 files were verified. 1 file could not be opened. 0 file changed. ", "These are SHA-1 records.", "",
        "The following files could not be opened during the SHA-1 checksum calculation:", tree.At("folder")}},
  };
  tree.Folder("folder");
  for (const auto& c : cases) {
    sink = RecordingSink();
    VerifyCheckFile(env, tree.Write(c.name, c.text), sink, 0, {.digests = c.fixed});
    EXPECT_EQ(Lines(sink.lines.begin(), sink.lines.begin() + std::min(sink.lines.size(), c.lines.size())), c.lines)
        << c.name;
  }
}

// Other tools write a name's backslash as it is: on POSIX it names the file
// of that very name when there is one, else it separates folders, as a
// check file written on Windows means it.
TEST_F(VerifierTest, ABackslashIsTheNamesOwnWhenSuchAFileExists) {
  SKIP_WITHOUT_POSIX("a backslash in a name");
  tree.Write("back\\slash.txt", "own");
  tree.Write("sub/x.txt", "sub");
  tree.Write("sub\\x.txt", "both");  // both exist: the name as written wins
  tree.Write("win/y.txt", "win");
  const std::string text = HexOf(DigestId::kSha1, "own") + " *back\\slash.txt\n" + HexOf(DigestId::kSha1, "both") +
                           " *sub\\x.txt\n" + HexOf(DigestId::kSha1, "win") + " *win\\y.txt\n";
  const Lines lines = Verify(text, "SHA1SUMS");
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3),
            (Lines{"OK ... " + Quoted("back\\slash.txt"), "OK ... " + Quoted("sub\\x.txt"), "OK ... " + Quoted("win/y.txt")}));
  EXPECT_TRUE(counts.all_ok());
}

// A Ctrl-Z ends the records, but a line after it may name a file: it is no
// pass.
TEST_F(VerifierTest, RecordsAfterCtrlZAreNotVerifiedButSaid) {
  tree.Write("a.txt", "a");
  const Lines lines = Verify(Record("a", "a.txt") + "\x1a" + Record("b", "b.txt") + "\r\n", "any name.txt");
  EXPECT_EQ(lines, (Lines{"OK ... " + Quoted("a.txt"), "", "Operation completes.", "1 file was verified. 0 file changed. ",
                          "", "1 line of the check file was not read as a record.",
                          "1 of them follows the end-of-file mark (Ctrl-Z), after which no line is read.", "",
                          "The following lines of the check file were not read:", "Line 2"}));
  EXPECT_EQ(counts.unread_lines, 1);
}

TEST(CountLine, SingularAndPluralForEachCount) {
  EXPECT_EQ(CountLine({0, 0, 0, 0}), "0 file was verified. 0 file changed. ");
  EXPECT_EQ(CountLine({1, 0, 0, 0}), "1 file was verified. 0 file changed. ");
  EXPECT_EQ(CountLine({2, 0, 0, 0}), "2 files were verified. 0 file changed. ");
  EXPECT_EQ(CountLine({0, 1, 0, 0}), "1 file was verified. 1 file changed. ");
  EXPECT_EQ(CountLine({0, 2, 0, 0}), "2 files were verified. 2 files changed. ");
  EXPECT_EQ(CountLine({0, 0, 1, 0}), "1 file was verified. 1 file did not exist. 0 file changed. ");
  EXPECT_EQ(CountLine({0, 0, 2, 0}), "2 files were verified. 2 files did not exist. 0 file changed. ");
  EXPECT_EQ(CountLine({0, 0, 0, 1}), "1 file was verified. 1 file could not be opened. 0 file changed. ");
  EXPECT_EQ(CountLine({0, 0, 0, 2}), "2 files were verified. 2 files could not be opened. 0 file changed. ");
  EXPECT_EQ(CountLine({2, 0, 1, 0}), "3 files were verified. 1 file did not exist. 0 file changed. ");
  EXPECT_EQ(CountLine({3'000'000'000LL, 0, 0, 0}), "3000000000 files were verified. 0 file changed. ");
}

TEST_F(VerifierTest, ABareNameResolvesAgainstTheCurrentFolder) {
  tree.Write("a.txt", "a");
  tree.Write("CheckSum.md5", Record("a", "a.txt"));
  const std::string before = std::filesystem::current_path().string();
  ASSERT_EQ(::chdir(tree.path().c_str()), 0);
  const Lines lines = VerifyAt("CheckSum.md5");
  ASSERT_EQ(::chdir(before.c_str()), 0);
  EXPECT_EQ(lines[0], "OK ... \"." + std::string(1, kPathSeparator) + "a.txt\"");
#ifdef _WIN32
  EXPECT_EQ(BaseFolderOf("C:\\x\\y\\c.md5"), "C:\\x\\y\\");
  EXPECT_EQ(BaseFolderOf("C:\\c.md5"), "C:\\");
#else
  EXPECT_EQ(BaseFolderOf("/x/y/c.md5"), "/x/y/");
  EXPECT_EQ(BaseFolderOf("/c.md5"), "/");
#endif
}

// The events the GNU checkers' lines are made of: each verdict with its path
// and reason, and each line not read in its place among them.
class InPlaceSink : public RecordingSink {
 public:
  void UnreadLineMet(std::int64_t number) override { events.push_back("line " + std::to_string(number)); }
  void VerdictOn(Verdict verdict, std::string& path, int error) override {
    events.push_back(std::string(VerdictLead(verdict)) + path + (error != 0 ? ": " + SystemErrorMessage(error) : ""));
    RecordingSink::VerdictOn(verdict, path, error);
  }
  Lines events;
};

// As sha256sum -c takes them: names from the current folder, whatever
// folder holds the check file, each reported as written.
TEST_F(VerifierTest, NamesAsWrittenComeFromTheCurrentFolderWithEachUnreadLineInItsPlace) {
  SKIP_WITHOUT_POSIX("a name below a file, and its error text");
  tree.Write("a.txt", "a");
  tree.Write("file", "f");
  const std::string check_file =
      tree.Write("elsewhere/SUMS", Hex("a") + "  a.txt\njunk\n" + Hex("x") + "  ./a.txt\n" + Hex("x") + "  gone\n" +
                                       Hex("x") + "  file/x\njunk\n");
  const std::string before = std::filesystem::current_path().string();
  ASSERT_EQ(::chdir(tree.path().c_str()), 0);
  InPlaceSink in_place;
  counts = VerifyCheckFile(env, check_file, in_place, 0,
                           {.base_folder = "/nowhere", .names_as_written = true, .unread_lines_in_place = true});
  InPlaceSink at_the_end;
  VerifyCheckFile(env, check_file, at_the_end, 0, {.names_as_written = true});
  ASSERT_EQ(::chdir(before.c_str()), 0);
  EXPECT_EQ(in_place.events, (Lines{"OK ... a.txt", "line 2", "File changed ... ./a.txt",
                                    "File does not exist ... gone: " + SystemErrorMessage(ENOENT),
                                    "File does not exist ... file/x: " + SystemErrorMessage(ENOTDIR), "line 6"}));
  EXPECT_EQ(in_place.lines, at_the_end.lines) << "the result box's lines stay as they were";
  EXPECT_EQ(std::count_if(at_the_end.events.begin(), at_the_end.events.end(),
                          [](const std::string& event) { return event.starts_with("line "); }),
            0);
  EXPECT_EQ(counts.unread_lines, 2);
}

TEST_F(VerifierTest, WhatTheMakerWritesVerifiesAfterTheFolderMoves) {
  tree.Write("data/a.txt", "a");
  tree.Write("data/x/y/b.bin", testing::RandomBytes(100'000));
#ifdef _WIN32  // no TAB in names there, and names are Unicode
  const std::string odd = "caf\xC3\xA9 ;\xE2\x82\xAC.txt";
#else
  const std::string odd = "caf\xE9 \t.txt";
#endif
  tree.Write("data/" + odd, "bytes");
  tree.Write("data/x/empty", "");
  testing::FaultEnv clock;
  MakeCheckFile(clock, tree.At("data"), true, sink);
  std::filesystem::rename(tree.At("data"), tree.At("moved"));

  const Lines lines = VerifyAt(tree.At("moved/CheckSum.md5"));
  EXPECT_EQ(counts.unchanged, 4);
  EXPECT_TRUE(counts.all_ok());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "OK ... " + Quoted("moved/x/y/b.bin")), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "OK ... " + Quoted("moved/" + odd)), lines.end());
}

#ifdef _WIN32
// Programs that knew only the ANSI code page wrote their check files in it;
// such a record still finds its file, while UTF-8 records read as UTF-8.
TEST_F(VerifierTest, ARecordInTheAnsiCodePageStillFindsItsFile) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the record is written for code page 1252";
  tree.Write("caf\xC3\xA9.txt", "a");
  const Lines lines = Verify(Record("a", "caf\xE9.txt") + Record("a", "caf\xC3\xA9.txt"));
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2),
            (Lines{"OK ... " + Quoted("caf\xC3\xA9.txt"), "OK ... " + Quoted("caf\xC3\xA9.txt")}));
}
#endif

TEST_F(VerifierTest, AnUnreadableCheckFileEndsTheRunWithTheTextOfTheError) {
  SKIP_WITHOUT_POSIX("modes that bind an unprivileged user");
  const std::string check_file = tree.Write("CheckSum.md5", "");
  ::chmod(check_file.c_str(), 0);
  EXPECT_EQ(testing::RunUnprivileged([&] {
              RecordingSink lines;
              try {
                VerifyCheckFile(Env::Default(), check_file, lines);
                return 1;
              } catch (const IoError& e) {
                return std::string(e.what()) == "File access denied" && lines.lines.empty() ? 0 : 2;
              }
            }),
            0);
#ifndef _WIN32
  // A pipe is read as it comes: one nobody writes to is at its end at once.
  MakeUnopenable("fifo.md5");
  EXPECT_EQ(VerifyAt(tree.At("fifo.md5")).back(), "The check file holds no record.");
  EXPECT_THROW(VerifyCheckFile(env, "/dev/zero", sink), IoError) << "a device is never read as a check file";
#endif
}

TEST_F(VerifierTest, ACheckFileThatFailsPartWayEndsTheRunWithoutASummary) {
  tree.Write("a.txt", "a");
  testing::FaultEnv faulty;
  const std::string text = Record("a", "a.txt") + Record("a", "a.txt") + Record("a", "a.txt");
  faulty.texts[tree.At("CheckSum.md5")] = text;
  faulty.text_read_fails_at = text.size() - 10;
  try {
    VerifyCheckFile(faulty, tree.At("CheckSum.md5"), sink);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_STREQ(e.what(), IoError::FromSystem(EIO).what());  // error 5 is "access denied" on Windows
  }
  // The whole check file is read for a signature before its first record.
  EXPECT_EQ(sink.lines, Lines{});
}

TEST_F(VerifierTest, AFileThatCannotBeReadIsCouldNotOpenAndTheRunGoesOn) {
  tree.Write("a.txt", "a");
  tree.Write("busy.txt", "busy");
  const std::string big = testing::RandomBytes(3'000'000);
  tree.Write("bad.bin", big);
  tree.Write("closed/c.txt", "c");
  testing::FaultEnv faulty;
  faulty.locked_by_others = {tree.At("busy.txt")};
  faulty.reads_fail_after[tree.At("bad.bin")] = 2'500'000;  // a bad sector part way
  faulty.lookup_errors[tree.At("closed")] = EACCES;         // a folder that may not be entered
  // Only "no such file" and "not a folder" say that a file does not exist.
  faulty.lookup_errors[tree.At("gone")] = ENOENT;
  const std::string long_name(300, 'n');
  faulty.shrinks_while_read[tree.At("cut.bin")] = 1000;  // rewritten while read
  faulty.sizes_understated[tree.At("more.bin")] = 7;      // holds more than its size says
  for (unsigned jobs : {1u, 3u}) {
    sink = RecordingSink();
    tree.Write("cut.bin", big);
    tree.Write("more.bin", "more than said");
    counts = VerifyCheckFile(faulty, tree.Write("CheckSum.md5",
                                                Record("busy", "busy.txt") + Record(big, "bad.bin") +
                                                    Record("c", "closed\\c.txt") + Record("", "gone\\x") +
                                                    Record("", "a.txt\\x") + Record("", long_name) +
                                                    Record(big, "cut.bin") + Record("more than said", "more.bin") +
                                                    Record("a", "a.txt")),
                             sink, jobs);
    EXPECT_EQ(sink.lines, (Lines{"Could not open file ... " + Quoted("busy.txt"),
                                 "Could not open file ... " + Quoted("bad.bin"),
                                 "Could not open file ... " + Quoted("closed/c.txt"),
                                 "File does not exist ... " + Quoted("gone/x"),
                                 "File does not exist ... " + Quoted("a.txt/x"),
                                 "Could not open file ... " + Quoted(long_name),
                                 "Could not open file ... " + Quoted("cut.bin"),
                                 "Could not open file ... " + Quoted("more.bin"),
                                 "OK ... " + Quoted("a.txt"),
                                 "",
                                 "Operation completes.",
                                 "9 files were verified. 2 files did not exist. 6 files could not be opened. 0 file changed. ",
                                 "",
                                 "The following files are lost:",
                                 tree.At("gone/x"),
                                 tree.At("a.txt/x"),
                                 "",
                                 "The following files could not be opened during the MD5 checksum calculation:",
                                 tree.At("busy.txt"),
                                 tree.At("bad.bin"),
                                 tree.At("closed/c.txt"),
                                 tree.At(long_name),
                                 tree.At("cut.bin"),
                                 tree.At("more.bin")}))
        << jobs << " jobs";
    // The line says no more; the verdict carries the reason for a front to name
    // (the fault Env's numbers, worded by the system the test runs on).
#ifdef _WIN32
    const std::string too_long = SystemErrorMessage(ERROR_FILE_NOT_FOUND);  // what Windows says of such a name
#else
    const std::string too_long = SystemErrorMessage(ENAMETOOLONG);
#endif
    EXPECT_EQ(sink.unopenable, (Lines{tree.At("busy.txt") + ": " + SystemErrorMessage(testing::error::kBusy),
                                      tree.At("bad.bin") + ": " + SystemErrorMessage(testing::error::kIo),
                                      tree.At("closed/c.txt") + ": " + SystemErrorMessage(EACCES),
                                      tree.At(long_name) + ": " + too_long,
                                      tree.At("cut.bin") + ": changed while it was read",
                                      tree.At("more.bin") + ": changed while it was read"}))
        << jobs << " jobs";
  }
}

TEST_F(VerifierTest, AFolderThatMayNotBeEnteredHidesNoFileAsAnUnprivilegedUser) {
  SKIP_WITHOUT_POSIX("modes that bind an unprivileged user");
  tree.Write("open.txt", "open");
  tree.Write("closed/c.txt", "c");
  ::chmod(tree.At("closed").c_str(), 0700);
  const std::string check_file = tree.Write("CheckSum.md5", Record("open", "open.txt") + Record("c", "closed\\c.txt"));
  // open.txt proves the child reaches the tree: a wrong set-up fails here.
  const Lines expected = {"OK ... " + Quoted("open.txt"), "Could not open file ... " + Quoted("closed/c.txt")};
  EXPECT_EQ(testing::RunUnprivileged([&] {
              RecordingSink lines;
              VerifyCheckFile(Env::Default(), check_file, lines);
              return Lines(lines.lines.begin(), lines.lines.begin() + 2) == expected ? 0 : 1;
            }),
            0);
}

TEST_F(VerifierTest, ARecordOfAnyLengthIsReportedWhole) {
  // Longer than any path a system opens: the reader joins it from pieces and
  // the report quotes it in place.
  const std::string name = "x/" + std::string(3'000'000, 'y');
  MakeUnopenable("fifo");
  Verify(Record("", "fifo") + Record("", "x\\" + name.substr(2)) + Record("", "fifo"));
  EXPECT_EQ(sink.lines[1], "Could not open file ... " + Quoted(name));
  EXPECT_EQ(Lines(sink.lines.end() - 3, sink.lines.end()), (Lines{tree.At("fifo"), tree.At(name), tree.At("fifo")}))
      << "the long path keeps its place in the list";
  EXPECT_EQ(counts.unopenable, 3);
}

TEST_F(VerifierTest, InputChecks) {
  EXPECT_EQ(CheckVerifyInput(env, " \t "), VerifyInput::kNoCheckFile);
  EXPECT_EQ(CheckVerifyInput(env, tree.path()), VerifyInput::kCheckFileMissing) << "a folder is no check file";
  EXPECT_EQ(CheckVerifyInput(env, tree.At("none.md5")), VerifyInput::kCheckFileMissing);
  EXPECT_EQ(CheckVerifyInput(env, tree.Write("c.md5", "")), VerifyInput::kReady);
  EXPECT_EQ(VerifyInputMessage(VerifyInput::kNoCheckFile), "Please select or drag-and-drop a check file firstly.");
  EXPECT_EQ(VerifyInputMessage(VerifyInput::kCheckFileMissing), "The check file does not exist.");
}

}  // namespace
}  // namespace quillora
