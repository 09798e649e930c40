// Turns what the desktop drops on the window into the paths FormDropFiles
// takes: local files and folders, in the order given, as exact bytes (a
// name that is not valid UTF-8 keeps its bytes).
#pragma once

#include <string>
#include <vector>

class QMimeData;

namespace quillora {

class Env;

std::vector<std::string> DroppedPaths(const QMimeData& data);

// The check file that a path dropped on the verifier page names: the path
// itself when it is an existing file whose extension is ".md5" (letter case
// counts), the folder's "CheckSum.md5" when it is an existing folder that
// holds one; empty when it names none.
std::string CheckFileNamedBy(Env& env, const std::string& dropped);

}  // namespace quillora
