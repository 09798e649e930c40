#include "checkfile/named_check_file.h"

#include <algorithm>
#include <vector>

#include "digests/passed_over.h"
#include "hashes/digest_table.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// Names no digest, but Fedora's files of tagged lines end so.
constexpr std::string_view kTaggedFileEnds[] = {"CHECKSUM", "CHECKSUMS"};

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                    [](char a, char b) { return a == (b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : b); });
}

// Calls each(word) for each word of a list of words separated by blanks.
template <class Each>
void ForEachWord(std::string_view words, Each each) {
  while (!words.empty()) {
    const std::size_t blank = words.find(' ');
    each(words.substr(0, blank));
    if (blank == std::string_view::npos) break;
    words.remove_prefix(blank + 1);
  }
}

}  // namespace

bool NamesCheckFile(std::string_view name) {
  if (!DigestsByFileName(name).empty()) return true;
  for (std::string_view cut : {".TXT", ".ASC"}) {
    if (EndsWithNoCase(name, cut)) name.remove_suffix(cut.size());
  }
  return std::any_of(std::begin(kTaggedFileEnds), std::end(kTaggedFileEnds),
                     [name](std::string_view end) { return EndsWithNoCase(name, end); });
}

std::string CheckFilePatterns() {
  std::vector<std::string> patterns;
  const auto add = [&patterns](std::string pattern) {
    if (std::find(patterns.begin(), patterns.end(), pattern) == patterns.end()) patterns.push_back(std::move(pattern));
  };
  for (const DigestInfo& row : AllDigests()) {
    ForEachWord(row.extensions, [&](std::string_view extension) { add("*." + std::string(extension)); });
    ForEachWord(row.file_names, [&](std::string_view name) { add(std::string(name)); });
  }
  for (std::string_view end : kTaggedFileEnds) add("*" + std::string(end));
  for (std::string_view end : kTaggedFileEnds) add("*" + std::string(end) + ".txt");
  std::string joined;
  for (const std::string& pattern : patterns) joined += (joined.empty() ? "" : ";") + pattern;
  return joined;
}

std::optional<std::string> CheckFileNamedBy(Env& env, const std::string& path) {
  // What cannot be looked at names no check file.
  try {
    if (env.FileExists(path)) {
      if (NamesCheckFile(NameOf(path))) return path;
    } else if (env.FolderExists(path)) {
      std::vector<std::string> names{std::string(kCheckFileName), std::string(kMd5sumsFileName)};
      for (const DigestInfo& row : AllDigests())
        ForEachWord(row.file_names, [&names](std::string_view name) { names.emplace_back(name); });
      for (const std::string& name : names) {
        std::string inside = JoinPath(path, name);
        if (env.FileExists(inside)) return inside;
      }
    }
  } catch (const SystemError&) {
  }
  return std::nullopt;
}

}  // namespace quillora
