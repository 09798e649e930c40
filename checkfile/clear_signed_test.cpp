#include "checkfile/clear_signed.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillora {
namespace {

// Each line as read once unwrapped ("-" for a line of the wrapper): gpg
// --clearsign's output (lines cut short) over a comment, a sha256sum --tag
// line and a line that starts with "-"; then a plain file with a detached
// signature in it.
TEST(ClearSigned, ReadsTheSignedLinesOnly) {
  const struct {
    std::vector<std::string> lines, read;
    bool signed_message;
  } cases[] = {
      {{"-----BEGIN PGP SIGNED MESSAGE-----", "Hash: SHA256", "", "# abc: 3 bytes", "SHA256 (abc) = ba7816bf",
        "- - dash line", "-----BEGIN PGP SIGNATURE-----", "", "iHUEARYIAB0WIQToOsngPahNhPrpCTgPUxfswq8QAwUCaxcfcQAK",
        "=EUJn", "-----END PGP SIGNATURE-----", "after"},
       {"-", "-", "-", "# abc: 3 bytes", "SHA256 (abc) = ba7816bf", "- dash line", "-", "-", "-", "-", "-", "after"},
       true},
      {{"- x", "-----BEGIN PGP SIGNATURE----- ", "abc", "-----END PGP SIGNATURE-----", "y"},
       {"- x", "-", "-", "-", "y"},
       false},
  };
  for (const auto& c : cases) {
    ClearSignedText text;
    std::vector<std::string> read;
    for (const std::string& line : c.lines) read.emplace_back(text.Unwrap(line).value_or("-"));
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(text.signed_message(), c.signed_message);
  }
}

}  // namespace
}  // namespace quillora
