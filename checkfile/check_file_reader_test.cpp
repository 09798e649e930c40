#include "checkfile/check_file_reader.h"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "checkfile/check_file_format.h"
#include "platform/errors.h"
#include "testing/string_stream.h"

namespace quillora {
namespace {

using namespace std::string_literals;
using Records = std::vector<std::pair<std::string, std::string>>;

const std::string kDigest = "d41d8cd98f00b204e9800998ecf8427e";

// The digest a record holds, as text: as written in Quillora's layout, in
// lower case in the others.
std::string DigestOf(const CheckRecord& record) {
  return record.digests.empty() ? record.digest_text : HexText(record.digests.front().value);
}

Records ReadAll(const std::string& bytes, std::size_t max_read, const std::string& prefix = "") {
  testing::StringStream input(bytes, max_read);
  CheckFileReader reader(input, prefix);
  Records records;
  CheckRecord record;
  while (reader.Next(record)) records.emplace_back(DigestOf(record), record.path);
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

// In Quillora's layout a Ctrl-Z ends the records (what follows is counted as
// not read: LinesThatAreNoRecordAreCountedByNumber); elsewhere it ends
// nothing.
TEST_P(CheckFileReaderTest, CtrlZEndsTheRecordsOfQuillorasLayoutOnly) {
  EXPECT_EQ(Read(kDigest + "\ta.txt\r\n" + kDigest + "\tb\x1a.txt\r\n" + kDigest + "\tc.txt\r\n"),
            (Records{{kDigest, "a.txt"}, {kDigest, "b"}}));
  EXPECT_EQ(Read("\x1a" + kDigest + "\ta.txt\r\n"), Records{});
  EXPECT_EQ(Read(kDigest + "  a\n\x1a\n" + kDigest + "  b\n"), (Records{{kDigest, "a"}, {kDigest, "b"}}));
  EXPECT_EQ(Read(kDigest + "  a\n\x1a"), (Records{{kDigest, "a"}}));
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
      {kDigest, " a\tb "},  {kDigest, FromCheckFilePath("C:\\x\\y.txt")},
  };
  EXPECT_EQ(Read(text), expected);
}

TEST_P(CheckFileReaderTest, AByteOrderMarkAtTheStartHidesNoRecord) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(Read(bom + kDigest + "\ta.txt\r\n"), (Records{{kDigest, "a.txt"}}));
  EXPECT_EQ(Read(bom + ";" + kDigest + "\tcomment\r\n"), Records{}) << "a comment stays a comment";
  EXPECT_EQ(Read(bom), Records{});
  EXPECT_EQ(Read("\xEF\xBB" + kDigest + "\ta.txt\r\n"), Records{}) << "only the whole mark is passed over";
  EXPECT_EQ(Read(kDigest + "\ta\n" + bom + kDigest + "\tb\n"), (Records{{kDigest, "a"}})) << "only at the start";
}

// Lines of a file without a record of Quillora's layout: what each reads as.
struct Md5sumLineCase {
  std::string line;    // ended by LF or CR LF in the file
  std::string digest;  // empty: no record
  std::string path;
  bool improper = false;
};

TEST_P(CheckFileReaderTest, AFileWithoutOwnRecordsIsReadInMd5sumLayouts) {
  const std::string upper = "D41D8CD98F00B204E9800998ECF8427E";
  const std::vector<Md5sumLineCase> cases = {
      // md5sum, md5sum -b
      {kDigest + "  a b", kDigest, "a b"},
      {kDigest + " *bin", kDigest, "bin"},
      {upper + "  up", kDigest, "up"},  // read as bytes
      {kDigest + "   lead", kDigest, " lead"},
      {kDigest + " one-blank", "", "", true},  // the first untagged line had two
      {kDigest + " ** star", kDigest, "* star"},
      {" \t" + kDigest + "  indented", kDigest, "indented"},
      {kDigest + "  sub\\x.txt", kDigest, "sub\\x.txt"},  // as written: the verify looks for that file first
      {kDigest + "  cr\rin", kDigest, "cr\rin"},
      {kDigest + "  z\x1az", kDigest, "z\x1az"},
      {kDigest + "  ", "", "", true},  // md5sum's: one byte after the blank is a name of one
      {"\\" + kDigest + "  b\\\\s\\nl\\r", kDigest, "b\\s\nl\r"},
      {"\\" + kDigest + "  bad\\x", "", "", true},
      {"\\" + kDigest + "  cut\\", "", "", true},
      {"\\ " + kDigest + "  x", "", "", true},
      {kDigest + "0  long", "", "", true},
      {kDigest.substr(1) + "  short", "", "", true},
      {kDigest + "*nospace", "", "", true},
      {kDigest, "", "", true},
      {"g" + kDigest.substr(2) + "  nonhex", "", "", true},
      // Not hexadecimal, but base64 of 24 bytes: cksum --base64 -a blake2b -l 192
      {"g" + kDigest.substr(1) + "  b64", "838d5df1c77df1fd346f6d387bdf34d3df7c79c7fce36ede", "b64"},
      // md5sum --tag, openssl md5
      {"MD5 (a b) = " + kDigest, kDigest, "a b"},
      {"MD5 (x) = y) = " + kDigest, kDigest, "x) = y"},
      {"\\MD5 (n\\nl) = " + kDigest, kDigest, "n\nl"},
      {"MD5(o)= " + upper, kDigest, "o"},
      {"MD5 (p)=" + kDigest, kDigest, "p"},
      {"MD5 (sub\\x.txt) = " + kDigest, kDigest, "sub\\x.txt"},
      // OpenSSL and coreutils spell tags in different cases; blanks may end a line
      {"MD5 (t) = " + kDigest + " ", kDigest, "t"},
      {"md5 (t) = " + kDigest, kDigest, "t"},
      {"MD5 (t) " + kDigest, "", "", true},
      {"MD5 t) = " + kDigest, "", "", true},
      {"SHA1 (t) = " + kDigest, "", "", true},
      {"\\MD5 (t\\q) = " + kDigest, "", "", true},
      // passed over
      {"", "", ""},
      {" \t ", "", ""},
      {"#" + kDigest + "  comment", "", ""},
      {";" + kDigest + "  comment", "", ""},
  };
  std::string text = "\xEF\xBB\xBF";
  Records expected;
  std::int64_t improper = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    text += cases[i].line + (i % 2 == 0 ? "\n" : "\r\n");
    if (!cases[i].digest.empty()) expected.emplace_back(cases[i].digest, cases[i].path);
    improper += cases[i].improper ? 1 : 0;
  }
  testing::StringStream input(text + "\x1a" + kDigest + "  after-ctrl-z\n", GetParam());
  CheckFileReader reader(input, "/base/");
  Records records;
  CheckRecord record;
  while (reader.Next(record)) records.emplace_back(DigestOf(record), record.path.substr(6));
  EXPECT_EQ(records, expected);
  EXPECT_EQ(reader.unread_lines(), improper + 1) << "a Ctrl-Z ends nothing: the line it starts is improper";
  EXPECT_EQ(reader.layout(), CheckFileLayout::kMd5sum);
}

// As md5sum reads them: a file whose first untagged line has one blank
// keeps a name's own leading blank or "*".
TEST_P(CheckFileReaderTest, TheFirstUntaggedLineSettlesTheBlankForm) {
  testing::StringStream input("MD5 (t) = " + kDigest + "\n" + kDigest + " a\n" + kDigest + "  b\n" + kDigest +
                                  " *c\n" + kDigest + "  \n" + kDigest + " \n",
                              GetParam());
  CheckFileReader reader(input);
  Records records;
  CheckRecord record;
  while (reader.Next(record)) records.emplace_back(DigestOf(record), record.path);
  EXPECT_EQ(records, (Records{{kDigest, "t"}, {kDigest, "a"}, {kDigest, " b"}, {kDigest, "*c"}, {kDigest, " "}}));
  EXPECT_EQ(reader.first_unread(), (std::vector<UnreadLine>{{6, ""}})) << "a line with no name";
}

// A line that is neither a record, a comment nor empty may have named a
// file: it is counted and numbered, whichever layout the file is in, with
// what it looks like when it looks like another digest's record, or what it
// is when it is a record of a digest not computed here.
TEST_P(CheckFileReaderTest, LinesThatAreNoRecordAreCountedByNumber) {
  const std::string sha256(64, 'a'), sha1(40, 'b');
  CheckRecord record;
  const struct {
    std::string text;
    ReadingRules rules;
    CheckFileLayout layout;
    std::vector<UnreadLine> unread;
    std::vector<UnreadKind> kinds;
    std::int64_t passed_over = 0;
  } cases[] = {
      {";header\r\n\r\n" + kDigest + "  gnu\r\njunk\r\n" + kDigest + "\town\r\n   \r\n" + kDigest.substr(1) +
           "\tcut\r\nSHA256 (x) = " + sha256 + "\r\n",
       {}, CheckFileLayout::kQuillora, {{3, ""}, {4, ""}, {7, ""}, {8, "SHA256"}}, {{"SHA256", 1}}},
      {kDigest + "\town\n" + kDigest + "  gnu\n", {}, CheckFileLayout::kQuillora, {{2, ""}}, {}},
      // The name implies MD5; a tag says otherwise, when it fits.
      {kDigest + "  a\n" + sha256 + "  b\n#c\n" + sha1 + " *d\n\n" + "SHA1(e)= " + kDigest + "\nx\nSHA1(f)= " + sha1,
       {"MD5SUMS", {}}, CheckFileLayout::kMd5sum, {{2, "256-bit"}, {4, "160-bit"}, {6, "SHA1"}, {7, ""}},
       {{"256-bit", 1}, {"160-bit", 1}, {"SHA1", 1}}},
      // Every BLAKE2b length is computed (b2sum -l 128); MD4 is not.
      {kDigest + "  a\nMD4 (b) = " + kDigest + "\nMD4 (c) = " + kDigest, {"B2SUMS", {}}, CheckFileLayout::kMd5sum,
       {{2, "MD4"}, {3, "MD4"}}, {{"MD4", 2, UnreadWhy::kLacked}}},
      // A run of digits longer than MD5's is some BLAKE2b's length; a shorter one may be a year.
      {kDigest + "\town\n" + std::string(34, 'c') + "  x\n2024  y\n", {}, CheckFileLayout::kQuillora,
       {{2, "136-bit"}, {3, ""}}, {{"136-bit", 1}}},
      // The user's digest: none of Quillora's own records; a line its tag
      // says is of another is passed over, as asked.
      {kDigest + "\town\n" + sha256 + "  a\nSHA1 (b) = " + sha1 + "\n", {"", {DigestId::kSha256}},
       CheckFileLayout::kMd5sum, {{1, ""}}, {}, 1},
      // After a Ctrl-Z, every line but an empty one: the rest of its own line first.
      {kDigest + "\ta\n" + kDigest + "\tb\x1a rest\n\n \n" + kDigest + "\tc\n", {}, CheckFileLayout::kQuillora,
       {{2, ""}, {5, ""}}, {{"", 2, UnreadWhy::kAfterEndMark}}},
      // Outside a signed message: before it and after its signature.
      {"x  before\n-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n" + kDigest +
           "  in\n-----BEGIN PGP SIGNATURE-----\nabc\n-----END PGP SIGNATURE-----\n\n" + kDigest + "  after\n",
       {}, CheckFileLayout::kMd5sum, {{1, ""}, {10, ""}}, {{"", 2, UnreadWhy::kOutsideMessage}}},
  };
  for (const auto& c : cases) {
    testing::StringStream input(c.text, GetParam());
    CheckFileReader reader(input, "", c.rules);
    while (reader.Next(record)) {
    }
    EXPECT_EQ(reader.layout(), c.layout) << c.text;
    EXPECT_EQ(reader.first_unread(), c.unread) << c.text;
    EXPECT_EQ(reader.unread_kinds(), c.kinds) << c.text;
    EXPECT_EQ(reader.unread_lines(), static_cast<std::int64_t>(c.unread.size()));
    EXPECT_EQ(reader.passed_over_lines(), c.passed_over) << c.text;
  }
}

// As `sha256sum -z` writes them: a NUL ends each record, and a line feed or a
// carriage return in a name is a byte of it, never escaped.
TEST_P(CheckFileReaderTest, RecordsEndedByNulKeepLineBreaksInTheirNames) {
  const std::string text = kDigest + "  new\nline\r"s + '\0' + kDigest + "  plain" + '\0' + "junk" + '\0' + kDigest +
                           " *last";
  testing::StringStream input(text, GetParam());
  CheckFileReader reader(input, "", {.nul_ended = true});
  Records records;
  CheckRecord record;
  while (reader.Next(record)) records.emplace_back(DigestOf(record), record.path);
  EXPECT_EQ(records, (Records{{kDigest, "new\nline\r"}, {kDigest, "plain"}, {kDigest, "last"}}));
  EXPECT_EQ(reader.first_unread(), (std::vector<UnreadLine>{{3, ""}}));
}

// Each unread line's number comes once, after the records before it and
// before those after it, every one of them past the kept, and none of a
// first reading given up for the other tools' layouts.
TEST_P(CheckFileReaderTest, UnreadNumbersComeInPlaceAndAllOfThem) {
  std::string text = "junk\n" + kDigest + "  a\n";
  for (std::size_t i = 0; i < CheckFileReader::kUnreadKept + 5; ++i) text += "junk\n";
  text += kDigest + "  b\n#comment\njunk";
  testing::StringStream input(text, GetParam());
  CheckFileReader reader(input, "", {.keep_unread_numbers = true});
  CheckRecord record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(reader.TakeUnreadNumbers(), (std::vector<std::int64_t>{1})) << "the first reading's lines are not told";
  ASSERT_TRUE(reader.Next(record));
  const std::vector<std::int64_t> between = reader.TakeUnreadNumbers();
  ASSERT_EQ(between.size(), CheckFileReader::kUnreadKept + 5);
  EXPECT_EQ(between.front(), 3);
  EXPECT_EQ(between.back(), static_cast<std::int64_t>(CheckFileReader::kUnreadKept) + 7);
  EXPECT_FALSE(reader.Next(record));
  EXPECT_EQ(reader.TakeUnreadNumbers(), (std::vector<std::int64_t>{between.back() + 3}));
  EXPECT_EQ(reader.first_unread().size(), CheckFileReader::kUnreadKept) << "the kept for the summary stay as many";

  testing::StringStream again(text, GetParam());
  CheckFileReader untold(again);
  while (untold.Next(record)) {
  }
  EXPECT_TRUE(untold.TakeUnreadNumbers().empty()) << "kept only when asked for";
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
  EXPECT_EQ(record.path, "a");
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.path, "b");
  EXPECT_THROW(reader.Next(record), IoError) << "a cut-off record is never passed off as whole";
}

TEST(CheckFileReader, NulBytesStayInThePath) {
  EXPECT_EQ(ReadAll(kDigest + "\ta.txt\0junk\r\n"s, 1 << 20), (Records{{kDigest, "a.txt\0junk"s}}));
}

}  // namespace
}  // namespace quillora
