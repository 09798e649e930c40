// The one fault-injecting Env of the tests: an EnvWrapper around a base Env
// (the real system by default) that fails only what a test asks for, in
// the cases the system cannot produce on demand: a file held open by another
// program, a read that fails part way (a bad sector), a file that grows or
// shrinks while it is read, an open that runs out of memory, a folder that
// cannot be entered (as root, every folder can), a disk that fills
// mid-write, a file that changes right after it was read.
// Its clock is fixed, so a check file's date comment can be compared byte for
// byte.
//
// Set the faults before a job starts: the job's threads read them all at
// once and nothing guards them.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winerror.h>
#endif

#include "platform/env.h"
#include "platform/errors.h"
#include "testing/string_stream.h"

namespace quillora::testing {

// The error numbers of the faults a test injects, as this platform's Env
// reports them: errno on POSIX, the system's error codes on Windows. A
// job tells what a file is from a fault of the system by them, so a test
// must speak the platform's own.
namespace error {
#ifdef _WIN32
inline constexpr int kIo = ERROR_IO_DEVICE;
inline constexpr int kBusy = ERROR_SHARING_VIOLATION;
inline constexpr int kNoDescriptor = ERROR_TOO_MANY_OPEN_FILES;
inline constexpr int kNoMemory = ERROR_NOT_ENOUGH_MEMORY;
inline constexpr int kDenied = ERROR_ACCESS_DENIED;
inline constexpr int kNotFound = ERROR_FILE_NOT_FOUND;
#else
inline constexpr int kIo = EIO;
inline constexpr int kBusy = EBUSY;
inline constexpr int kNoDescriptor = EMFILE;
inline constexpr int kNoMemory = ENOMEM;
inline constexpr int kDenied = EACCES;
inline constexpr int kNotFound = ENOENT;
#endif
}  // namespace error

class FaultEnv : public EnvWrapper {
 public:
  explicit FaultEnv(Env& base = Env::Default()) : EnvWrapper(base) {}

  // --- Faults; all off until set. Paths are full paths as the job forms them.

  // Locked by another program: they pass the readability test, which
  // shares, but the digest's unshared open fails (error::kBusy).
  std::vector<std::string> locked_by_others;
  // The lookup of each path, and of every path below it, fails with the
  // error number given (EACCES: a folder that may not be entered).
  std::map<std::string, int> lookup_errors;
  // The digest's read of each file fails (error::kIo) once this many bytes of it
  // have been read.
  std::map<std::string, std::size_t> reads_fail_after;
  // Each file grows by this many bytes right after the digest's first read
  // of it, as a log file grows while it is read.
  std::map<std::string, std::size_t> grows_while_read;
  // Each file is cut to this many bytes right after the digest's first read
  // of it, as a file being rewritten is cut while it is read.
  std::map<std::string, std::size_t> shrinks_while_read;
  // The digest of each file throws std::bad_alloc, as when memory runs out:
  // at its open (0), or at its first read from this many bytes on.
  std::map<std::string, std::size_t> out_of_memory_after;
  // Each of these text files grows by a line right after its first read, as
  // a check file being rewritten while it is verified.
  std::vector<std::string> texts_changed_after_first_read;
  // The reads of each text file end (a read of 0 bytes) once this many bytes
  // of it have been read, though its size says more: a file system that
  // gives up part way without an error.
  std::map<std::string, std::size_t> texts_ending_after;
  // Each file's size is said to be this many bytes short of what it holds,
  // at its open and after, as some file systems say.
  std::map<std::string, std::int64_t> sizes_understated;
  // Asking a file whether it changed since it was opened (after the digest's
  // last read) fails with the error number given (EIO: a failing disk).
  std::map<std::string, int> change_checks_fail;
  // Each file says it was changed a moment before its open (Stream::
  // Unsettled): a write may still be under way as it is read. Every other
  // file says it was changed long before, whenever the test wrote it.
  std::vector<std::string> recently_changed;
  // Text files served from memory, read back 16 bytes at a time; reads fail
  // with EIO from byte text_read_fails_at on.
  std::map<std::string, std::string> texts;
  std::size_t text_read_fails_at = static_cast<std::size_t>(-1);
  // Each file being replaced takes this many Append() calls, then fails with
  // "Disk full"; -1 never fails.
  int appends_allowed = -1;
  // Folders are listed in name order, so a test can state the walk's order.
  bool sorted_listings = false;
  // Every digest waits this long before it opens its file.
  std::chrono::milliseconds digest_delay{0};
  // Every digest read waits this long first, as a read from a disk that is
  // not cached; requests to read a small file ahead from its start are
  // counted.
  std::chrono::microseconds read_delay{0};
  std::atomic<std::size_t> read_ahead_requests{0};
  // Folders listed.
  std::atomic<std::size_t> listings{0};
  // The listing of each folder gives this many entries, then fails with the
  // error number given (EIO: a disk that fails part way).
  std::map<std::string, std::pair<std::size_t, int>> listings_fail_after;
  // The digest's open of each file, and the readability test, fail with the
  // error number given (EIO, EMFILE, ...).
  std::map<std::string, int> open_errors;
  // How many files the process may still open: OpenFilesAllowed() says so,
  // and every open through this Env beyond it fails (error::kNoDescriptor), as the
  // system's would. Unset, no bound.
  std::optional<std::size_t> open_files_allowed;
  // The most files (streams, listings, folders held, files being replaced)
  // open through this Env at once.
  std::atomic<std::size_t> peak_open{0};
  // Each of these files changes the moment the digest closes it, having read
  // it: it then holds the bytes given, or is removed (nullopt). Its outcome
  // is handed in only after that, so the file has changed before the job
  // can take the outcome.
  std::map<std::string, std::optional<std::string>> changed_after_read;
  // The clock.
  LocalTime now{2026, 12, 6, 8, 30, 3};
  std::string time_separator = ":";

  // --- Env.

  void CheckReadable(const std::string& path) override {
    if (const int error = LookupError(path)) throw SystemError("open", error);
    if (const auto fails = open_errors.find(path); fails != open_errors.end()) throw SystemError("open", fails->second);
    target().CheckReadable(path);
  }
  bool FileExists(const std::string& path) override {
    if (const int error = LookupError(path)) {
      if (error == ENOENT || error == ENOTDIR) return false;
      throw SystemError("stat", error);
    }
    return target().FileExists(path);
  }
  bool FolderExists(const std::string& path) override {
    if (const int error = LookupError(path)) {
      if (error == ENOENT || error == ENOTDIR) return false;
      throw SystemError("stat", error);
    }
    return target().FolderExists(path);
  }
  std::unique_ptr<FolderListing> ListFolder(const std::string& path) override {
    ++listings;
    if (const int error = LookupError(path)) throw SystemError("open", error);
    Opening opening(*this);
    std::unique_ptr<FolderListing> listing = target().ListFolder(path);
    if (sorted_listings) listing = std::make_unique<Sorted>(*listing);
    if (const auto fails = listings_fail_after.find(path); fails != listings_fail_after.end())
      listing = std::make_unique<FailingListing>(std::move(listing), fails->second.first, fails->second.second);
    return opening.Counted(std::move(listing));
  }
  std::shared_ptr<const FolderHandle> HoldFolder(const std::string& path) override {
    Opening opening(*this);
    std::shared_ptr<const FolderHandle> real = target().HoldFolder(path);
    if (!real) return nullptr;
    return std::make_shared<CountedHandle>(std::move(real), opening.Release());
  }
  std::size_t OpenFilesAllowed() override {
    if (!open_files_allowed) return target().OpenFilesAllowed();
    return *open_files_allowed - std::min(*open_files_allowed, open_.load());
  }
  // Listed files meet the same faults, also those opened by name in a
  // folder held open.
  std::unique_ptr<Stream> OpenListedForDigest(const FileToOpen& file) override { return OpenForDigest(file.path); }
  std::unique_ptr<Stream> OpenForDigest(const std::string& path) override {
    if (digest_delay.count() > 0) std::this_thread::sleep_for(digest_delay);
    if (const int error = LookupError(path)) throw SystemError("open", error);
    if (const auto fails = open_errors.find(path); fails != open_errors.end()) throw SystemError("open", fails->second);
    if (std::find(locked_by_others.begin(), locked_by_others.end(), path) != locked_by_others.end())
      throw SystemError("open", error::kBusy);
    const auto no_memory = out_of_memory_after.find(path);
    if (no_memory != out_of_memory_after.end() && no_memory->second == 0) throw std::bad_alloc();
    Opening opening(*this);
    auto file = target().OpenForDigest(path);
    if (const auto grows = grows_while_read.find(path); grows != grows_while_read.end()) {
      file = std::make_unique<ChangedOnFirstRead>(std::move(file), [path, more = grows->second] {
        std::ofstream(path, std::ios::binary | std::ios::app) << std::string(more, 'g');
      });
    }
    if (const auto cut = shrinks_while_read.find(path); cut != shrinks_while_read.end()) {
      file = std::make_unique<ChangedOnFirstRead>(
          std::move(file), [path, size = cut->second] { std::filesystem::resize_file(path, size); });
    }
    if (const auto change = changed_after_read.find(path); change != changed_after_read.end())
      file = std::make_unique<ChangedOnClose>(std::move(file), path, change->second);
    if (const auto fails = reads_fail_after.find(path); fails != reads_fail_after.end())
      file = std::make_unique<FailingRead>(std::move(file), fails->second);
    if (no_memory != out_of_memory_after.end())
      file = std::make_unique<FailingRead>(std::move(file), no_memory->second, Cut::kThrows);
    if (const auto short_by = sizes_understated.find(path); short_by != sizes_understated.end())
      file = std::make_unique<Understated>(std::move(file), short_by->second);
    if (const auto fails = change_checks_fail.find(path); fails != change_checks_fail.end())
      file = std::make_unique<FailingChangeCheck>(std::move(file), fails->second);
    file = std::make_unique<ChangedAt>(
        std::move(file), std::find(recently_changed.begin(), recently_changed.end(), path) != recently_changed.end());
    if (read_delay.count() > 0) file = std::make_unique<SlowRead>(std::move(file), *this);
    return opening.Counted(std::move(file));
  }
  std::unique_ptr<Stream> OpenTextForReading(const std::string& path) override {
    const auto served = texts.find(path);
    if (served == texts.end()) {
      Opening opening(*this);
      std::unique_ptr<Stream> file = target().OpenTextForReading(path);
      const auto& changed = texts_changed_after_first_read;
      if (std::find(changed.begin(), changed.end(), path) != changed.end()) {
        file = std::make_unique<ChangedOnFirstRead>(
            std::move(file), [path] { std::ofstream(path, std::ios::binary | std::ios::app) << "\r\n"; });
      }
      if (const auto ends = texts_ending_after.find(path); ends != texts_ending_after.end())
        file = std::make_unique<FailingRead>(std::move(file), ends->second, Cut::kEnds);
      return opening.Counted(std::move(file));
    }
    return std::make_unique<StringStream>(served->second, 16, text_read_fails_at);
  }
  std::unique_ptr<ReplacingFile> CreateReplacing(const std::string& path) override {
    Opening opening(*this);
    std::unique_ptr<ReplacingFile> file = target().CreateReplacing(path);
    if (appends_allowed >= 0) file = std::make_unique<Filling>(std::move(file), appends_allowed);
    return std::make_unique<CountedReplacing>(std::move(file), opening.Release());
  }
  LocalTime Now() override { return now; }
  std::string TimeSeparator() override { return time_separator; }

 private:
  // One more file open through this Env, counted while it lives; past
  // open_files_allowed it fails (error::kNoDescriptor) before the real open.
  class Opening {
   public:
    explicit Opening(FaultEnv& env) : env_(&env) {
      const std::size_t now = ++env.open_;
      std::size_t peak = env.peak_open.load();
      while (now > peak && !env.peak_open.compare_exchange_weak(peak, now)) {
      }
      if (env.open_files_allowed && now > *env.open_files_allowed) {
        --env.open_;
        env_ = nullptr;
        throw SystemError("open", error::kNoDescriptor);
      }
    }
    ~Opening() {
      if (env_ != nullptr) --env_->open_;
    }
    // Hands the count to what was opened: it is given back when that goes.
    std::shared_ptr<void> Release() {
      FaultEnv* env = std::exchange(env_, nullptr);
      return std::shared_ptr<void>(nullptr, [env](void*) { --env->open_; });
    }
    template <class Opened>
    std::unique_ptr<Opened> Counted(std::unique_ptr<Opened> opened) {
      if constexpr (std::is_same_v<Opened, Stream>) {
        return std::make_unique<CountedStream>(std::move(opened), Release());
      } else {
        return std::make_unique<CountedListing>(std::move(opened), Release());
      }
    }

   private:
    FaultEnv* env_;
  };

  class CountedStream final : public WrappingStream {
   public:
    CountedStream(std::unique_ptr<Stream> real, std::shared_ptr<void> count)
        : WrappingStream(std::move(real)), count_(std::move(count)) {}
    ~CountedStream() override { CloseWrapped(); }  // closed before it is counted as closed

   private:
    std::shared_ptr<void> count_;
  };

  class CountedListing final : public FolderListing {
   public:
    CountedListing(std::unique_ptr<FolderListing> real, std::shared_ptr<void> count)
        : count_(std::move(count)), real_(std::move(real)) {}
    bool Next(FolderEntry& entry) override { return real_->Next(entry); }
    FolderId id() const override { return real_->id(); }

   private:
    std::shared_ptr<void> count_;
    std::unique_ptr<FolderListing> real_;  // closed first: members go in reverse order
  };

  class CountedHandle final : public FolderHandle {
   public:
    CountedHandle(std::shared_ptr<const FolderHandle> real, std::shared_ptr<void> count)
        : count_(std::move(count)), real_(std::move(real)) {}

   private:
    std::shared_ptr<void> count_;
    std::shared_ptr<const FolderHandle> real_;  // let go of first
  };

  class CountedReplacing final : public ReplacingFile {
   public:
    CountedReplacing(std::unique_ptr<ReplacingFile> real, std::shared_ptr<void> count)
        : count_(std::move(count)), real_(std::move(real)) {}
    void Append(std::string_view bytes) override { real_->Append(bytes); }
    void Commit() override { real_->Commit(); }
    const std::string& temp_path() const override { return real_->temp_path(); }

   private:
    std::shared_ptr<void> count_;
    std::unique_ptr<ReplacingFile> real_;  // closed first
  };

  // Gives `good` entries of a real listing, then fails.
  class FailingListing final : public FolderListing {
   public:
    FailingListing(std::unique_ptr<FolderListing> real, std::size_t good, int error)
        : real_(std::move(real)), good_(good), error_(error) {}
    bool Next(FolderEntry& entry) override {
      if (good_ == 0) throw SystemError("readdir", error_);
      --good_;
      return real_->Next(entry);
    }
    FolderId id() const override { return real_->id(); }

   private:
    std::unique_ptr<FolderListing> real_;
    std::size_t good_;
    int error_;
  };

  std::atomic<std::size_t> open_{0};

  int LookupError(const std::string& path) const {
    for (const auto& [failing, error] : lookup_errors) {
      if (path.compare(0, failing.size(), failing) == 0 &&
          (path.size() == failing.size() || path[failing.size()] == kPathSeparator))
        return error;
    }
    return 0;
  }

  // Reads `good` bytes as the real file, then fails, throws std::bad_alloc
  // or ends (0 bytes), as `cut` says.
  enum class Cut { kFails, kThrows, kEnds };
  class FailingRead final : public WrappingStream {
   public:
    FailingRead(std::unique_ptr<Stream> real, std::size_t good, Cut cut = Cut::kFails)
        : WrappingStream(std::move(real)), good_(good), cut_(cut) {}
    std::int64_t Read(void* buffer, std::size_t n) override {
      const std::int64_t at = Position();
      if (at < 0 || static_cast<std::size_t>(at) >= good_) {
        if (cut_ == Cut::kThrows) throw std::bad_alloc();
        return cut_ == Cut::kEnds ? 0 : -1;
      }
      return WrappingStream::Read(buffer, std::min(n, good_ - static_cast<std::size_t>(at)));
    }
    int last_error() const override { return error::kIo; }

   private:
    std::size_t good_;
    Cut cut_;
  };

  class SlowRead final : public WrappingStream {
   public:
    SlowRead(std::unique_ptr<Stream> real, FaultEnv& env) : WrappingStream(std::move(real)), env_(env) {}
    std::int64_t Read(void* buffer, std::size_t n) override {
      std::this_thread::sleep_for(env_.read_delay);
      return WrappingStream::Read(buffer, n);
    }
    void ReadAhead(std::int64_t from, std::int64_t bytes) override {
      if (from == 0 && Size() < (1 << 20)) ++env_.read_ahead_requests;
      WrappingStream::ReadAhead(from, bytes);
    }

   private:
    FaultEnv& env_;
  };

  // Changes the file right after the first read. Windows lets no one write
  // to a file the digest reads, so there the stream only says, from then on,
  // that its file is no longer the version opened.
  class ChangedOnFirstRead final : public WrappingStream {
   public:
    ChangedOnFirstRead(std::unique_ptr<Stream> real, std::function<void()> change)
        : WrappingStream(std::move(real)), change_(std::move(change)) {}
    std::int64_t Read(void* buffer, std::size_t n) override {
      const std::int64_t got = WrappingStream::Read(buffer, n);
#ifdef _WIN32
      changed_ = true;
#else
      if (change_) std::exchange(change_, nullptr)();
#endif
      return got;
    }
    int ChangeSinceOpen() override { return changed_ ? kChangedWhileRead : WrappingStream::ChangeSinceOpen(); }

   private:
    std::function<void()> change_;
    bool changed_ = false;
  };

  class Understated final : public WrappingStream {
   public:
    Understated(std::unique_ptr<Stream> real, std::int64_t short_by)
        : WrappingStream(std::move(real)), short_by_(short_by) {}
    std::int64_t Size() override { return std::max<std::int64_t>(0, WrappingStream::Size() - short_by_); }

   private:
    std::int64_t short_by_;
  };

  class ChangedAt final : public WrappingStream {
   public:
    ChangedAt(std::unique_ptr<Stream> real, bool just_now) : WrappingStream(std::move(real)), just_now_(just_now) {}
    std::chrono::nanoseconds Unsettled() const override {
      return just_now_ ? std::chrono::milliseconds(30) : std::chrono::milliseconds(0);
    }

   private:
    bool just_now_;
  };

  class FailingChangeCheck final : public WrappingStream {
   public:
    FailingChangeCheck(std::unique_ptr<Stream> real, int error) : WrappingStream(std::move(real)), error_(error) {}
    int ChangeSinceOpen() override { return error_; }

   private:
    int error_;
  };

  class ChangedOnClose final : public WrappingStream {
   public:
    ChangedOnClose(std::unique_ptr<Stream> real, std::string path, std::optional<std::string> bytes)
        : WrappingStream(std::move(real)), path_(std::move(path)), bytes_(std::move(bytes)) {}
    ~ChangedOnClose() override {
      CloseWrapped();  // closed first, as the system would see it
      if (bytes_) {
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << *bytes_;
      } else {
        std::remove(path_.c_str());
      }
    }

   private:
    std::string path_;
    std::optional<std::string> bytes_;
  };

  class Filling final : public ReplacingFile {
   public:
    Filling(std::unique_ptr<ReplacingFile> real, int allowed) : real_(std::move(real)), allowed_(allowed) {}
    void Append(std::string_view bytes) override {
      if (allowed_-- <= 0) throw IoError(IoError::kDiskFull);
      real_->Append(bytes);
    }
    void Commit() override { real_->Commit(); }
    const std::string& temp_path() const override { return real_->temp_path(); }

   private:
    std::unique_ptr<ReplacingFile> real_;
    int allowed_;
  };

  class Sorted final : public FolderListing {
   public:
    explicit Sorted(FolderListing& from) : id_(from.id()) {
      FolderEntry e;
      while (from.Next(e)) entries_.push_back(e);
      std::sort(entries_.begin(), entries_.end(), [](auto& a, auto& b) { return a.name < b.name; });
    }
    bool Next(FolderEntry& e) override {
      if (at_ == entries_.size()) return false;
      e = entries_[at_++];
      return true;
    }
    FolderId id() const override { return id_; }

   private:
    std::vector<FolderEntry> entries_;
    std::size_t at_ = 0;
    FolderId id_;
  };
};

}  // namespace quillora::testing
