#include "checkfile/named_check_file.h"

#include "md5/file_texts.h"
#include "platform/paths.h"

namespace quillora {

std::optional<std::string> CheckFileNamedBy(Env& env, const std::string& path) {
  if (env.FileExists(path)) {
    if (ExtensionOf(path) == ".md5") return path;
  } else if (env.FolderExists(path)) {
    std::string inside = JoinPath(path, kCheckFileName);
    if (env.FileExists(inside)) return inside;
  }
  return std::nullopt;
}

}  // namespace quillora
