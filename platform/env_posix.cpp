// The POSIX implementation of Env.
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <map>
#include <random>

#include "platform/env.h"
#include "platform/errors.h"
#include "platform/mutex.h"
#include "platform/paths.h"

namespace quillora {
namespace {

// Above this size, telling the kernel the reads are sequential pays for the
// extra call (larger read-ahead); below it, one or two reads do it all.
constexpr std::int64_t kSequentialHintAbove = 1 << 20;

bool HasNul(const std::string& path) { return path.find('\0') != std::string::npos; }

// read(2), again while a signal cuts it short.
ssize_t ReadRetrying(int fd, void* buffer, std::size_t n) {
  ssize_t got;
  do {
    got = ::read(fd, buffer, n);
  } while (got < 0 && errno == EINTR);
  return got;
}

// Read ahead in full, alongside other files, even on a spinning disk.
constexpr std::int64_t kSmallOnSpinningDisk = 256 << 10;

// What each device's disk was found to be, asked once per device.
Mutex spinning_mutex;
std::map<dev_t, bool> spinning_known GUARDED_BY(spinning_mutex);

// What the system says of the disk that holds device: rotational or not
// (/sys/dev/block/MAJOR:MINOR, a partition's answer being its disk's).
// Unknown counts as not spinning.
bool OnSpinningDisk(dev_t device) {
  MutexLock lock(spinning_mutex);
  const auto found = spinning_known.find(device);
  if (found != spinning_known.end()) return found->second;
  const std::string block = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  bool spinning = false;
  for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
    if (FILE* file = std::fopen((block + queue).c_str(), "re")) {
      spinning = std::fgetc(file) == '1';
      std::fclose(file);
      break;
    }
  }
  return spinning_known[device] = spinning;
}

bool StatPath(const std::string& path, struct stat& st) {
  return !HasNul(path) && ::stat(path.c_str(), &st) == 0;
}

// A lookup that failed because nothing is there, not because it could not look.
bool NothingThere(int error) { return error == ENOENT || error == ENOTDIR; }

// Opens without ever blocking (a FIFO with no writer, a terminal device):
// the file path, looked up from its name at path[name_at] in the folder open
// as folder_fd, or from the whole path with AT_FDCWD.
int OpenReadOnlyAt(int folder_fd, const std::string& path, std::size_t name_at = 0) {
  if (HasNul(path)) {
    errno = ENOENT;
    return -1;
  }
  int fd;
  do {
    fd = ::openat(folder_fd, path.c_str() + name_at, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int OpenReadOnly(const std::string& path) { return OpenReadOnlyAt(AT_FDCWD, path); }

class PosixFolderHandle final : public FolderHandle {
 public:
  explicit PosixFolderHandle(int fd) : fd_(fd) {}
  ~PosixFolderHandle() override { ::close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

class FileStream final : public Stream {
 public:
  // opened: the file's status when it was opened; its size is what Size()
  // reports.
  FileStream(int fd, const struct stat& opened) : fd_(fd), opened_(opened), unsettled_(UnsettledAt(opened)) {}
  ~FileStream() override { ::close(fd_); }

  std::int64_t Size() override { return opened_.st_size; }
  std::int64_t Position() override {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    return at < 0 ? Fail() : at;
  }
  bool Seek(std::int64_t position) override {
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) return Fail(), false;
    return true;
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    const ssize_t got = ReadRetrying(fd_, buffer, n);
    return got < 0 ? Fail() : got;
  }
  int last_error() const override { return last_error_; }
  int ChangeSinceOpen() override {
    struct stat now;
    if (::fstat(fd_, &now) != 0) return Fail(), last_error_;
    // The change time too: a writer may set the modification time back.
    const bool same = now.st_size == opened_.st_size && SameTime(now.st_mtim, opened_.st_mtim) &&
                      SameTime(now.st_ctim, opened_.st_ctim);
    return same ? 0 : kChangedWhileRead;
  }
  std::chrono::nanoseconds Unsettled() const override {
    if (unsettled_.count() <= 0) return unsettled_;
    return std::max(std::chrono::nanoseconds(0), unsettled_ - (std::chrono::steady_clock::now() - opened_at_));
  }
  void ReadAhead(std::int64_t from, std::int64_t bytes) override {
    // On a spinning disk, starting many files at once makes it seek between
    // them: there, a large file's start waits until it is read in turn, and
    // only small files (one seek each, put in order by the disk's queue) and
    // the rest of a file already being read are asked for ahead.
    if (from == 0 && opened_.st_size > kSmallOnSpinningDisk && OnSpinningDisk(opened_.st_dev)) return;
    ::posix_fadvise(fd_, static_cast<off_t>(from), static_cast<off_t>(bytes), POSIX_FADV_WILLNEED);
  }

 private:
  std::int64_t Fail() {
    last_error_ = errno;
    return -1;
  }
  // How much of kSettleTime is left of the file's last change, at its open:
  // its change time against the clock the system stamps it with. A change
  // time further ahead than that is of a clock that disagrees (a file
  // server's), which tells nothing.
  static std::chrono::nanoseconds UnsettledAt(const struct stat& opened) {
    struct timespec now;
    if (::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) return std::chrono::nanoseconds(0);
    const auto age = std::chrono::seconds(now.tv_sec - opened.st_ctim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - opened.st_ctim.tv_nsec);
    if (age >= kSettleTime || age < -kSettleTime) return std::chrono::nanoseconds(0);
    return std::min<std::chrono::nanoseconds>(kSettleTime, kSettleTime - age);
  }

  int fd_;
  struct stat opened_;
  std::chrono::nanoseconds unsettled_;
  std::chrono::steady_clock::time_point opened_at_ = std::chrono::steady_clock::now();
  int last_error_ = 0;
};

// The stream of a file open for the digest as fd, or the SystemError of its
// open (fd < 0, errno set) or of what stands there.
std::unique_ptr<Stream> DigestStream(int fd) {
  if (fd < 0) throw SystemError("open", errno);
  // It may have been replaced since it was looked at or listed.
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    throw SystemError("fstat", error);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw SystemError("open", S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
  }
  // O_NONBLOCK means nothing to a regular file's reads, so it may stay.
  if (st.st_size > kSequentialHintAbove) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<FileStream>(fd, st);
}

// A pipe (a FIFO, or the other end of a shell's "<(...)") or standard
// input, read once as it comes. owned: closed when the stream goes; standard
// input is left open, for others to read after.
class PipeStream final : public OneWayStream {
 public:
  PipeStream(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~PipeStream() override {
    if (owned_) ::close(fd_);
  }
  std::int64_t Read(void* buffer, std::size_t n) override {
    const ssize_t got = ReadRetrying(fd_, buffer, n);
    if (got < 0) last_error_ = errno;
    return got;
  }
  int last_error() const override { return last_error_; }

 private:
  int fd_;
  bool owned_;
  int last_error_ = 0;
};

class PosixListing final : public FolderListing {
 public:
  PosixListing(DIR* dir, FolderId id) : dir_(dir), id_(id) {}
  ~PosixListing() override { ::closedir(dir_); }

  bool Next(FolderEntry& entry) override {
    for (;;) {
      errno = 0;
      const dirent* d = ::readdir(dir_);
      if (d == nullptr) {
        // Only a NULL that leaves errno alone is the end.
        if (errno != 0) throw SystemError("readdir", errno);
        return false;
      }
      if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
      entry.name = d->d_name;
      if (Classify(*d, entry)) return true;
    }
  }
  FolderId id() const override { return id_; }

 private:
  // A link counts as what it points to, and says that it is a link. False
  // when the entry went away since it was listed; raises SystemError when it
  // cannot be looked at.
  bool Classify(const dirent& d, FolderEntry& entry) const {
    entry.is_link = false;
    entry.regular = false;
    entry.kind = EntryKind::kFile;
    entry.error = 0;
#ifdef _DIRENT_HAVE_D_TYPE
    entry.regular = d.d_type == DT_REG;
    if (d.d_type == DT_DIR) {
      entry.kind = EntryKind::kFolder;
      return true;
    }
    if (d.d_type != DT_LNK && d.d_type != DT_UNKNOWN) return true;
    entry.is_link = d.d_type == DT_LNK;
#endif
    struct stat st;
    if (!entry.is_link) {
      if (::fstatat(::dirfd(dir_), d.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return false;
        entry.error = errno;
        return true;
      }
      entry.is_link = S_ISLNK(st.st_mode);
      if (!entry.is_link) {
        entry.regular = S_ISREG(st.st_mode);
        if (S_ISDIR(st.st_mode)) entry.kind = EntryKind::kFolder;
        return true;
      }
    }
    // A link that leads nowhere, round in a loop or where it may not look is
    // a file that cannot be opened: its open will say why. Any other failure
    // leaves its kind unknown.
    if (::fstatat(::dirfd(dir_), d.d_name, &st, 0) != 0) {
      if (!TellsOfTheEntry(errno)) entry.error = errno;
    } else if (S_ISDIR(st.st_mode)) {
      entry.kind = EntryKind::kFolder;
    }
    return true;
  }
  DIR* dir_;
  FolderId id_;
};

// Names for a temporary file beside a target: its prefix and a random
// suffix, tried until one is free.
class TempNames {
 public:
  // committing: names given as the file is committed (CommittingTempPrefix).
  explicit TempNames(const std::string& target, bool committing = false)
      : stem_(JoinPath(FolderOf(target),
                       committing ? CommittingTempPrefix(NameOf(target)) : ReplacingTempPrefix(NameOf(target)))),
        random_(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                static_cast<std::uint64_t>(::getpid())) {}
  // Calls make(name) with fresh names while it fails with EEXIST; returns
  // the name it took, or raises the IoError of another failure.
  template <class Make>
  std::string Take(Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      char suffix[17];
      std::snprintf(suffix, sizeof suffix, "%06llx", static_cast<unsigned long long>(random_() & 0xffffff));
      std::string name = stem_ + suffix;
      if (make(name)) return name;
      if (errno != EEXIST) throw IoError::FromSystem(errno);
    }
    throw IoError::FromSystem(EEXIST);
  }

 private:
  std::string stem_;
  std::mt19937_64 random_;
};

// temp is empty while the file has no name (O_TMPFILE): it gets one only at
// Commit, right before it takes the target's, so a run killed even by
// SIGKILL leaves nothing behind.
class PosixReplacingFile final : public ReplacingFile {
 public:
  PosixReplacingFile(std::string target, std::string temp, int fd)
      : target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}
  ~PosixReplacingFile() override {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
  }

  void Append(std::string_view bytes) override {
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushAt) Flush();
  }

  void Commit() override {
    Flush();
    if (::fsync(fd_) != 0 && errno != EINVAL) Throw(errno);
    if (temp_.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      temp_ = TempNames(target_, /*committing=*/true).Take([&](const std::string& name) {
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
      });
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Throw(errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Throw(errno);
    committed_ = true;
  }

  const std::string& temp_path() const override { return temp_; }

 private:
  static constexpr std::size_t kFlushAt = 64 * 1024;

  void Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
      const ssize_t put = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (put < 0) {
        if (errno == EINTR) continue;
        Throw(errno);
      }
      done += static_cast<std::size_t>(put);
    }
    buffer_.clear();
  }

  [[noreturn]] static void Throw(int number) { throw IoError::FromSystem(number); }

  std::string target_, temp_;
  int fd_;
  std::string buffer_;
  bool committed_ = false;
};

// Gives a new file the old one's owner, group and mode, as far as allowed:
// the owner only root may give, the group any member of it; a refusal keeps
// what the system gave. The mode comes last, as a change of owner clears the
// set-user-ID bits.
void KeepOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Neither was allowed: the new file stays the writer's own.
  }
  ::fchmod(fd, old.st_mode & 07777);
}

// The file a chain of symbolic links leads to (path itself when it is no
// link), whether that file exists or not. A path with a NUL names no file:
// it is its own end.
std::string FollowLinks(std::string path) {
  if (HasNul(path)) return path;
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (hops == 40) throw IoError::FromSystem(ELOOP);
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
    if (n < 0) throw IoError::FromSystem(errno);
    to.resize(static_cast<std::size_t>(n));
    path = !to.empty() && to[0] == '/' ? to : JoinPath(FolderOf(path), to);
  }
}

// Holds no state: each call works on its arguments alone, with the
// thread-safe forms of the calls that have one (localtime_r, strerror_r,
// newlocale), which is what makes it safe from several threads at once.
class PosixEnv final : public Env {
 public:
  void CheckReadable(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::unique_ptr<FolderListing> ListFolder(const std::string& path) override;
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override;
  std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) override;
  std::shared_ptr<const FolderHandle> HoldFolder(const std::string& path) override;
  std::unique_ptr<Stream> OpenStandardInput() override { return std::make_unique<PipeStream>(0, false); }
  std::unique_ptr<Stream> OpenTextForReading(const std::string& path) override;
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override;
  std::string FinalTarget(const std::string& path) override { return FollowLinks(path); }
  LocalTime Now() override;
  std::string TimeSeparator() override;
  std::size_t OpenFilesAllowed() override;
  void RemoveLeftOver(const std::string& path) override;
};

}  // namespace

// The text-file table's view of errno.
int IoErrorCodeFromSystem(int system_error) {
  switch (system_error) {
    case ENOENT: return IoError::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: return IoError::kInvalidFilename;
    case EMFILE:
    case ENFILE: return IoError::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case kNotRegularFile: return IoError::kAccessDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return IoError::kDiskFull;
    default: return 0;
  }
}

bool TellsOfTheEntry(int system_error) {
  switch (system_error) {
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case EACCES:
    case EPERM:
    case ENAMETOOLONG:
    case ELOOP:
    case EBUSY:
    case ETXTBSY:
    case ENXIO:  // a device node with nothing behind it
    case ESTALE:  // gone from the server's disk
    case kNotRegularFile:
    case kChangedWhileRead:
      return true;
    default:
      return false;
  }
}

bool IsNotFound(int system_error) { return NothingThere(system_error); }

bool IsOwnShortage(int system_error) {
  return system_error == EMFILE || system_error == ENFILE || system_error == ENOMEM || system_error == ENOBUFS;
}

std::string SystemErrorMessage(int system_error) {
  if (system_error == kNotRegularFile) return "Not a regular file";
  if (system_error == kChangedWhileRead) return "changed while it was read";
  char buffer[256];
  // The GNU strerror_r returns its text; the POSIX one fills the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  return strerror_r(system_error, buffer, sizeof buffer);
#else
  if (strerror_r(system_error, buffer, sizeof buffer) != 0) return "Unknown error " + std::to_string(system_error);
  return buffer;
#endif
}

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

void PosixEnv::CheckReadable(const std::string& path) {
  // The digest's own open, with its rule that nothing but a regular file is
  // opened; the file is closed again at once.
  OpenForDigest(path);
}

bool PosixEnv::FileExists(const std::string& path) {
  if (HasNul(path)) return false;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
  if (!NothingThere(errno)) throw SystemError("stat", errno);
  // A dangling link is still an entry in its folder.
  return ::lstat(path.c_str(), &st) == 0;
}

bool PosixEnv::FolderExists(const std::string& path) {
  if (HasNul(path)) return false;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (!NothingThere(errno)) throw SystemError("stat", errno);
  return false;
}

std::unique_ptr<FolderListing> PosixEnv::ListFolder(const std::string& path) {
  if (HasNul(path)) throw SystemError("open", ENOENT);
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw SystemError("open", errno);
  struct stat st;
  DIR* dir = ::fstat(fd, &st) == 0 ? ::fdopendir(fd) : nullptr;
  if (dir == nullptr) {
    const int error = errno;
    ::close(fd);
    throw SystemError("opendir", error);
  }
  return std::make_unique<PosixListing>(
      dir, FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
}

std::unique_ptr<Stream> PosixEnv::OpenForDigest(const std::string& path) {
  // Only a regular file is ever opened: opening a device can act on it (a
  // watchdog starts, a tape rewinds), and a tree copied from a system's root
  // holds such nodes under dev/. The stat's lookup leaves the path cached for
  // the open.
  struct stat st;
  if (!StatPath(path, st)) throw SystemError("open", HasNul(path) ? ENOENT : errno);
  if (!S_ISREG(st.st_mode)) throw SystemError("open", S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
  return DigestStream(OpenReadOnly(path));
}

std::unique_ptr<Stream> PosixEnv::OpenListedForDigest(const FileToOpen& file) {
  if (!file.listed_regular) return OpenForDigest(file.path);
  // A handle this Env did not make (a wrapper's own) opens by the path.
  const auto* held = dynamic_cast<const PosixFolderHandle*>(file.folder.get());
  if (held == nullptr) return DigestStream(OpenReadOnly(file.path));
  return DigestStream(OpenReadOnlyAt(held->fd(), file.path, file.name_at));
}

std::shared_ptr<const FolderHandle> PosixEnv::HoldFolder(const std::string& path) {
  if (HasNul(path)) throw SystemError("open", ENOENT);
  // Held only to open the files in it: no read permission is needed.
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw SystemError("open", errno);
  return std::make_shared<PosixFolderHandle>(fd);
}

std::unique_ptr<Stream> PosixEnv::OpenTextForReading(const std::string& path) {
  const int fd = OpenReadOnly(path);
  if (fd < 0) throw IoError::FromSystem(errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    throw IoError::FromSystem(error);
  }
  if (S_ISFIFO(st.st_mode)) {
    // A pipe is read as it comes, waiting for its writer.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<PipeStream>(fd, true);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw IoError::FromSystem(S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
  }
  return std::make_unique<FileStream>(fd, st);
}

std::unique_ptr<ReplacingFile> PosixEnv::CreateReplacing(const std::string& path) {
  if (HasNul(path) || path.empty()) throw IoError(IoError::kInvalidFilename);
  // A link stays a link: what it leads to is replaced, beside itself.
  const std::string target = FollowLinks(path);
  struct stat st;
  bool existed = false;
  if (::stat(target.c_str(), &st) == 0) {
    // Refuse what may not be replaced, as a read-only file refuses a write:
    // checked by mode bits too, since root may write anything.
    if (S_ISDIR(st.st_mode)) throw IoError::FromSystem(EISDIR);
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) throw IoError::FromSystem(EACCES);
    existed = true;
  } else if (errno != ENOENT) {
    throw IoError::FromSystem(errno);
  }
  // Without a name until complete, where the system has such files and can
  // give one a name later (through /proc).
  std::string temp;
  int fd = -1;
#ifdef O_TMPFILE
  if (::access("/proc/self/fd", X_OK) == 0) {
    const std::string folder = FolderOf(target);
    fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) throw IoError::FromSystem(errno);
  }
#endif
  if (fd < 0) {
    temp = TempNames(target).Take([&](const std::string& name) {
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      return fd >= 0;
    });
  }
  if (existed) KeepOwnerAndMode(fd, st);
  return std::make_unique<PosixReplacingFile>(target, std::move(temp), fd);
}

LocalTime PosixEnv::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string PosixEnv::TimeSeparator() {
  // The separator of the user's time format ("%H:%M:%S" gives ":"), read from
  // the user's own settings whatever locale the process runs in.
  std::string separator = ":";
  const locale_t user = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return separator;
  const std::string format = ::nl_langinfo_l(T_FMT, user);
  ::freelocale(user);
  for (std::size_t i = 0; i + 2 < format.size(); ++i) {
    if (format[i] == '%' && (format[i + 1] == 'H' || format[i + 1] == 'I') && format[i + 2] != '%') {
      separator = std::string(1, format[i + 2]);
      break;
    }
  }
  return separator;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::string cwd;
  for (std::size_t size = 256;; size *= 2) {
    cwd.resize(size);
    if (::getcwd(cwd.data(), size) != nullptr) break;
    if (errno != ERANGE) return path;
  }
  cwd.resize(std::strlen(cwd.c_str()));
  return JoinPath(cwd, path);
}

void PosixEnv::RemoveLeftOver(const std::string& path) {
  const std::string name = NameOf(path);
  const std::string prefix = CommittingTempPrefix("");
  // ".NAME.tmp-commit-": the target's name lies between the dot and the rest.
  if (!name.starts_with('.') || name.find(prefix.substr(1)) == std::string::npos) return;
  struct stat st;
  if (HasNul(path) || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (st.st_mtime > std::time(nullptr) - 60) return;
  ::unlink(path.c_str());
}

std::size_t PosixEnv::OpenFilesAllowed() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  // Descriptors are numbered from 0 and the system gives the lowest free one:
  // those below the limit that are in use are what the process holds.
  std::size_t held = 0;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (const dirent* d = ::readdir(fds)) held += d->d_name[0] != '.';
    ::closedir(fds);
    held = held > 0 ? held - 1 : 0;  // the listing's own
  } else {
    const int scan = static_cast<int>(std::min<std::size_t>(allowed, 1 << 16));
    for (int fd = 0; fd < scan; ++fd) held += ::fcntl(fd, F_GETFD) != -1;
  }
  return allowed > held ? allowed - held : 0;
}

std::string ExecutableFolder() {
  std::string exe(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
  if (n <= 0) return ".";
  exe.resize(static_cast<std::size_t>(n));
  return FolderOf(exe);
}

}  // namespace quillora
