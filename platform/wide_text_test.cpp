#include "platform/wide_text.h"

#include <gtest/gtest.h>

namespace quillora {
namespace {

TEST(WideText, IsUtf8TellsWellFormedFromNot) {
  const struct {
    const char* text;
    bool utf8;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"caf\xC3\xA9", true},
      {"\xE2\x82\xAC \xF0\x9F\x98\x80", true},  // three and four bytes
      {"caf\xE9", false},                        // Latin-1
      {"\xC3", false},                           // cut short
      {"\xC0\xAF", false},                       // overlong "/"
      {"\xED\xA0\x80", false},                   // a UTF-16 surrogate
      {"\xF4\x90\x80\x80", false},               // past U+10FFFF
      {"\x80", false},                           // a continuation alone
  };
  for (const auto& c : cases) EXPECT_EQ(IsUtf8(c.text), c.utf8) << c.text;
}

TEST(WideText, LegacyTextIsMendedOnlyOnWindowsAndOnlyPastTheOffset) {
  std::string utf8 = "dir\\caf\xC3\xA9";
  MendLegacyText(utf8, 4);
  EXPECT_EQ(utf8, "dir\\caf\xC3\xA9") << "UTF-8 stays as it is";
  std::string ansi = "\xE9\\caf\xE9";
  MendLegacyText(ansi, 2);
#ifdef _WIN32
  EXPECT_EQ(ansi.substr(0, 2), "\xE9\\") << "the part before the offset is not touched";
  EXPECT_NE(ansi.find("caf"), std::string::npos);
  EXPECT_TRUE(IsUtf8(ansi.substr(2)));
#else
  EXPECT_EQ(ansi, "\xE9\\caf\xE9") << "names are bytes on POSIX";
#endif
}

}  // namespace
}  // namespace quillora
