// Test helpers: real temporary folders and files, and running a piece of a
// test as an unprivileged user (root reads any file, whatever its mode).
#pragma once

#include <functional>
#include <string>
#include <vector>
#include <string_view>

namespace quillora::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object dies. Readable and listable by every user, so an
// unprivileged check can reach it.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The folder's absolute path, without a trailing separator.
  const std::string& path() const { return root_; }
  // root + separator + relative, whose "/" are the system's separators.
  std::string At(std::string_view relative) const;

  // Writes a file (creating the folders on its way); returns its full path.
  std::string Write(std::string_view relative, std::string_view bytes);
  // Creates a folder (and those on its way); returns its full path.
  std::string Folder(std::string_view relative);

 private:
  std::string root_;
};

// Reads a whole file; fails the test when it cannot.
std::string ReadFile(const std::string& path);

// The names a folder's listing (Env::Default()) gives, sorted.
std::vector<std::string> ListedNames(const std::string& folder);

// Runs body in a child process as the unprivileged user "nobody" when the
// test runs as root, or directly otherwise. Returns body's result, or -1 when
// the child failed to run. Keep gtest assertions out of body.
int RunUnprivileged(const std::function<int()>& body);

// Makes folders below folder, one in another, each named by 250 "d", until
// one's full path is past the system's path length limit (PATH_MAX); returns
// that one's path: the first that a walk cannot list by its path.
std::string FolderPastThePathLimit(const std::string& folder);

// A file of n pseudo-random bytes from a fixed seed.
std::string RandomBytes(std::size_t n, unsigned seed = 1);

}  // namespace quillora::testing
