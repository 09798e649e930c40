// The operating-system seam. Every job reaches files, folders and the clock
// through an Env, so tests can put a fault-injecting Env in its place where
// the system cannot produce the case (a file that passes the readability test
// but fails the digest's open, a disk that fills mid-write).
//
// Env is an interface and nothing more: Env::Default() is the platform's own
// (env_posix.cpp, env_win32.cpp). To change part of what an Env does, derive
// from EnvWrapper, which forwards every call to another Env; a method added
// here then reaches every wrapper through it, or fails to compile.
//
// Threads: an Env is called from several threads at once without any
// locking by its callers (the digest workers test and open files while the
// job's thread lists folders or writes the check file, and verify --new
// walks on a thread of its own), so every implementation must be safe for
// concurrent use. The objects it hands out (FolderListing, Stream,
// ReplacingFile) are NOT thread-safe: each is used by one thread at a time,
// and whoever passes one to another thread synchronises the hand-over.
//
// Paths are byte strings and are used exactly as given. A path that holds a
// NUL byte names no file: every operation treats it as missing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/paths.h"  // kPathSeparator
#include "platform/stream.h"

namespace quillora {

enum class EntryKind { kFile, kFolder };

struct FolderEntry {
  std::string name;      // the name alone, exact bytes
  EntryKind kind;        // kFolder when it is (or links to) a folder; kFile otherwise
  bool is_link = false;  // a symbolic link (on Windows, any reparse point)
  // The listing itself says a regular file, not a link (the file system's
  // entry type; false when it does not say).
  bool regular = false;
  // When the entry could not be looked at to tell its kind (a link whose
  // target a failing disk holds): the system error number; kind is then
  // kFile, a guess.
  int error = 0;
};

// Whether this system's listings ever say regular (FolderEntry::regular): a
// Windows listing does not, so nothing is gained by listing to find out.
#ifdef _WIN32
inline constexpr bool kListingsSayRegular = false;
#else
inline constexpr bool kListingsSayRegular = true;
#endif

// Identity of a folder on its file system, used to notice a folder met again
// below itself.
struct FolderId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FolderId&) const = default;
};

// The entries of one folder, in the order the file system yields them,
// without "." and "..". Not thread-safe: one thread at a time.
class FolderListing {
 public:
  virtual ~FolderListing() = default;
  // Fills entry with the next entry and returns true; returns false only
  // when the system says there are no more. Any other stop (a read that
  // fails part way, an entry that cannot be looked at) raises SystemError:
  // what was listed before it is not the whole folder.
  virtual bool Next(FolderEntry& entry) = 0;
  // The listed folder's identity.
  virtual FolderId id() const = 0;
};

// A text file being written to replace path as a whole. Bytes go to a
// temporary file beside the target; Commit() flushes it and renames it over
// the target. Destroyed without a Commit(), it removes the temporary file and
// leaves the target exactly as it was. Failures raise IoError. Not
// thread-safe: one thread at a time.
class ReplacingFile {
 public:
  virtual ~ReplacingFile() = default;
  virtual void Append(std::string_view bytes) = 0;
  virtual void Commit() = 0;
  // The temporary file's full path; empty while it has no name (on Linux it
  // gets one only during Commit, so a process killed before leaves nothing).
  virtual const std::string& temp_path() const = 0;
};

// How the name of the temporary file that replaces target_name begins (a
// random suffix follows). Folder scans pass such files over, so a file left
// behind by a run that was killed is never recorded.
inline std::string ReplacingTempPrefix(std::string_view target_name) {
#ifdef _WIN32
  return "~" + std::string(target_name) + ".tmp-";
#else
  return "." + std::string(target_name) + ".tmp-";
#endif
}

// How the name begins that a temporary file without one gets only as it is
// committed (Linux: ReplacingFile::temp_path), to be renamed over the target
// at once: such a name outlives its run only when the run was killed in
// between (Env::RemoveLeftOver).
inline std::string CommittingTempPrefix(std::string_view target_name) {
  return ReplacingTempPrefix(target_name) + "commit-";
}

// A folder held open, so that files in it open by their names alone
// (Env::OpenListedForDigest): the folder's path is looked up once, not once
// for each of its files. Thread-safe: any thread may open files through it.
class FolderHandle {
 public:
  virtual ~FolderHandle() = default;
};

// What one open for a digest needs, made where the file is met (a walk's
// entry, a check file's record) and carried to the open unchanged.
struct FileToOpen {
  std::string path;  // the full path, used exactly as given
  // Its folder's listing has just said it is a regular file
  // (FolderEntry::regular): it is opened without a look first.
  bool listed_regular = false;
  // When listed_regular: its folder held open (Env::HoldFolder), or null; its
  // name then starts at path[name_at].
  std::shared_ptr<const FolderHandle> folder = nullptr;
  std::size_t name_at = 0;
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Env {
 public:
  Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;
  virtual ~Env() = default;

  // The platform's Env: the real operating system. Lives for the whole
  // program and is shared by every caller.
  static Env& Default();

  // Every call below that can fail raises SystemError carrying the system's
  // error number (IoError, one kind of it, for the text files); none answers
  // a failure with a bare false, so "no" is never "could not look".

  // The readability test: returns when path is a regular file that can be
  // opened for reading (shared) right now; else raises SystemError with the
  // reason (for a folder EISDIR, on Windows ERROR_DIRECTORY; kNotRegularFile
  // for a FIFO, socket or device). Never blocks. ReadabilityError() below
  // gives the reason as a number.
  virtual void CheckReadable(const std::string& path) = 0;

  // True when an entry other than a folder is at path (a dangling link
  // counts); false when nothing is there (no such name, or a name on the way
  // that is not a folder) or a folder is. Raises SystemError when path cannot
  // be looked at (a folder on the way that may not be entered, a loop of
  // links, a name too long, a failed read): something may be there.
  virtual bool FileExists(const std::string& path) = 0;

  // True when path is a folder (links followed); false when nothing is there
  // or something else is. Raises SystemError when it cannot be looked at.
  virtual bool FolderExists(const std::string& path) = 0;

  // Lists a folder, following path itself when it is a link. Raises
  // SystemError when it cannot be listed (no permission, gone, not a folder,
  // name too long).
  virtual std::unique_ptr<FolderListing> ListFolder(const std::string& path) = 0;

  // Opens a file for the digest, read-only. Only a regular file opens, and
  // nothing else is opened to find out (a device may act on an open); a
  // failure raises SystemError carrying the system error number. Never blocks.
  virtual std::unique_ptr<Stream> OpenForDigest(const std::string& path) = 0;
  // OpenForDigest for a file met in a listing: one its listing called a
  // regular file (FileToOpen::listed_regular) is opened without a look first
  // (should something else have taken its place meanwhile, the open's own
  // check still refuses it), and by its name alone in its folder when that
  // is held open by this Env; any other by its whole path, as OpenForDigest.
  virtual std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) = 0;
  // Holds the folder at path open for the call above; null when the platform
  // has no such open (its files then open by their paths). Raises
  // SystemError when it cannot. Each handle holds a descriptor while it lives.
  virtual std::shared_ptr<const FolderHandle> HoldFolder(const std::string& path) = 0;

  // The program's standard input as a stream of unknown size (Size() is -1):
  // a digest reads it to its end. Never fails here; a closed or unreadable
  // standard input fails its first read, with the system's error number.
  virtual std::unique_ptr<Stream> OpenStandardInput() = 0;

  // Opens a text file for reading (others may read it meanwhile). Failure
  // raises IoError. The stream's Read() returning -1 is a read failure. A
  // pipe (FIFO) opens as a stream read once, with no size (OneWayStream).
  virtual std::unique_ptr<Stream> OpenTextForReading(const std::string& path) = 0;

  // The path a chain of symbolic links at path leads to, whether that exists
  // or not (a link's relative target taken from the link's folder); path
  // itself when it is no link, or where the platform follows none here.
  // Raises IoError when a link cannot be read or the chain goes round.
  virtual std::string FinalTarget(const std::string& path) = 0;

  // Starts replacing the text file at path (see ReplacingFile). Fails with
  // IoError when the folder cannot be written or an existing file at path may
  // not be replaced (no write permission for anyone: read-only), before any
  // byte is written. The new file keeps the old one's mode, and its owner and
  // group where the system allows. When path is a symbolic link, the file it
  // leads to (through any chain of links) is replaced and the link stays.
  virtual std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) = 0;

  // Removes the file at path when it is what a killed run left between
  // naming its temporary file and renaming it (its name starts with
  // CommittingTempPrefix of its target), older than a minute: a living run
  // renames such a file within microseconds. Anything else, and any
  // failure, leaves things as they are: it is only tidying.
  virtual void RemoveLeftOver(const std::string& path) = 0;

  // The local date and time now, and the user's time separator (":").
  virtual LocalTime Now() = 0;
  virtual std::string TimeSeparator() = 0;

  // How many more files this process may open now: what it may hold open at
  // once (ulimit -n on POSIX; no practical bound on Windows) less what it
  // holds. A job's DescriptorBudget (platform/descriptor_budget.h) starts
  // from it.
  virtual std::size_t OpenFilesAllowed() = 0;
};

// The readability test's reason as a number: 0 when path passes, else the
// system error number of Env::CheckReadable.
int ReadabilityError(Env& env, const std::string& path);

// Env::FileExists for a caller to whom "cannot look" means "something may be
// there": true then too.
bool FileMayExist(Env& env, const std::string& path);

// Env::FolderExists for a caller to whom "cannot look" means "no folder to
// work in": false then.
bool FolderToUse(Env& env, const std::string& path);

// An Env that forwards every call to a target Env. Derive from it and
// override only what changes; the target must outlive the wrapper.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}

  Env& target() const { return target_; }

  void CheckReadable(const std::string& path) override { target_.CheckReadable(path); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return target_.FolderExists(path); }
  std::unique_ptr<FolderListing> ListFolder(const std::string& path) override { return target_.ListFolder(path); }
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override { return target_.OpenForDigest(path); }
  std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) override {
    return target_.OpenListedForDigest(file);
  }
  std::shared_ptr<const FolderHandle> HoldFolder(const std::string& path) override {
    return target_.HoldFolder(path);
  }
  std::unique_ptr<Stream> OpenStandardInput() override { return target_.OpenStandardInput(); }
  std::unique_ptr<Stream> OpenTextForReading(const std::string& path) override {
    return target_.OpenTextForReading(path);
  }
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override {
    return target_.CreateReplacing(path);
  }
  std::string FinalTarget(const std::string& path) override { return target_.FinalTarget(path); }
  void RemoveLeftOver(const std::string& path) override { target_.RemoveLeftOver(path); }
  LocalTime Now() override { return target_.Now(); }
  std::string TimeSeparator() override { return target_.TimeSeparator(); }
  std::size_t OpenFilesAllowed() override { return target_.OpenFilesAllowed(); }

 private:
  Env& target_;
};

// The error number OpenForDigest reports for an entry that is neither a
// regular file nor a folder (FIFO, socket, device).
inline constexpr int kNotRegularFile = -1000;

// The path made absolute against the current folder, without resolving
// links or "..": "a.txt" in /home/u gives "/home/u/a.txt".
std::string AbsolutePath(const std::string& path);

// The folder that holds the running executable, links resolved, without a
// trailing separator (except for the root itself).
std::string ExecutableFolder();

}  // namespace quillora
