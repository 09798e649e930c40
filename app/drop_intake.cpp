#include "app/drop_intake.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "md5/file_texts.h"
#include "platform/env.h"

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
  return QByteArray::fromPercentEncoding(uri.mid(slash)).toStdString();
}

// The extension of a path's name, from its last "." to the end, dot included;
// empty when the name has no dot.
std::string_view ExtensionOf(std::string_view path) {
  const auto name = path.find_last_of(kPathSeparator);
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos || (name != std::string_view::npos && dot < name)) return {};
  return path.substr(dot);
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
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  return paths;
}

std::string CheckFileNamedBy(Env& env, const std::string& dropped) {
  if (env.FileExists(dropped)) return ExtensionOf(dropped) == ".md5" ? dropped : std::string();
  if (!env.FolderExists(dropped)) return {};
  std::string inside = dropped + kPathSeparator + std::string(kCheckFileName);
  return env.FileExists(inside) ? inside : std::string();
}

}  // namespace quillora
