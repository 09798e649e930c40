#include "digests/file_digest.h"


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
  // A read fails early on, or once the reader has gone round its buffers.
  for (std::size_t good : {std::size_t{2} << 20, std::size_t{13} << 20}) {
    testing::FaultEnv env;
    env.reads_fail_after[path] = good;
    try {
      FileDigestText(path, env);
      ADD_FAILURE() << "no error after " << good;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\". " + SystemErrorMessage(testing::error::kIo)) << good;
    }
  }
}

// A digest is of one version of the file: one that grows or shrinks while it
// is read has none, on the in-turn and on the overlapped reader.
TEST(Md5File, FilesChangingWhileReadHaveNoDigest) {
#ifdef _WIN32
  GTEST_SKIP() << "the digest denies writers on Windows: nothing can change the file while it is read";
#endif
  TempTree tree;
  testing::FaultEnv env;
  for (std::size_t size : {std::size_t{100000}, (std::size_t{8} << 20) + 1}) {
    const std::string grows = tree.Write("log" + std::to_string(size), testing::RandomBytes(size, 1));
    const std::string shrinks = tree.Write("cut" + std::to_string(size), testing::RandomBytes(size, 2));
    env.grows_while_read[grows] = 3 << 20;
    env.shrinks_while_read[shrinks] = size / 2;
    for (const std::string& path : {grows, shrinks}) {
      try {
        FileDigestText(path, env);
        ADD_FAILURE() << path << ": a digest of no version of the file";
      } catch (const SystemError& e) {
        EXPECT_EQ(e.number(), kChangedWhileRead) << path;
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\". changed while it was read");
      }
    }
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

}  // namespace
}  // namespace quillora
