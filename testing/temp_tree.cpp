#include "testing/temp_tree.h"

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/wide_text.h"

namespace quillora::testing {

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 inside on every system. On Windows a narrow path would be
// read in the ANSI code page and stop at MAX_PATH.
fs::path Native(const std::string& path) {
#ifdef _WIN32
  return fs::path(WidePath(path));
#else
  return fs::path(path);
#endif
}

std::string FromNative(const fs::path& path) {
#ifdef _WIN32
  return Utf8FromWide(path.native());
#else
  return path.string();
#endif
}

}  // namespace

TempTree::TempTree() {
  std::mt19937_64 random(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("quillora-test-" + std::to_string(random() % 1000000000));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      fs::permissions(candidate, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec, ec);
      root_ = FromNative(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempTree::~TempTree() {
  // Give back every right first, so tests that took rights away still clean up.
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(Native(root_), fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(Native(root_), ec);
}

std::string TempTree::At(std::string_view relative) const {
  std::string path = root_ + static_cast<char>(fs::path::preferred_separator) + std::string(relative);
#ifdef _WIN32
  // Tests spell relative paths with "/"; the program gives them with "\".
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(root_.size()), path.end(), '/', '\\');
#endif
  return path;
}

std::string TempTree::Write(std::string_view relative, std::string_view bytes) {
  const std::string full = At(relative);
  fs::create_directories(Native(full).parent_path());
  std::ofstream out(Native(full), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full);
  return full;
}

std::string TempTree::Folder(std::string_view relative) {
  const std::string full = At(relative);
  fs::create_directories(Native(full));
  return full;
}

std::vector<std::string> ListedNames(const std::string& folder) {
  std::vector<std::string> names;
  auto listing = Env::Default().ListFolder(folder);
  FolderEntry entry;
  while (listing->Next(entry)) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunUnprivileged(const std::function<int()>& body) {
#ifdef _WIN32
  return body();
#else
  if (::geteuid() != 0) return body();
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0)
      ::_exit(255);
    ::_exit(body() & 0xff);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  return code == 255 ? -1 : code;
#endif
}

std::string FolderPastThePathLimit(const std::string& folder) {
  const std::string name(250, 'd');
  std::string path = folder;
#ifndef _WIN32
  // Made relative to the folder above, as no path that long opens.
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  while (fd >= 0 && path.size() < PATH_MAX) {
    const int below = ::mkdirat(fd, name.c_str(), 0755) == 0 ? ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY) : -1;
    ::close(fd);
    fd = below;
    path += "/" + name;
  }
  if (fd >= 0) ::close(fd);
#endif
  return path;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& ch : bytes) ch = static_cast<char>(random() & 0xff);
  return bytes;
}

}  // namespace quillora::testing
