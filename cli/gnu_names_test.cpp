#include "cli/gnu_names.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "testing/posix_only.h"

namespace quillora::cli {
namespace {

// Each name as coreutils 9.1's sha256sum quotes it in the C locale (LC_ALL=C:
// no byte past ASCII prints), read off its "No such file or directory".
TEST(QuotedName, AsTheGnuToolsQuoteANameInTheCLocale) {
#ifndef _WIN32
  ::setenv("LC_ALL", "C", 1);  // before the first call, which takes the locale once
#endif
  const std::pair<std::string, std::string> cases[] = {
      {"plain-name_1.0+x,y%z/sub", "plain-name_1.0+x,y%z/sub"},
      {"a b", "'a b'"},
      {"a:b", "'a:b'"},
      {"a@b", "a@b"},
      {"a]b", "a]b"},
      {"#b", "'#b'"},
      {"a#b", "a#b"},
      {"~b", "'~b'"},
      {"a~b", "a~b"},
      {"{", "'{'"},
      {"a{b}", "a{b}"},
      {"a!b", "'a!b'"},
      {"a$b", "'a$b'"},
      {"a=b", "'a=b'"},
      {"a?b", "'a?b'"},
      {"a\\b", "'a\\b'"},
      {"a^b", "'a^b'"},
      {"", "''"},
      // A single quote alone asks for double quotes.
      {"a'b", "\"a'b\""},
      {"it's a b:c", "\"it's a b:c\""},
      {"a'$b", "'a'\\''$b'"},
      {"a'\"b", "'a'\\''\"b'"},
      {"a'#b", "'a'\\''#b'"},
      // What does not print goes in $'...'.
      {"a\nb", "'a'$'\\n''b'"},
      {"a\tb", "'a'$'\\t''b'"},
      {"a\n", "'a'$'\\n'"},
      {"\rb", "''$'\\r''b'"},
      {"a\x01" "b c", "'a'$'\\001''b c'"},
      {"a\x7f" "b", "'a'$'\\177''b'"},
      {"a\x1b" "b", "'a'$'\\033''b'"},
      {"\n'", "''$'\\n'\\'''"},
  };
  for (const auto& [name, quoted] : cases) EXPECT_EQ(QuotedName(name), quoted) << name;
  SKIP_WITHOUT_POSIX("the locale's characters: names are UTF-8 on Windows, and every character past ASCII prints");
  EXPECT_EQ(QuotedName("a\xc3\xa9" "b"), "'a'$'\\303\\251''b'");
}

TEST(CheckLineName, EscapedAsTheGnuCheckersEscapeANameThatWouldBreakItsLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain name", "plain name"},       {"new\nline", "\\new\\nline"}, {"cr\r", "\\cr\\r"},
      {"back\\slash", "\\back\\\\slash"}, {"tab\there", "tab\there"},    {"\\\n", "\\\\\\\\n"},
  };
  for (const auto& [name, escaped] : cases) EXPECT_EQ(CheckLineName(name), escaped) << name;
}

}  // namespace
}  // namespace quillora::cli
