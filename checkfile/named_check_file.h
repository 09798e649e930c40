// Which check file a path names when the user hands it to the verifier page
// (a drop, or a path given to the program): the rule both share.
#pragma once

#include <optional>
#include <string>

#include "platform/env.h"

namespace quillora {

// The check file path names: path itself when it is a file (not a folder)
// whose name ends in ".md5" or ".md5sum", or is "MD5SUMS" (md5sum's files;
// letter case counts); inside a folder, its kCheckFileName, or else its
// kMd5sumsFileName; otherwise none. Touches nothing but the existence tests.
std::optional<std::string> CheckFileNamedBy(Env& env, const std::string& path);

}  // namespace quillora
