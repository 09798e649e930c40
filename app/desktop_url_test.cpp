#include "app/desktop_url.h"

#include <gtest/gtest.h>

namespace quillora {
namespace {

TEST(DesktopUrl, OpensPathsAsLocalFilesAndAddressesAsTheyAreMeant) {
  struct Case {
    const char* target;
    PathRules rules;
    const char* url;
  };
  const Case cases[] = {
      {"/x/help.chm", PathRules::kPosix, "file:///x/help.chm"},
      {"/x/a\\b/help.chm", PathRules::kPosix, "file:///x/a%5Cb/help.chm"},  // "\" is a name's character
      {"/x/help #1.chm", PathRules::kPosix, "file:///x/help %231.chm"},    // not a fragment
      {"C:\\x\\help.chm", PathRules::kWindows, "file:///C:/x/help.chm"},
      {"C:\\help.chm", PathRules::kWindows, "file:///C:/help.chm"},
      {"\\\\host\\share\\help.chm", PathRules::kWindows, "file://host/share/help.chm"},
      {"mailto:support@quillora.example.org", PathRules::kWindows, "mailto:support@quillora.example.org"},
      {"mailto:support@quillora.example.org", PathRules::kPosix, "mailto:support@quillora.example.org"},
      {"quillora.example.org/md5", PathRules::kWindows, "https://quillora.example.org/md5"},
      {"quillora.example.org/md5", PathRules::kPosix, "https://quillora.example.org/md5"},
  };
  for (const Case& c : cases) {
    const QUrl url = DesktopUrl(QString::fromUtf8(c.target), c.rules);
    EXPECT_EQ(url.toString().toStdString(), c.url) << c.target;
  }
}

}  // namespace
}  // namespace quillora
