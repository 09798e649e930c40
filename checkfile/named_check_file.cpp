#include "checkfile/named_check_file.h"

#include "digests/passed_over.h"
#include "platform/paths.h"

namespace quillora {

std::optional<std::string> CheckFileNamedBy(Env& env, const std::string& path) {
  // What cannot be looked at names no check file.
  try {
    if (env.FileExists(path)) {
      const std::string_view extension = ExtensionOf(path);
      if (extension == ".md5" || extension == ".md5sum" || NameOf(path) == kMd5sumsFileName) return path;
    } else if (env.FolderExists(path)) {
      for (const std::string_view name : {kCheckFileName, kMd5sumsFileName}) {
        std::string inside = JoinPath(path, name);
        if (env.FileExists(inside)) return inside;
      }
    }
  } catch (const SystemError&) {
  }
  return std::nullopt;
}

}  // namespace quillora
