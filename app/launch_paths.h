// What the desktop asks of the window when it starts it: `quillora PATH...`
// as a file manager opens files with the program, or one of the verbs of its
// menu (packaging/file_manager.cmake) with the paths it applies to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillora {

class TForm1;

enum class LaunchVerb {
  kOpen,       // `quillora PATH...`: a double click, "Open with"
  kVerify,     // `quillora --verify CHECKFILE`: "Verify with Quillora"
  kMake,       // `quillora --make FOLDER`: "Make check file with Quillora"
  kCalculate,  // `quillora --calculate PATH...`: "Calculate MD5 with Quillora"
};

struct Launch {
  LaunchVerb verb = LaunchVerb::kOpen;
  std::vector<std::string> paths;  // full paths, their bytes kept as they are
};

// The launch in argv[1] to argv[argc - 1], once QApplication has removed its
// own options. A verb is the first argument ("--verify", "--make",
// "--calculate"), and "--" after it or in its place ends the options, so
// `quillora -- --make` opens a file named "--make". Every other argument is
// a path, made absolute against the current folder. On Windows the arguments
// are Qt's, read from the wide command line, in UTF-8.
Launch ReadLaunch(int argc, char** argv);

// Carries launch out: the page now, so the window appears on it; the job
// once the message loop runs.
//   kOpen       one path that names a check file (CheckFileNamedBy: a file
//               whose name is one, or a folder holding one) is verified
//               at once on the verifier page; any other paths are dropped on
//               the list page and digested.
//   kVerify     the check file the first path names (a folder's own one, as
//               a drop finds it; else the path itself, whatever its name) is
//               verified at once; what cannot be verified is said as the
//               page's input check says it.
//   kMake       the first path gets its check file made at once on the
//               maker page, through the page's own input check.
//   kCalculate  the paths are dropped on the list page and digested.
// No path does nothing. The verifier page's own "..." still only fills the
// box: only a launch starts a job by itself.
void OpenLaunch(TForm1& form, Launch launch);

}  // namespace quillora
