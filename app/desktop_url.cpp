#include "app/desktop_url.h"

namespace quillora {

namespace {

bool IsLetter(QChar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "C:\..." or "C:/...": a drive letter, a colon and a separator.
bool IsDrivePath(const QString& s) {
  return s.size() >= 3 && IsLetter(s[0]) && s[1] == ':' && (s[2] == '\\' || s[2] == '/');
}

bool IsFullPath(const QString& target, PathRules rules) {
  if (!rules.drive_letters) return target.startsWith('/');
  return IsDrivePath(target) || target.startsWith('\\') || target.startsWith('/');
}

}  // namespace

QUrl DesktopUrl(const QString& target, PathRules rules) {
  if (IsFullPath(target, rules)) {
    // QUrl::fromLocalFile knows drive letters and "//host/share" on every
    // platform, but turns "\" into "/" only where it runs on Windows; on
    // POSIX a "\" is part of a name and must stay one.
    QString path = target;
    if (rules.drive_letters) path.replace('\\', '/');
    return QUrl::fromLocalFile(path);
  }
  // A one-letter scheme would be a drive letter, not a scheme.
  if (const QUrl url(target); url.scheme().size() > 1) return url;
  return QUrl(QStringLiteral("https://") + target);
}

}  // namespace quillora
