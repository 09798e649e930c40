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
      // BLAKE2b's 64 rows share B2SUMS: each name is looked for once.
      for (const DigestInfo& row : AllDigests()) {
        ForEachWord(row.file_names, [&names](std::string_view name) {
          if (std::find(names.begin(), names.end(), name) == names.end()) names.emplace_back(name);
        });
      }
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
