#include "platform/errors.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace quillora {
namespace {

TEST(IoErrors, TableTextsAndSystemCodes) {
  EXPECT_EQ(IoErrorMessage(2), "File not found");
  EXPECT_EQ(IoErrorMessage(3), "Invalid filename");
  EXPECT_EQ(IoErrorMessage(4), "Too many open files");
  EXPECT_EQ(IoErrorMessage(5), "File access denied");
  EXPECT_EQ(IoErrorMessage(100), "Read beyond end of file");
  EXPECT_EQ(IoErrorMessage(101), "Disk full");
  EXPECT_EQ(IoErrorMessage(106), "Invalid numeric input");
  EXPECT_EQ(IoErrorMessage(32), "I/O error 32");
}

#ifndef _WIN32
TEST(IoErrors, ErrnoMapsToTheTable) {

  EXPECT_EQ(IoErrorCodeFromSystem(ENOENT), 2);
  for (int e : {ENOTDIR, ENAMETOOLONG, EINVAL}) EXPECT_EQ(IoErrorCodeFromSystem(e), 3) << e;
  for (int e : {EMFILE, ENFILE}) EXPECT_EQ(IoErrorCodeFromSystem(e), 4) << e;
  for (int e : {EACCES, EPERM, EROFS}) EXPECT_EQ(IoErrorCodeFromSystem(e), 5) << e;
  for (int e : {ENOSPC, EDQUOT}) EXPECT_EQ(IoErrorCodeFromSystem(e), 101) << e;
  EXPECT_EQ(IoErrorCodeFromSystem(EIO), 0);
  EXPECT_STREQ(IoError::FromSystem(EIO).what(), ("I/O error " + std::to_string(EIO)).c_str())
      << "an unmapped number never borrows a table text";
  EXPECT_EQ(IoError::FromSystem(EIO).code(), EIO);
  EXPECT_STREQ(IoError::FromSystem(EACCES).what(), "File access denied");
}

TEST(SystemErrors, BelongToTheOneFamilyAndNameTheCall) {
  try {
    throw SystemError("opendir", EACCES);
  } catch (const Error& e) {  // what the window and the command line catch
    EXPECT_STREQ(e.what(), ("opendir: " + SystemErrorMessage(EACCES)).c_str());
    EXPECT_EQ(dynamic_cast<const SystemError&>(e).number(), EACCES);
  }
}
#endif

TEST(IoErrors, FullStopOnlyAfterCharactersThatSortAfterTheDot) {
  EXPECT_EQ(WithFullStop("File access denied"), "File access denied.");
  EXPECT_EQ(WithFullStop("x."), "x.");
  EXPECT_EQ(WithFullStop("x!"), "x!");
  EXPECT_EQ(WithFullStop("(x)"), "(x)");
  EXPECT_EQ(WithFullStop("x,"), "x,");
  EXPECT_EQ(WithFullStop("x/"), "x/.");
  EXPECT_EQ(WithFullStop("caf\xC3\xA9"), "caf\xC3\xA9.");
  EXPECT_EQ(WithFullStop(""), "");
}

}  // namespace
}  // namespace quillora
