// Hands documents, web addresses and "mailto:" targets to the programs the
// desktop associates with them. The window reaches the desktop only through
// a Shell, so tests can see what would have been opened.
#pragma once

#include <string>

namespace quillora {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens target with its associated program. verb is "open" or empty (the
  // target's default action). The outcome is not reported: whatever the
  // desktop shows on failure is all the user sees.
  virtual void Open(const std::string& verb, const std::string& target) = 0;
};

// The real desktop: opens target at its DesktopUrl under this platform's
// path rules.
class DesktopShell : public Shell {
 public:
  void Open(const std::string& verb, const std::string& target) override;
};

// The help file's path for an executable in exe_folder: "help.chm" joined
// to the folder (platform/paths.h).
std::string HelpFilePath(const std::string& exe_folder);

}  // namespace quillora
