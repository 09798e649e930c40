// Hands documents, web addresses and "mailto:" targets to the programs the
// desktop associates with them. The window reaches the desktop only through
// a Shell, so tests can see what would have been opened.
#pragma once

#include <functional>
#include <string>

namespace quillora {

// What became of a request to open a target.
enum class OpenOutcome {
  kOpened,     // handed to the program that shows it
  kMissing,    // a file target that does not exist
  kNoOpener,   // the desktop's opener itself is not installed (xdg-open)
  kNoProgram,  // no program is associated with the target's type
  kFailed,     // the opener or the associated program reported a failure
};

// Learns the outcome of one Open, once it is known.
using OpenDone = std::function<void(OpenOutcome)>;

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens target with its associated program. verb is "open" or empty (the
  // target's default action). Without done, the outcome is not reported:
  // whatever the desktop shows on failure is all the user sees. With done,
  // done gets the outcome once, either at once or later from the event loop
  // (the opener may run as a process of its own); Open never waits for it.
  virtual void Open(const std::string& verb, const std::string& target, OpenDone done = {}) = 0;
};

// The real desktop: opens target at its DesktopUrl under this platform's
// path rules. On a freedesktop system an Open with done runs xdg-open
// itself, as a process of its own, because only its exit status tells why
// it failed; elsewhere, and without done, Qt's desktop services open it.
class DesktopShell : public Shell {
 public:
  void Open(const std::string& verb, const std::string& target, OpenDone done = {}) override;
};

// The help file's path for an executable in exe_folder: "help.chm" joined
// to the folder (platform/paths.h).
std::string HelpFilePath(const std::string& exe_folder);

// What the window says when the help file at path could not be opened.
std::string HelpFailureMessage(OpenOutcome outcome, const std::string& path);

}  // namespace quillora
