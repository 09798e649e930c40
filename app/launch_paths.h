// Paths given on the command line, `quillora PATH...`, as a file manager
// passes the files a user opens with the program: the window takes them as
// a drop.
#pragma once

#include <string>
#include <vector>

namespace quillora {

class TForm1;

// The paths in argv[1] to argv[argc - 1], once QApplication has removed its
// own options, each made absolute against the current folder; their bytes
// are kept as they are.
std::vector<std::string> LaunchPaths(int argc, char** argv);

// Hands paths to the window as a drop, handled once its message loop runs.
// A single path that names a check file, by the verifier page's drop rule
// (a "*.md5" file, or a folder holding "CheckSum.md5"), shows the verifier
// page with that check file in its box, ready but not started. Any other
// paths are dropped on the list page and digested. No path changes nothing.
void OpenLaunchPaths(TForm1& form, std::vector<std::string> paths);

}  // namespace quillora
