#include "platform/paths.h"

namespace quillora {
namespace {

bool IsDrive(std::string_view text, PathRules rules) {
  if (!rules.drive_letters || text.size() < 2 || text[1] != ':') return false;
  const char letter = static_cast<char>(text[0] | 0x20);
  return letter >= 'a' && letter <= 'z';
}

// True for what is left of a root when its separator is cut: "" or "C:". The
// root keeps its separator: "/" and "C:\" are folders, "" and "C:" are not.
bool IsRoot(std::string_view cut, PathRules rules) { return cut.empty() || (cut.size() == 2 && IsDrive(cut, rules)); }

}  // namespace

std::size_t NameStart(std::string_view path, PathRules rules) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1], rules)) return i;
  }
  return IsDrive(path, rules) ? 2 : 0;
}

void ToNativeSeparators(std::string& path, std::size_t from, PathRules rules) {
  if (!rules.slash_separates) return;
  for (std::size_t i = from; i < path.size(); ++i) {
    if (IsSeparator(path[i], rules)) path[i] = rules.separator;
  }
}

std::string FolderOf(std::string_view path, PathRules rules) {
  const std::size_t start = NameStart(path, rules);
  if (start == 0) return ".";
  return WithoutTrailingSeparator(path.substr(0, start), rules);
}

std::string NameOf(std::string_view path, PathRules rules) { return std::string(path.substr(NameStart(path, rules))); }

std::string WithTrailingSeparator(std::string_view folder, PathRules rules) {
  std::string out(folder);
  if (IsRoot(out, rules) || IsSeparator(out.back(), rules)) return out;
  out += rules.separator;
  return out;
}

std::string WithoutTrailingSeparator(std::string_view folder, PathRules rules) {
  if (folder.empty() || !IsSeparator(folder.back(), rules)) return std::string(folder);
  const std::string_view cut = folder.substr(0, folder.size() - 1);
  if (IsRoot(cut, rules)) return std::string(folder);
  return std::string(cut);
}

std::string JoinPath(std::string_view folder, std::string_view name, PathRules rules) {
  return WithTrailingSeparator(folder, rules).append(name);
}

std::string_view ExtensionOf(std::string_view path, PathRules rules) {
  const std::size_t start = NameStart(path, rules);
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return path.substr(dot);
}

}  // namespace quillora
