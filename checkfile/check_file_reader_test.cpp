#include "checkfile/check_file_reader.h"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "testing/string_stream.h"

namespace quillora {
namespace {

using namespace std::string_literals;
using Records = std::vector<std::pair<std::string, std::string>>;

const std::string kDigest = "d41d8cd98f00b204e9800998ecf8427e";

Records ReadAll(const std::string& bytes, std::size_t max_read, const std::string& prefix = "") {
  testing::StringStream input(bytes, max_read);
  CheckFileReader reader(input, prefix);
  Records records;
  CheckRecord record;
  while (reader.Next(record)) records.emplace_back(record.digest_text, record.relative_path);
  EXPECT_FALSE(reader.Next(record)) << "stays at the end";
  return records;
}

// Every rule must hold wherever the input's reads happen to split it.
class CheckFileReaderTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  Records Read(const std::string& bytes, const std::string& prefix = "") { return ReadAll(bytes, GetParam(), prefix); }
};

INSTANTIATE_TEST_SUITE_P(ReadSizes, CheckFileReaderTest, ::testing::Values(1, 3, 33, 1 << 20));

TEST_P(CheckFileReaderTest, LineEndsCrLfLfAndLoneCrReadAlike) {
  const Records expected = {{kDigest, "a.txt"}, {kDigest, "b.txt"}};
  EXPECT_EQ(Read(kDigest + "\ta.txt\r\n" + kDigest + "\tb.txt\r\n"), expected);
  EXPECT_EQ(Read(kDigest + "\ta.txt\n" + kDigest + "\tb.txt\n"), expected);
  EXPECT_EQ(Read(kDigest + "\ta.t\rxt\n" + kDigest.substr(0, 5) + "\r" + kDigest.substr(5) + "\tb.txt\r"),
            expected)
      << "a CR anywhere is dropped and ends no line";
  EXPECT_EQ(Read(kDigest + "\ta.txt\r\n" + kDigest + "\tb.txt"), expected) << "the last line needs no end";
}

TEST_P(CheckFileReaderTest, CtrlZEndsTheInput) {
  EXPECT_EQ(Read(kDigest + "\ta.txt\r\n" + kDigest + "\tb\x1a.txt\r\n" + kDigest + "\tc.txt\r\n"),
            (Records{{kDigest, "a.txt"}, {kDigest, "b"}}));
  EXPECT_EQ(Read("\x1a" + kDigest + "\ta.txt\r\n"), Records{});
}

TEST_P(CheckFileReaderTest, OnlyLinesWhoseFirstTabIsThe33rdCharacterAreRecords) {
  const std::string upper = "D41D8CD98F00B204E9800998ECF8427E";
  const std::string text = ";MD5 sums\r\n"
                           ";" + kDigest + "\tcommented.txt\r\n"
                           "\r\n" +
                           kDigest + "  two-blanks.txt\r\n" +
                           kDigest + " *star.txt\r\n" +
                           kDigest.substr(1) + "\tshort.txt\r\n" +
                           kDigest + "0\tlong.txt\r\n" +
                           " " + kDigest + "\tindented.txt\r\n" +
                           "\t" + kDigest + "\r\n" +
                           upper + "\tupper.txt\r\n" +
                           "not hex, but 32 characters long.\tnonhex.txt\r\n" +
                           kDigest + "\t\r\n" +
                           kDigest + "\t a\tb \r\n" +
                           kDigest + "\tC:\\x\\y.txt\r\n";
  const Records expected = {
      {upper, "upper.txt"}, {"not hex, but 32 characters long.", "nonhex.txt"}, {kDigest, ""},
      {kDigest, " a\tb "},  {kDigest, "C:\\x\\y.txt"},
  };
  EXPECT_EQ(Read(text), expected);
}

TEST_P(CheckFileReaderTest, NoLineLengthLimit) {
  const std::string long_path(3 << 20, 'p');
  const std::string long_comment = ";" + std::string(2 << 20, 'c');
  const std::string text = long_comment + "\n" + kDigest + "\t" + long_path + "\n" + kDigest + "\tz";
  EXPECT_EQ(Read(text), (Records{{kDigest, long_path}, {kDigest, "z"}}));
  EXPECT_EQ(Read(text, "/base/"), (Records{{kDigest, "/base/" + long_path}, {kDigest, "/base/z"}}))
      << "a prefix goes before every path, long or short";
}

TEST(CheckFileReader, AFailedReadRaisesAfterTheRecordsBeforeIt) {
  const std::string text = kDigest + "\ta\r\n" + kDigest + "\tb\r\n" + kDigest + "\tc\r\n";
  testing::StringStream input(text, 7, text.size() - 3);
  CheckFileReader reader(input);
  CheckRecord record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.relative_path, "a");
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.relative_path, "b");
  EXPECT_THROW(reader.Next(record), IoError) << "a cut-off record is never passed off as whole";
}

TEST(CheckFileReader, NulBytesStayInThePath) {
  EXPECT_EQ(ReadAll(kDigest + "\ta.txt\0junk\r\n"s, 1 << 20), (Records{{kDigest, "a.txt\0junk"s}}));
}

}  // namespace
}  // namespace quillora
