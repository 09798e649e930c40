// Splitting and joining paths: the one place that knows where a path's folder
// ends and its name begins. Paths are byte strings; nothing here touches the
// file system.
//
// Every function takes the rules of a path family, so the Windows rules can
// be tested on any machine; callers use kNativePaths.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora {

struct PathRules {
  char separator;        // between folder and name, the one paths are joined with
  bool drive_letters;    // "C:" starts a path, and "C:name" is a name on drive C
  bool slash_separates;  // "/" separates too (Windows takes "C:/data/x" as "C:\data\x")
};

inline constexpr PathRules kPosixPaths{'/', false, false};
inline constexpr PathRules kWin32Paths{'\\', true, true};
#ifdef _WIN32
inline constexpr PathRules kNativePaths = kWin32Paths;
#else
inline constexpr PathRules kNativePaths = kPosixPaths;
#endif

inline constexpr char kPathSeparator = kNativePaths.separator;

// Whether ch separates folder and name under rules: the separator, and on
// Windows "/" too.
constexpr bool IsSeparator(char ch, PathRules rules = kNativePaths) {
  return ch == rules.separator || (rules.slash_separates && ch == '/');
}

// Makes every separator of path from byte `from` on the one rules join with
// ("C:/data/x" becomes "C:\data\x" on Windows); elsewhere nothing changes.
void ToNativeSeparators(std::string& path, std::size_t from = 0, PathRules rules = kNativePaths);

// Every function takes any separator of the family (IsSeparator) where it
// splits, and joins with its own.
//
// The folder that holds path's last name, without a trailing separator unless
// that separator is the whole root ("/", "C:\"); "." when path names no
// folder; the drive alone ("C:") for "C:name". One trailing separator of path
// itself is cut first: the folder of "a/b/" is "a", as for "a/b".
std::string FolderOf(std::string_view path, PathRules rules = kNativePaths);

// The last name of path: what follows its last separator (or its drive).
// Empty when path ends with a separator.
std::string NameOf(std::string_view path, PathRules rules = kNativePaths);

// Where NameOf(path) begins in path: after its last separator, else after
// its drive, else at 0. path.size() when path ends with a separator.
std::size_t NameStart(std::string_view path, PathRules rules = kNativePaths);

// The trailing-separator rule: folder ending with exactly the separators it
// had, plus one when it has none at its end. A bare drive ("C:") and an empty
// folder get none, so that joining a name gives "C:name" and "name".
std::string WithTrailingSeparator(std::string_view folder, PathRules rules = kNativePaths);

// The other side of the rule: folder without one trailing separator, unless
// that separator is the whole root ("/", "C:\"), which keeps it.
std::string WithoutTrailingSeparator(std::string_view folder, PathRules rules = kNativePaths);

// name below folder: WithTrailingSeparator(folder) + name.
std::string JoinPath(std::string_view folder, std::string_view name, PathRules rules = kNativePaths);

// The extension of path's last name, from its last "." to the end, dot
// included; empty when that name has no dot.
std::string_view ExtensionOf(std::string_view path, PathRules rules = kNativePaths);

}  // namespace quillora
