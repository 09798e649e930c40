#include "md5/file_digest.h"


#include <algorithm>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "testing/fault_env.h"
#include "testing/posix_only.h"
#include "testing/temp_tree.h"

namespace quillora {
namespace {

using namespace std::string_literals;
using testing::TempTree;

std::string Md5sum(const std::string& path) {
#ifdef _WIN32
  // No md5sum here: the engine over the file's bytes in memory stands in.
  const std::string bytes = testing::ReadFile(path);
  return LowerAscii(DigestToHex(DigestOfBuffer(bytes.data(), bytes.size())));
#else
  const std::string command = "md5sum '" + path + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  char line[128] = {};
  const bool ok = std::fgets(line, sizeof line, pipe) != nullptr;
  ::pclose(pipe);
  return ok ? std::string(line, 32) : "";
#endif
}

TEST(Md5File, AgreesWithMd5sumOverManySizes) {
  TempTree tree;
  for (std::size_t size : {0, 1, 55, 56, 64, 4095, 4096, 4097, 65536, 262143, 262144, 262145, 1000003}) {
    std::string name = "f";
    name += std::to_string(size);
    const std::string path = tree.Write(name, testing::RandomBytes(size, size + 1));
    EXPECT_EQ(LowerAscii(FileDigestText(path)), Md5sum(path)) << size << " bytes";
  }
}

TEST(Md5File, OpenErrorsNameTheAbsolutePath) {
  TempTree tree;
  ASSERT_EQ(::chdir(tree.path().c_str()), 0);
  try {
    FileDigestText("missing.bin");
    FAIL() << "no error";
  } catch (const Error& e) {
#ifdef _WIN32
    const std::string missing = SystemErrorMessage(2);  // ERROR_FILE_NOT_FOUND
#else
    const std::string missing = "No such file or directory";
#endif
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + tree.At("missing.bin") + "\". " + missing);
  }
  tree.Folder("dir");
  EXPECT_THROW(FileDigestText(tree.At("dir")), Error);
#ifndef _WIN32  // no FIFOs
  ASSERT_EQ(::mkfifo(tree.At("fifo").c_str(), 0644), 0);
  EXPECT_THROW(FileDigestText(tree.At("fifo")), Error) << "a FIFO without a writer must not block";
#endif
  EXPECT_THROW(FileDigestText(tree.At("a\0b"s)), Error);
  ASSERT_EQ(::chdir("/"), 0);
}

TEST(Md5File, UnreadableFileRaisesForAnUnprivilegedUser) {
  SKIP_WITHOUT_POSIX("an unprivileged user");
  TempTree tree;
  const std::string path = tree.Write("secret", "x");
  ::chmod(path.c_str(), 0);
  const int outcome = testing::RunUnprivileged([&] {
    try {
      FileDigestText(path);
      return 1;
    } catch (const Error& e) {
      return std::string(e.what()) == "Cannot open file \"" + path + "\". Permission denied" ? 0 : 2;
    }
  });
  EXPECT_EQ(outcome, 0);
}

TEST(Md5File, AReadErrorRaisesInsteadOfAPartialDigest) {
  SKIP_WITHOUT_POSIX("/proc");
  // /proc/self/mem opens as a file of size 0, and reading its first page fails.
  try {
    FileDigestText("/proc/self/mem");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"/proc/self/mem\". Input/output error");
  }
}

// Large files are read on a second thread while they are hashed; the digest
// and the failure rule must not change.
TEST(Md5File, LargeFilesReadAheadDigestTheSame) {
  TempTree tree;
  for (std::size_t size : {(8u << 20) - 1, 8u << 20, (20u << 20) + 12345}) {
    std::string name = "big";
    name += std::to_string(size);
    const std::string bytes = testing::RandomBytes(size, static_cast<unsigned>(size));
    const std::string path = tree.Write(name, bytes);
    EXPECT_EQ(FileDigestText(path), DigestToHex(DigestOfBuffer(bytes.data(), bytes.size()))) << size;
  }
}

TEST(Md5File, AReadErrorPartWayThroughALargeFileRaises) {
  TempTree tree;
  const std::string path = tree.Write("big.iso", std::string(20 << 20, 'x'));
  testing::FaultEnv env;
  env.reads_fail_after[path] = 2 << 20;  // the third of its 1 MiB reads fails
  try {
    FileDigestText(path, env);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\". " + SystemErrorMessage(EIO));
  }
}

// A file that grows while it is read (a log being written) is digested over
// the size it had when it was opened, on both read paths.
TEST(Md5File, LargeFilesGrowingWhileReadGiveTheDigestOfTheirFirstSize) {
#ifdef _WIN32
  GTEST_SKIP() << "the digest opens a file unshared on Windows: nothing can make it grow while it is read";
#endif
  TempTree tree;
  testing::FaultEnv env;
  for (std::size_t size : {std::size_t{100000}, std::size_t{8} << 20, (std::size_t{8} << 20) + 12345}) {
    const std::string bytes = testing::RandomBytes(size, static_cast<unsigned>(size));
    const std::string path = tree.Write("log" + std::to_string(size), bytes);
    env.grows_while_read[path] = 3 << 20;
    EXPECT_EQ(FileDigestText(path, env), DigestToHex(DigestOfBuffer(bytes.data(), bytes.size()))) << size;
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), size + (3 << 20)) << "the file did grow while it was read";
  }
}

TEST(Md5File, SparseFileOverFourGiBAgreesWithMd5sum) {
  SKIP_WITHOUT_POSIX("a sparse file from ftruncate (Windows would write the 4 GiB)");
  TempTree tree;
  const std::string path = tree.At("sparse");
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(::ftruncate(::fileno(f), (std::int64_t{4} << 30) + 3), 0);
  std::fclose(f);
  EXPECT_EQ(LowerAscii(FileDigestText(path)), Md5sum(path));
}

// A stream over memory that counts its reads and can fail on one of them.
class MemoryStream : public Stream {
 public:
  explicit MemoryStream(std::string bytes, int fail_at_read = -1)
      : bytes_(std::move(bytes)), fail_at_read_(fail_at_read) {}
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() override { return static_cast<std::int64_t>(pos_); }
  bool Seek(std::int64_t p) override {
    pos_ = static_cast<std::size_t>(p);
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    if (reads_++ == fail_at_read_) return -1;
    n = std::min(n, bytes_.size() - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::int64_t>(n);
  }
  int reads() const { return reads_; }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
  int fail_at_read_;
  int reads_ = 0;
};

TEST(Md5Stream, ReadCountsAndRestoredPosition) {
  MemoryStream empty("");
  EXPECT_EQ(LowerAscii(DigestToHex(DigestOfStream(empty))), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(empty.reads(), 1) << "one read, returning 0 bytes";

  for (int k = 1; k <= 3; ++k) {
    const std::string bytes = testing::RandomBytes(4096 * k, k);
    MemoryStream stream(bytes);
    stream.Seek(123);
    EXPECT_EQ(DigestOfStream(stream), DigestOfBuffer(bytes.data(), bytes.size()));
    EXPECT_EQ(stream.reads(), k) << "no read after the size is met";
    EXPECT_EQ(stream.Position(), 123);
  }
  MemoryStream odd(std::string(5000, 'x'));
  DigestOfStream(odd);
  EXPECT_EQ(odd.reads(), 2);
}

TEST(Md5Stream, AFailedReadEndsTheDigestQuietly) {
  const std::string bytes = testing::RandomBytes(3 * 4096, 3);
  MemoryStream stream(bytes, /*fail_at_read=*/1);
  stream.Seek(17);
  EXPECT_EQ(DigestOfStream(stream), DigestOfBuffer(bytes.data(), 4096)) << "the bytes read before the failure";
  EXPECT_EQ(stream.Position(), 17);
}

}  // namespace
}  // namespace quillora
