#include "platform/env.h"

namespace quillora {

int ReadabilityError(Env& env, const std::string& path) {
  try {
    env.CheckReadable(path);
    return 0;
  } catch (const SystemError& e) {
    return e.number();
  }
}

bool FileMayExist(Env& env, const std::string& path) {
  try {
    return env.FileExists(path);
  } catch (const SystemError&) {
    return true;
  }
}

bool FolderToUse(Env& env, const std::string& path) {
  try {
    return env.FolderExists(path);
  } catch (const SystemError&) {
    return false;
  }
}

}  // namespace quillora
