// Explorer starts a verb once for each selected item, each time as a process
// of its own: "Calculate MD5 with Quillora" on ten files starts ten programs.
// They must still give one window with ten rows, as one drop would: the first
// to start gathers, and the others hand it their paths and end.
//
// On Windows the gathering window is a message-only window of this session,
// found by its class; a lock of the session keeps two programs started at
// once from both gathering. Elsewhere the file managers pass every path to
// one program, so nothing is gathered.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillora {

class VerbGathering {
 public:
  using Take = std::function<void(std::vector<std::string> paths)>;

  // Hands paths to the session's gathering window, if there is one that
  // takes them within ten seconds, and returns null: the caller ends. Else
  // returns this program's own gathering, which from now on gives take each
  // list of paths another program hands over, on this thread (from the
  // message loop), in the order they come. Elsewhere than on Windows it
  // never hands over, and take is never called.
  static std::unique_ptr<VerbGathering> GatherOrHandOver(const std::vector<std::string>& paths, Take take);

  ~VerbGathering();
  VerbGathering(const VerbGathering&) = delete;
  VerbGathering& operator=(const VerbGathering&) = delete;

 private:
  struct Window;
  explicit VerbGathering(std::unique_ptr<Window> window);
  std::unique_ptr<Window> window_;
};

}  // namespace quillora
