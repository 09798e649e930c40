// The verifier's counters and lists, and the summary it ends a run with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "checkfile/check_file_reader.h"
#include "checkfile/result_sink.h"

namespace quillora {

// How the records of one run turned out. 64-bit, so no count of records can
// wrap around.
struct VerifyCounts {
  std::int64_t unchanged = 0;
  std::int64_t changed = 0;
  std::int64_t lost = 0;
  std::int64_t unopenable = 0;
  // Lines of the check file read as no record, comment or empty line: no
  // verdict, no part of the total (CheckFileReader::unread_lines).
  std::int64_t unread_lines = 0;
  // Records whose file does not exist, passed over (VerifyOptions::
  // ignore_missing): no part of the total either.
  std::int64_t missing_ignored = 0;
  // Of the unread lines, how many look like records of each other digest
  // (CheckFileReader::unread_kinds).
  std::vector<UnreadKind> unread_kinds = {};
  // The check file is signed, but GnuPG did not check the signature
  // (SignatureFinding::Unchecked: a key not in the keyring, no GnuPG).
  bool signature_unchecked = false;
  // The check file's signature fails (SignatureFinding::Fails): its records
  // were not read, and the verify is no pass.
  bool signature_fails = false;

  std::int64_t total() const { return unchanged + changed + lost + unopenable; }
  // True when every record was unchanged (also when there was none), and no
  // signature failed.
  bool all_ok() const { return changed == 0 && lost == 0 && unopenable == 0 && !signature_fails; }
};

// The count line: the total, the lost and unopenable counts when not 0, and
// the changed count always, each with its singular or plural text; it ends
// with a blank. "3 files were verified. 1 file did not exist. 0 file changed. "
std::string CountLine(const VerifyCounts& counts);

// Reports, among a verify's closing lines, what it could not read of its
// check file (the reader's unread lines), or nothing when it read every line:
// an empty line, how many lines were not read ("1 line of the check file was
// not read as a record."), for each other digest some look like a record of,
// how many ("2 of them look like SHA256 records."), then an empty line, the
// heading and each line by its number (sink.LineNotRead), the first
// CheckFileReader::kUnreadKept of them, and how many more.
void ReportUnreadLines(ResultSink& sink, const CheckFileReader& reader);

// A list of full paths that mostly start with one prefix, in the order they
// were added. Short paths are packed into one buffer without the prefix, so
// a million entries cost their own bytes and one offset each; a long path
// keeps its own string, moved in, so it is never held twice, and so does a
// path added as one of its own (another tool's absolute name), without the
// prefix.
class PathList {
 public:
  explicit PathList(std::size_t prefix_length) : prefix_length_(prefix_length) {}
  void Add(std::string full_path, bool own_path = false);
  std::size_t size() const { return ends_.size(); }
  // Calls report(path) for each path in order, with the prefix given back.
  template <class Report>
  void ForEach(std::string_view prefix, Report report) const;

 private:
  static constexpr std::size_t kOwnStringFrom = 64 * 1024;
  std::size_t prefix_length_;
  std::string bytes_;
  std::vector<std::size_t> ends_;     // into bytes_; an own string adds nothing
  std::vector<std::string> own_;      // the long paths, whole
  std::vector<std::size_t> own_at_;   // the index each of them has in the list
};

// Counts the verdicts of a run and remembers the full paths of every finding,
// which all start with base_folder.
class VerifyTally {
 public:
  explicit VerifyTally(std::string base_folder)
      : base_(std::move(base_folder)), changed_(base_.size()), lost_(base_.size()), unopenable_(base_.size()) {}
  // Counts the verdict, and keeps full_path on the list of its findings.
  // own_path: the path does not start with the base folder (an absolute
  // record of another tool's layout).
  void Add(Verdict verdict, std::string full_path, bool own_path = false);
  void IgnoreMissing() { ++counts_.missing_ignored; }

  const VerifyCounts& counts() const { return counts_; }

  // Reports the end of a run: SummaryBegins (its empty line), then as
  // SummaryLines "Operation completes.", the count line, "The check file
  // holds no record." when the total is 0 ("No recorded file exists." when
  // records were passed over as missing), each of about_records (what the
  // run knows of the records as a whole: which digest they are, a signature
  // left unchecked), then for each non-empty list in the order changed,
  // lost, unopenable an empty line, its heading and its full paths. The
  // unopenable list's heading names the digest being calculated: "MD5", or
  // "SHA-256" for records of that.
  void ReportSummary(ResultSink& sink, const std::vector<std::string>& about_records = {},
                     std::string_view digest_name = "MD5") const;

 private:
  VerifyCounts counts_;
  std::string base_;
  PathList changed_, lost_, unopenable_;
};

template <class Report>
void PathList::ForEach(std::string_view prefix, Report report) const {
  std::string line;
  std::size_t begin = 0, own = 0;
  for (std::size_t i = 0; i < ends_.size(); ++i) {
    if (own < own_at_.size() && own_at_[own] == i) {
      report(std::string_view(own_[own++]));
      continue;
    }
    line.assign(prefix).append(std::string_view(bytes_).substr(begin, ends_[i] - begin));
    begin = ends_[i];
    report(std::string_view(line));
  }
}

}  // namespace quillora
