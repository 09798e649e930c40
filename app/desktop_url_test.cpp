#include "app/desktop_url.h"

#include <gtest/gtest.h>

#include <string_view>

namespace quillora {
namespace {

TEST(DesktopUrl, OpensPathsAsLocalFilesAndAddressesAsTheyAreMeant) {
  struct Case {
    const char* target;
    PathRules rules;
    const char* url;
  };
  const Case cases[] = {
      {"/x/help.chm", kPosixPaths, "file:///x/help.chm"},
      {"/x/a\\b/help.chm", kPosixPaths, "file:///x/a%5Cb/help.chm"},  // "\" is a name's character
      {"/x/help #1.chm", kPosixPaths, "file:///x/help %231.chm"},    // not a fragment
      {"C:\\x\\help.chm", kWin32Paths, "file:///C:/x/help.chm"},
      {"C:\\help.chm", kWin32Paths, "file:///C:/help.chm"},
      {"\\\\host\\share\\help.chm", kWin32Paths, "file://host/share/help.chm"},
      {"mailto:support@quillora.example.org", kWin32Paths, "mailto:support@quillora.example.org"},
      {"mailto:support@quillora.example.org", kPosixPaths, "mailto:support@quillora.example.org"},
      {"quillora.example.org/md5", kWin32Paths, "https://quillora.example.org/md5"},
      {"quillora.example.org/md5", kPosixPaths, "https://quillora.example.org/md5"},
  };
  for (const Case& c : cases) {
#ifdef _WIN32
    // Qt on Windows takes "\" for a separator whatever the rules say.
    if (c.rules.separator == '/' && std::string_view(c.target).find('\\') != std::string_view::npos) continue;
#endif
    const QUrl url = DesktopUrl(QString::fromUtf8(c.target), c.rules);
    EXPECT_EQ(url.toString().toStdString(), c.url) << c.target;
  }
}

}  // namespace
}  // namespace quillora
