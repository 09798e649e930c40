#include "checkfile/maker.h"

#include <fcntl.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <set>

#include <gtest/gtest.h>

#include "checkfile/check_file_format.h"
#include "hashes/streaming_digest.h"
#include "md5/md5.h"
#include "platform/errors.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/recording_sink.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using testing::RecordingSink;
using testing::TempTree;
using Lines = std::vector<std::string>;

const std::string kEmptyDigest = "d41d8cd98f00b204e9800998ecf8427e";
const std::string kHeader = CheckFileHeader({2026, 12, 6, 8, 30, 3}, ":");

std::string Hex(std::string_view bytes) { return LowerAscii(DigestToHex(DigestOfText(bytes))); }
std::string Record(std::string_view bytes, std::string_view relative) {
  return CheckFileRecordLine(Hex(bytes), relative);
}

// The record lines of a check file, sorted: listing order is the file
// system's, so tests with several entries compare sets.
std::multiset<std::string> RecordsOf(const std::string& check_file) {
  const std::string text = testing::ReadFile(check_file);
  EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
  std::multiset<std::string> records;
  for (std::size_t at = kHeader.size(); at < text.size();) {
    const std::size_t end = text.find("\r\n", at) + 2;
    records.insert(text.substr(at, end - at));
    at = end;
  }
  return records;
}

std::set<std::string> Sorted(const Lines& lines) { return {lines.begin(), lines.end()}; }


class MakerTest : public ::testing::Test {
 protected:
  Lines Make(const std::string& folder, bool include_subfolders = true) {
    sink = RecordingSink();
    MakeCheckFile(env, folder, include_subfolders, sink);
    return sink.lines;
  }
  Lines Completion(const std::string& folder) {
    return {"", "Operation completed.", "The MD5 checksum file is save at \"" + JoinPath(folder, "CheckSum.md5") + "\""};
  }

  testing::FaultEnv env;
  RecordingSink sink;
  TempTree tree;
};

TEST_F(MakerTest, OneFileByteForByte) {
  tree.Write("a.txt", "abc");
  EXPECT_EQ(Make(tree.path()), (Lines{"Processing file \"a.txt\" ... OK", "", "Operation completed.",
                                      "The MD5 checksum file is save at \"" + tree.At("CheckSum.md5") + "\""}));
  EXPECT_EQ(testing::ReadFile(tree.At("CheckSum.md5")),
            kHeader + "900150983cd24fb0d6963f7d28e17f72\ta.txt\r\n");
  EXPECT_EQ(testing::ListedNames(tree.path()), (std::vector<std::string>{"CheckSum.md5", "a.txt"}))
      << "the temporary file is renamed, never left behind";
}

TEST_F(MakerTest, TheDateCommentComesFromTheClock) {
  testing::FaultEnv morning, night;
  morning.now = {2027, 3, 4, 9, 5, 7};
  night.now = {2027, 3, 4, 23, 0, 0};
  MakeCheckFile(morning, tree.path(), true, sink);
  EXPECT_NE(testing::ReadFile(tree.At("CheckSum.md5")).find("\r\n;2027-03-04 09:05:07\r\n\r\n"), std::string::npos);
  MakeCheckFile(night, tree.path(), true, sink);
  EXPECT_NE(testing::ReadFile(tree.At("CheckSum.md5")).find("\r\n;2027-03-04 23:00:00\r\n\r\n"), std::string::npos);
}

TEST_F(MakerTest, AnEmptyFolderOrOneWithOnlyACheckFileGivesTheHeaderAlone) {
  EXPECT_EQ(Make(tree.path()), Completion(tree.path()));
  EXPECT_EQ(testing::ReadFile(tree.At("CheckSum.md5")), kHeader);
  EXPECT_EQ(Make(tree.path()), Completion(tree.path())) << "the old check file is neither a record nor a line";
  EXPECT_EQ(testing::ReadFile(tree.At("CheckSum.md5")), kHeader);
  tree.Write(ReplacingTempPrefix("CheckSum.md5") + "3e9a01", "left behind by a make that was killed");
  EXPECT_EQ(Make(tree.path()), Completion(tree.path())) << "nor is a temporary check file";
  EXPECT_EQ(testing::ReadFile(tree.At("CheckSum.md5")), kHeader);
}

TEST_F(MakerTest, ForMd5sumEveryNameIsRecordedAndEveryMd5sumsPassedOver) {
  SKIP_WITHOUT_POSIX("names with line breaks");
  tree.Write("x/new\nline", "n");
  tree.Write("x/back\\slash", "b");
  tree.Write("x/MD5SUMS", "old");
  tree.Write("CheckSum.md5", "ours");
  tree.Write(".MD5SUMS.tmp-3e9a01", "another make's, running or killed");
  // What a make killed between naming its file and renaming it left: gone
  // once it is older than any living make keeps such a name.
  const std::string left = tree.Write(".MD5SUMS.tmp-commit-77aa01", "left behind by a make killed as it committed");
  const std::string fresh = tree.Write(".MD5SUMS.tmp-commit-77aa02", "a make that is committing now");
  std::filesystem::last_write_time(left, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
  sink = RecordingSink();
  MakeCheckFile(env, tree.path(), true, sink, 0, CheckFileLayout::kMd5sum);
  EXPECT_FALSE(std::filesystem::exists(left));
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_TRUE(std::filesystem::exists(tree.At(".MD5SUMS.tmp-3e9a01")));
  EXPECT_EQ(sink.lines.back(), "The MD5 checksum file is save at \"" + tree.path() + "/MD5SUMS\"");
  std::multiset<std::string> lines;
  const std::string text = testing::ReadFile(tree.At("MD5SUMS"));
  for (std::size_t at = 0, end; at < text.size(); at = end + 1)
    lines.insert(text.substr(at, (end = text.find('\n', at)) - at));
  EXPECT_EQ(lines,
            (std::multiset<std::string>{"\\" + Hex("n") + "  x/new\\nline", "\\" + Hex("b") + "  x/back\\\\slash"}));
  EXPECT_EQ(sink.left_out.size(), 0u);
}

// The sums layout of another digest: the name its tool gives the file, and
// the lines it writes, tagged or not.
TEST_F(MakerTest, ASumsFileOfAnyDigest) {
  tree.Write("a.txt", "abc");
  const std::string sha256 = HexText(DigestOfBytes(DigestId::kSha256, "abc"));
  const std::string b2 = HexText(DigestOfBytes(DigestId::kBlake2b512, "abc"));
  const std::string sha3 = HexText(DigestOfBytes(DigestId::kSha3_256, "abc"));
  const struct {
    WrittenLayout layout;
    std::string name, line;
  } cases[] = {
      {{CheckFileLayout::kMd5sum, DigestId::kSha256}, "SHA256SUMS", sha256 + "  a.txt\n"},
      {{CheckFileLayout::kMd5sum, DigestId::kSha256, true}, "SHA256SUMS", "SHA256 (a.txt) = " + sha256 + "\n"},
      {{CheckFileLayout::kMd5sum, DigestId::kBlake2b512, true}, "B2SUMS", "BLAKE2b (a.txt) = " + b2 + "\n"},
      {{CheckFileLayout::kMd5sum, DigestId::kSha3_256}, "SHA3-256SUMS", sha3 + "  a.txt\n"},
  };
  for (const auto& c : cases) {
    sink = RecordingSink();
    EXPECT_EQ(MakeCheckFile(env, tree.path(), true, sink, 0, c.layout), tree.At(c.name));
    EXPECT_EQ(testing::ReadFile(tree.At(c.name)), c.line) << c.name << ": its own file and the others passed over";
    EXPECT_EQ(sink.lines.back(), "The " + std::string(InfoOf(c.layout.digest).name) + " checksum file is save at \"" +
                                     tree.At(c.name) + "\"");
    std::filesystem::remove(tree.At(c.name));
  }
}

TEST_F(MakerTest, AFolderTextWithATrailingSeparatorGivesTheSameFile) {
  tree.Write("a.txt", "1");
  tree.Write("x/b.txt", "2");
  const Lines plain = Make(tree.path());
  const std::string without = testing::ReadFile(tree.At("CheckSum.md5"));
  const Lines slashed = Make(tree.path() + kPathSeparator);
  EXPECT_EQ(testing::ReadFile(tree.At("CheckSum.md5")), without);
  EXPECT_EQ(Lines(plain.begin(), plain.end() - 1), Lines(slashed.begin(), slashed.end() - 1));
  EXPECT_EQ(slashed.back(), "The MD5 checksum file is save at \"" + tree.At("CheckSum.md5") + "\"");
}

TEST_F(MakerTest, SubFoldersAreWalkedDepthFirstWhenAsked) {
  tree.Write("a.txt", "a");
  tree.Write("x/y/b.bin", "b");
  tree.Write("x/CheckSum.md5", "old");
#ifdef _WIN32
  const std::string lower = "CheckSum.md5.old";  // names ignore case there: checksum.md5 is the check file
#else
  const std::string lower = "checksum.md5";
#endif
  tree.Write("x/" + lower, "lower");
  tree.Write("x/other.md5", "other");
  tree.Write("x/" + ReplacingTempPrefix("CheckSum.md5") + "77aa02", "half a check file");
  tree.Folder("empty");

  const Lines lines = Make(tree.path());
  EXPECT_EQ(RecordsOf(tree.At("CheckSum.md5")),
            (std::multiset<std::string>{Record("a", "a.txt"), Record("b", "x\\y\\b.bin"),
                                        Record("lower", "x\\" + lower), Record("other", "x\\other.md5")}));
  EXPECT_EQ(Sorted(lines), (std::set<std::string>{
                               "", "Operation completed.",
                               "The MD5 checksum file is save at \"" + tree.At("CheckSum.md5") + "\"",
                               "Processing file \"a.txt\" ... OK", "Processing file \"b.bin\" ... OK",
                               "Processing file \"" + lower + "\" ... OK", "Processing file \"other.md5\" ... OK",
                               "Processing folder \"" + tree.At("x") + "\" ...",
                               "Processing folder \"" + tree.At("x/y") + "\" ...",
                               "Processing folder \"" + tree.At("empty") + "\" ..."}));
  // A sub-folder's lines follow its folder line: b.bin right after x/y's.
  const auto folder_y = std::find(lines.begin(), lines.end(), "Processing folder \"" + tree.At("x/y") + "\" ...");
  ASSERT_NE(folder_y, lines.end());
  EXPECT_EQ(*(folder_y + 1), "Processing file \"b.bin\" ... OK");
  // The window is pumped before each entry met: the 8 above, CheckSum.md5 and
  // the old temporary file in x; the unfinished check file has no name yet
  // where the system allows.
  EXPECT_GE(sink.pumps.size(), 9u);
  EXPECT_LE(sink.pumps.size(), 10u);
  EXPECT_TRUE(sink.left_out.empty());

  EXPECT_EQ(Make(tree.path(), false), (Lines{"Processing file \"a.txt\" ... OK", "", "Operation completed.",
                                             Completion(tree.path()).back()}));
  EXPECT_EQ(RecordsOf(tree.At("CheckSum.md5")), std::multiset<std::string>{Record("a", "a.txt")});
}

TEST_F(MakerTest, FilesThatCannotBeOpenedGetTheirLineAndNoRecord) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a FIFO, a socket, links and names that are not UTF-8";
#else
  ASSERT_EQ(::mkfifo(tree.At("fifo").c_str(), 0644), 0);
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", tree.At("socket").c_str());
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::symlink("nowhere", tree.At("dangling").c_str()), 0);
  tree.Write("back\\slash.txt", "cannot be written unambiguously");
  tree.Write("line\nbreak.txt", "would split its record");
  tree.Write("caf\xE9.txt", "not UTF-8");
  ASSERT_EQ(::symlink(tree.At("caf\xE9.txt").c_str(), tree.At("link.txt").c_str()), 0);

  const Lines lines = Make(tree.path());
  ::close(s);
  const std::map<std::string, std::pair<std::string, std::string>> reasons = {
      {"fifo", {"Could not open file", "Not a regular file"}},
      {"socket", {"Could not open file", "Not a regular file"}},
      {"dangling", {"Could not open file", "No such file or directory"}},
      {"back\\slash.txt", {"Name cannot be recorded", "Name cannot be recorded"}},
      {"line\nbreak.txt", {"Name cannot be recorded", "Name cannot be recorded"}}};
  for (const auto& [name, outcome] : reasons) {
    const auto& [status, reason] = outcome;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Processing file \"" + name + "\" ... " + status), 1) << name;
    EXPECT_EQ(std::count(sink.left_out.begin(), sink.left_out.end(), tree.At(name) + ": " + reason), 1) << name;
  }
  EXPECT_EQ(sink.left_out.size(), reasons.size());
  EXPECT_EQ(RecordsOf(tree.At("CheckSum.md5")),
            (std::multiset<std::string>{Record("not UTF-8", "caf\xE9.txt"), Record("not UTF-8", "link.txt")}))
      << "names are bytes; a link to a file is recorded under its own name";
#endif
}

TEST_F(MakerTest, UnreadableFilesAndUnlistableFoldersAsAnUnprivilegedUser) {
  SKIP_WITHOUT_POSIX("modes that bind an unprivileged user");
  const std::string top = tree.Folder("top");
  ::chmod(top.c_str(), 0777);
  tree.Write("top/open.txt", "open");
  ::chmod(tree.Write("top/locked.txt", "locked").c_str(), 0);
  tree.Write("top/closed/hidden.txt", "hidden");
  ::chmod(tree.At("top/closed").c_str(), 0);
  const std::string out = tree.Folder("out");
  ::chmod(out.c_str(), 0777);

  ASSERT_EQ(testing::RunUnprivileged([&] {
              RecordingSink lines;
              MakeCheckFile(Env::Default(), top, true, lines);
              std::ofstream file(out + "/lines");
              for (const std::string& line : lines.lines) file << line << '\n';
              for (const std::string& left : lines.left_out) file << "left out " << left << '\n';
              return file ? 0 : 1;
            }),
            0);
  const std::string written = testing::ReadFile(out + "/lines");
  std::set<std::string> lines;
  for (std::size_t at = 0; at < written.size(); at = written.find('\n', at) + 1)
    lines.insert(written.substr(at, written.find('\n', at) - at));
  EXPECT_EQ(lines, (std::set<std::string>{"", "Operation completed.",
                                          "Processing file \"locked.txt\" ... Could not open file",
                                          "Processing file \"open.txt\" ... OK",
                                          "Processing folder \"" + top + "/closed\" ...",
                                          "left out " + top + "/closed: Permission denied",
                                          "left out " + top + "/locked.txt: Permission denied",
                                          "The MD5 checksum file is save at \"" + top + "/CheckSum.md5\""}));
  const std::string text = testing::ReadFile(top + "/CheckSum.md5");
  EXPECT_EQ(text.substr(text.find("\r\n\r\n") + 4), Record("open", "open.txt"));
}

TEST_F(MakerTest, LinksToFoldersInsideAreNotEnteredButTheFolderTypedIsFollowed) {
  SKIP_WITHOUT_POSIX("symbolic links");
  tree.Write("top/a/f.txt", "f");
  tree.Write("outside.txt", "outside");
  for (const auto& [link, to] : std::map<std::string, std::string>{{"top/a/up", ".."},
                                                                  {"top/a/parent", "../.."},
                                                                  {"top/a/self", tree.At("top")},
                                                                  {"top/alias", "a"},
                                                                  {"top/root", "/"},
                                                                  {"top/a/file", "f.txt"}})
    ASSERT_EQ(::symlink(to.c_str(), tree.At(link).c_str()), 0);
  ASSERT_EQ(::symlink("top", tree.At("typed").c_str()), 0);
  env.sorted_listings = true;

  for (const std::string& folder : {tree.At("top"), tree.At("typed")}) {
    const Lines lines = Make(folder);
    EXPECT_EQ(RecordsOf(tree.At("top/CheckSum.md5")),
              (std::multiset<std::string>{Record("f", "a\\f.txt"), Record("f", "a\\file")}))
        << "a link to a file is recorded under its own name";
    EXPECT_EQ(Lines(lines.begin(), lines.end() - 3),
              (Lines{"Processing folder \"" + folder + "/a\" ...", "Processing file \"f.txt\" ... OK",
                     "Processing file \"file\" ... OK"}))
        << "in name order, as the fault Env lists";
  }
}

TEST_F(MakerTest, DepthCostsNoOpenFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a path 2,000 folders deep";
#else
  // 2,000 levels, one file in each, made with one call; the deepest path
  // still fits what the system opens.
  int folder = ::open(tree.path().c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < 2000 && folder >= 0; ++level) {
    const int below = ::mkdirat(folder, "d", 0755) == 0 ? ::openat(folder, "d", O_RDONLY | O_DIRECTORY) : -1;
    ::close(folder);
    folder = below;
    const int file = folder >= 0 ? ::openat(folder, "f", O_WRONLY | O_CREAT, 0644) : -1;
    ASSERT_TRUE(file >= 0 && ::write(file, "f", 1) == 1) << level;
    ::close(file);
  }
  ::close(folder);
  // 16 files open at most, through the fault Env: a walk that kept a level
  // open each would run out long before the bottom.
  env.open_files_allowed = 16;
  for (unsigned jobs : {1u, 4u}) {
    RecordingSink lines;
    MakeCheckFile(env, tree.path(), true, lines, jobs);
    EXPECT_EQ(std::count(lines.lines.begin(), lines.lines.end(), "Processing file \"f\" ... OK"), 2000) << jobs;
    EXPECT_TRUE(lines.left_out.empty()) << jobs << " jobs";
    EXPECT_EQ(RecordsOf(tree.At("CheckSum.md5")).size(), 2000u);
  }
#endif
}


TEST_F(MakerTest, AFileWhoseDigestFailsIsReportedNotLeftOutInSilence) {
  const std::string busy = tree.Write("busy.txt", "busy");
  tree.Write("fine.txt", "fine");
  env.locked_by_others = {busy};
  std::set<std::string> lines = {"", "Operation completed.", Completion(tree.path()).back(),
                                 "Processing file \"busy.txt\" ... Could not open file",
                                 "Processing file \"fine.txt\" ... OK"};
  std::set<std::string> left_out = {busy + ": " + SystemErrorMessage(testing::error::kBusy)};
  // Cut short or grown while read, through each reader: a digest of no
  // version of the file is never recorded. (Windows lets no one write to a
  // file the digest reads.)
#ifndef _WIN32
  for (std::size_t size : {(std::size_t{64} << 10) + 1, std::size_t{1} << 20, (std::size_t{8} << 20) + 1}) {
    const std::string cut = "cut" + std::to_string(size), grown = "grown" + std::to_string(size);
    env.shrinks_while_read[tree.Write(cut, testing::RandomBytes(size))] = size / 3;
    env.grows_while_read[tree.Write(grown, testing::RandomBytes(size))] = 1000;
    for (const std::string& name : {cut, grown}) {
      lines.insert("Processing file \"" + name + "\" ... Could not open file");
      left_out.insert(tree.At(name) + ": changed while it was read");
    }
  }
#endif
  Make(tree.path());
  EXPECT_EQ(Sorted(sink.lines), lines);
  EXPECT_EQ(RecordsOf(tree.At("CheckSum.md5")), std::multiset<std::string>{Record("fine", "fine.txt")});
  EXPECT_EQ(Sorted(sink.left_out), left_out);
}

// A fault of the system is no fact of a file or folder: leaving it out would
// cut records from the new check file in silence. The make stops, naming it.
TEST_F(MakerTest, AFaultOfTheSystemEndsTheMakeAndKeepsTheOldCheckFile) {
  for (int i = 0; i < 30; ++i) tree.Write("f" + std::to_string(i), std::to_string(i));
  for (int i = 0; i < 30; ++i) tree.Write("sub/g" + std::to_string(i), testing::RandomBytes(i * 1000, i));
  const std::string old = tree.Write("CheckSum.md5", "the old check file\r\n");
  const std::string f17 = tree.At("f17"), sub = tree.At("sub");
  const struct {
    const char* what;
    std::function<void(testing::FaultEnv&)> fault;
    std::string path;  // what the fault names; empty: it is no SystemFault
    int error;
  } cases[] = {
      {"out of memory at an open", [&](auto& e) { e.out_of_memory_after[f17] = 0; }, "", 0},
      {"a read failing part way", [&](auto& e) { e.reads_fail_after[tree.At("sub/g20")] = 5000; },
       tree.At("sub/g20"), testing::error::kIo},
      {"no descriptor for a file", [&](auto& e) { e.open_errors[f17] = testing::error::kNoDescriptor; }, f17, testing::error::kNoDescriptor},
      {"no memory for a file", [&](auto& e) { e.open_errors[f17] = testing::error::kNoMemory; }, f17, testing::error::kNoMemory},
      {"the top listing failing part way", [&](auto& e) { e.listings_fail_after[tree.path()] = {10, testing::error::kIo}; },
       tree.path(), testing::error::kIo},
      {"a sub-folder's listing failing part way", [&](auto& e) { e.listings_fail_after[sub] = {7, testing::error::kIo}; }, sub,
       testing::error::kIo},
      {"no descriptor for a sub-folder", [&](auto& e) { e.lookup_errors[sub] = testing::error::kNoDescriptor; }, sub, testing::error::kNoDescriptor},
      {"a failing look after the last read", [&](auto& e) { e.change_checks_fail[f17] = testing::error::kIo; }, f17,
       testing::error::kIo},
  };
  for (const auto& c : cases) {
    testing::FaultEnv faulty;
    c.fault(faulty);
    try {
      MakeCheckFile(faulty, tree.path(), true, sink);
      ADD_FAILURE() << c.what << ": the make went on";
    } catch (const SystemFault& e) {
      EXPECT_EQ(e.path(), c.path) << c.what;
      EXPECT_EQ(e.number(), c.error) << c.what;
    } catch (const std::bad_alloc&) {
      EXPECT_EQ(c.path, "") << c.what;
    }
    EXPECT_EQ(testing::ReadFile(old), "the old check file\r\n") << c.what;
    EXPECT_EQ(testing::ListedNames(tree.path()).size(), 32u) << c.what << ": the temporary file is removed";
  }
  // The folder made for is never "left out": listed again and refused, it
  // keeps its old check file too.
  testing::FaultEnv refused;
  refused.listings_fail_after[tree.path()] = {0, testing::error::kDenied};
  EXPECT_THROW(MakeCheckFile(refused, tree.path(), true, sink), SystemFault);
  EXPECT_EQ(testing::ReadFile(old), "the old check file\r\n");
}

TEST_F(MakerTest, AFailedWriteStopsTheMakeAndKeepsTheOldCheckFile) {
  for (int i = 0; i < 5; ++i) tree.Write(std::string("f") += std::to_string(i), std::to_string(i));
  const std::string old = tree.Write("CheckSum.md5", "the old check file\r\n");
  for (int allowed : {0, 3}) {  // the header, or the third record
    testing::FaultEnv full;
    full.appends_allowed = allowed;
    sink = RecordingSink();
    try {
      MakeCheckFile(full, tree.path(), true, sink);
      FAIL() << "a make that could not write must not succeed";
    } catch (const IoError& e) {
      EXPECT_EQ(std::string(e.what()), "Disk full");
    }
    EXPECT_EQ(testing::ReadFile(old), "the old check file\r\n");
    EXPECT_EQ(testing::ListedNames(tree.path()).size(), 6u) << "the temporary file is removed";
    EXPECT_EQ(std::count(sink.lines.begin(), sink.lines.end(), "Operation completed."), 0);
  }
}

TEST_F(MakerTest, TheCheckFileIsReplacedOnlyOnceEveryLineIsOut) {
  tree.Write("a.txt", "a");
  Make(tree.path());
  EXPECT_EQ(sink.flushes, std::vector<std::size_t>{sink.lines.size()}) << "flushed once, after the last line";

  // A front that cannot write its lines out stops the make before the rename.
  tree.Write("a.txt", "changed");
  struct FailingFlush : RecordingSink {
    void Flush() override { throw IoError(101); }
  } failing;
  EXPECT_THROW(MakeCheckFile(env, tree.path(), true, failing), IoError);
  EXPECT_EQ(RecordsOf(tree.At("CheckSum.md5")), std::multiset<std::string>{Record("a", "a.txt")})
      << "the last good check file stays";
  EXPECT_EQ(testing::ListedNames(tree.path()), (std::vector<std::string>{"CheckSum.md5", "a.txt"}));
}

TEST_F(MakerTest, AReadOnlyCheckFileStopsTheMakeBeforeAnyScan) {
  tree.Write("a.txt", "a");
  const std::string old = tree.Write("CheckSum.md5", "read-only");
  ::chmod(old.c_str(), 0444);
  try {
    Make(tree.path());
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), 5);
    EXPECT_EQ(WithFullStop(e.what()), "File access denied.");
  }
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_TRUE(sink.pumps.empty()) << "no scan";
  EXPECT_EQ(testing::ReadFile(old), "read-only");
}

TEST_F(MakerTest, InputChecks) {
  const std::string file = tree.Write("file", "");
  EXPECT_EQ(CheckMakeInput(env, ""), MakeInput::kNoFolder);
  EXPECT_EQ(CheckMakeInput(env, " \t\r\n\x1f "), MakeInput::kNoFolder);
  EXPECT_EQ(CheckMakeInput(env, file), MakeInput::kFolderMissing);
  EXPECT_EQ(CheckMakeInput(env, tree.At("none")), MakeInput::kFolderMissing);
  EXPECT_EQ(CheckMakeInput(env, " " + tree.path()), MakeInput::kFolderMissing) << "used exactly as typed";
  EXPECT_EQ(CheckMakeInput(env, tree.path()), MakeInput::kReady);
  EXPECT_EQ(MakeInputMessage(MakeInput::kNoFolder), "Please select or drag-and-drop a folder firstly.");
  EXPECT_EQ(MakeInputMessage(MakeInput::kFolderMissing), "The folder does not exist.");
  EXPECT_EQ(MakeInputMessage(MakeInput::kFolderUnreadable), "The folder cannot be read.");
#ifndef _WIN32  // an unprivileged user
  const std::string closed = tree.Folder("closed");
  ::chmod(closed.c_str(), 0333);  // may be written, not listed
  EXPECT_EQ(testing::RunUnprivileged([&] { return static_cast<int>(CheckMakeInput(Env::Default(), closed)); }),
            static_cast<int>(MakeInput::kFolderUnreadable));
#endif
#ifdef _WIN32
  EXPECT_EQ(CheckFilePathFor("C:\\"), "C:\\CheckSum.md5");
  EXPECT_EQ(CheckFilePathFor("d"), "d\\CheckSum.md5");
#else
  EXPECT_EQ(CheckFilePathFor("/"), "/CheckSum.md5");
  EXPECT_EQ(CheckFilePathFor("d"), "d/CheckSum.md5");
#endif
}

}  // namespace
}  // namespace quillora
