// Turns what the desktop drops on the window into the paths FormDropFiles
// takes: local files and folders, in the order given, as exact bytes (a
// name that is not valid UTF-8 keeps its bytes).
#pragma once

#include <string>
#include <vector>

class QMimeData;

namespace quillora {

std::vector<std::string> DroppedPaths(const QMimeData& data);

}  // namespace quillora
