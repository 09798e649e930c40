#include "checkfile/clear_signed.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/string_stream.h"

namespace quillora {
namespace {

// Each line as read once unwrapped ("-" for a line of the wrapper, "!" for
// one outside the signed message): gpg --clearsign's output (lines cut
// short) over a comment, a sha256sum --tag line and a line that starts with
// "-", with a line added before and after; then a plain file with a detached
// signature in it.
TEST(ClearSigned, ReadsTheSignedLinesOnly) {
  const std::vector<std::string> signed_file = {
      "before", "-----BEGIN PGP SIGNED MESSAGE-----", "Hash: SHA256", "", "# abc: 3 bytes",
      "SHA256 (abc) = ba7816bf", "- - dash line", "-----BEGIN PGP SIGNATURE-----", "",
      "iHUEARYIAB0WIQToOsngPahNhPrpCTgPUxfswq8QAwUCaxcfcQAK", "=EUJn", "-----END PGP SIGNATURE-----", "after",
      "-----BEGIN PGP SIGNED MESSAGE-----", "", "second"};
  const struct {
    std::vector<std::string> lines, read;
    bool expect_signed, signed_message;
  } cases[] = {
      {signed_file,
       {"!", "-", "-", "-", "# abc: 3 bytes", "SHA256 (abc) = ba7816bf", "- dash line", "-", "-", "-", "-", "-", "!",
        "!", "!", "!"},
       true, true},
      {{"- x", "-----BEGIN PGP SIGNATURE----- ", "abc", "-----END PGP SIGNATURE-----", "y"},
       {"- x", "-", "-", "-", "y"},
       false, false},
  };
  for (const auto& c : cases) {
    ClearSignedText text;
    if (c.expect_signed) text.ExpectSignedMessage();
    std::vector<std::string> read;
    for (const std::string& line : c.lines) {
      const ClearSignedText::Unwrapped unwrapped = text.Unwrap(line);
      read.emplace_back(unwrapped.part == ClearSignedText::Part::kRead      ? std::string(unwrapped.text)
                        : unwrapped.part == ClearSignedText::Part::kWrapper ? "-"
                                                                             : "!");
    }
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(text.signed_message(), c.signed_message);
  }
}

// Only a line the reader would cut to the armour begins a signed message,
// wherever the reads split the file.
TEST(ClearSigned, FindsTheLineThatBeginsASignedMessage) {
  const std::string armour = "-----BEGIN PGP SIGNED MESSAGE-----";
  const struct {
    std::string text;
    bool holds;
  } cases[] = {
      {"x\n" + armour + "\nHash: SHA256\n", true},
      {armour, true},
      {"\xEF\xBB\xBF" + armour + " \t\r\n", true},
      {"a\r\n" + armour + "\r", true},
      {"\xEF\xBB" + armour + "\n", false},
      {" " + armour + "\n", false},
      {armour + "x\n", false},
      {armour + "\r \n", false},
      {armour + "\r\r\n", false},
      {armour.substr(1) + "\n", false},
      {"", false},
  };
  for (const auto& c : cases) {
    for (std::size_t read_size : {1, 5, 4096}) {
      testing::StringStream input(c.text, read_size);
      EXPECT_EQ(HoldsSignedMessage(input), c.holds) << c.text << " / " << read_size;
    }
  }
}

}  // namespace
}  // namespace quillora
