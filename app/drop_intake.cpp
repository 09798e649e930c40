#include "app/drop_intake.h"

#include <algorithm>

#include <QDir>
#include <QMimeData>
#include <QUrl>

#include "app/display_text.h"

namespace quillora {

namespace {

// "file:///a/b%E9" or "file://host/a/b": the path's bytes, percent-decoded
// without passing through a text decoding; empty when not a local file.
std::string LocalPathOf(QByteArray uri) {
  static const QByteArray kScheme = "file://";
  if (!uri.startsWith(kScheme)) return {};
  uri.remove(0, kScheme.size());
  const qsizetype slash = uri.indexOf('/');
  if (slash < 0) return {};
  const QByteArray host = uri.left(slash);
  if (!host.isEmpty() && host != "localhost") return {};
  std::string path = QByteArray::fromPercentEncoding(uri.mid(slash)).toStdString();
#ifdef _WIN32
  // "file:///C:/a/b" names C:\a\b (UTF-8, as every name is there).
  if (path.size() >= 3 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

}  // namespace

std::vector<std::string> DroppedPaths(const QMimeData& data) {
  std::vector<std::string> paths;
  static const QString kUriList = QStringLiteral("text/uri-list");
  if (data.hasFormat(kUriList)) {
    for (QByteArray line : data.data(kUriList).split('\n')) {
      line = line.trimmed();
      if (line.isEmpty() || line.startsWith('#')) continue;
      std::string path = LocalPathOf(line);
      if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
  }
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) paths.push_back(CoreBytes(QDir::toNativeSeparators(url.toLocalFile())));
  return paths;
}

}  // namespace quillora
