// Reads the records of a check file, streamed: one block of input and the
// current record are all it holds, whatever the file's size or line lengths.
// A long record costs its own bytes and a block more, never a copy: once a
// line passes kLongLine, the reader reads on to its end to learn its length
// and goes back, so its path is gathered in one string of its whole size.
//
// A UTF-8 byte-order mark at the start of the input is passed over (Notepad
// writes one), whatever the layout.
//
// Quillora's own layout, over bytes as they stand:
// - lines end at LF; every CR is dropped (before an LF or anywhere else);
// - a byte 0x1A (Ctrl-Z) ends the records: the last line needs no line end,
//   and every line after it that is not empty (the rest of its own line
//   first) is a line not read, for it may name a file;
// - a line whose first character is ";" is a comment;
// - any other line is a record only when its first TAB is its 33rd
//   character: characters 1 to 32 are the stored digest text (not checked
//   for being hexadecimal), the rest of the line is the relative path (may be
//   empty, may hold blanks and TABs). An empty line (or one of blanks) is
//   passed over; every other line is damaged: no record, but counted and
//   numbered (unread_lines), for a line the reader cannot read may have
//   named a file.
//
// A file that holds not one such record (before any Ctrl-Z) is read again
// in the layouts of md5sum's family
// (CheckFileLayout::kMd5sum): every other tool's, line by line, lines of the
// different layouts mixed, as sum_lines.h reads them (sha*sum, b2sum, BSD
// tags, OpenSSL, SFV, hashdeep, a sidecar's lone digest, hex or base64). A
// PGP clear-signed wrapper is taken off first (clear_signed.h); in a file
// that holds a signed message, the lines outside it are lines not read.
// Which digests a line may be: its tag, else those the check file's name
// implies (ReadingRules::file_name), else those of its length. Lines end at
// LF, a CR directly before it is dropped; Ctrl-Z is a byte like any other
// (one alone at the very end of the file, an old editor's end mark, is passed
// over); empty lines, lines of blanks, and lines starting with "#" or ";" are
// passed over. A name is the path below the check file's folder, in native
// form ("\" is a folder separator unless the line escaped its name as md5sum
// does; on POSIX a name holding one may also be a file of that very name:
// backslashes_may_separate), or a path of its own when it starts at a root
// ("/srv/disc.iso"; on Windows "C:\disc.iso" too), as md5sum reads it. Every
// other line is improper: counted and numbered, never a record; so is a line
// of a digest this program lacks (MD4, hashdeep's tiger), named with what it is. A record of a
// digest other than those the user fixed (ReadingRules::fixed: its tag names
// another) is passed over as asked, and only counted (passed_over_lines).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checkfile/check_file_format.h"  // CheckFileLayout
#include "checkfile/clear_signed.h"
#include "checkfile/sum_lines.h"
#include "hashes/digest_table.h"
#include "platform/stream.h"

namespace quillora {

// A line read as no record, that was not a comment or empty either.
struct UnreadLine {
  std::int64_t number = 0;  // 1 for the first line of the file
  // What it looks like a record of, when it looks like one of another digest:
  // its tag ("SHA256"), or the digest's size ("256-bit"); for a record of a
  // digest this program lacks, that digest ("MD4", "tiger"); else empty.
  std::string looks_like;
  bool operator==(const UnreadLine&) const = default;
};

// Why lines were not read, beyond fitting no layout.
enum class UnreadWhy : std::uint8_t {
  kLooksLike,       // they look like records of another digest (name)
  kLacked,          // they are records of a digest this program lacks (name)
  kAfterEndMark,    // they follow a Ctrl-Z in Quillora's layout
  kOutsideMessage,  // they lie outside the signed message of a file that holds one
};

// Of the unread lines, how many were not read for one reason.
struct UnreadKind {
  std::string name;  // UnreadLine::looks_like; empty for the reasons that name nothing
  std::int64_t count = 0;
  UnreadWhy why = UnreadWhy::kLooksLike;
  bool operator==(const UnreadKind&) const = default;
};

struct CheckRecord {
  // Quillora's layout: the 32 characters of the stored digest, as written
  // (compared as text, letter case ignored). Empty in other layouts.
  std::string digest_text;
  // Other layouts: what the file must digest to (SumLine::digests), each
  // with the digests it may be. Empty in Quillora's layout.
  std::vector<ExpectedDigest> digests;
  std::optional<std::uint64_t> size;  // a hashdeep row's size, checked too
  // The reader's path_prefix followed by the record's path in native form:
  // every folder separator of the check file ("\", in the layouts where it is
  // one) is the native one, escapes are decoded. With the verifier's prefix,
  // the base folder, it is the full path of the recorded file. Without the
  // prefix when absolute.
  std::string path;
  // The record names a path of its own (another tool's absolute name), not
  // one below the check file's folder.
  bool absolute = false;
  // On POSIX, another tool's name that holds a backslash as written: path
  // keeps it, for the file of that very name; when no such file is there,
  // the backslashes are folder separators (SeparateAtBackslashes), as a
  // check file written on Windows means them.
  bool backslashes_may_separate = false;
};

// What a reader knows of the check file besides its bytes.
struct ReadingRules {
  // The check file's own name ("SHA256SUMS", "disc.iso.sha256"): the digests
  // it implies, and the file a sidecar's lone digest is of ("disc.iso").
  // Empty when it has none (standard input).
  std::string file_name;
  // The digests the user fixed: a line is read as one of them, and a line of
  // another (a tag says so) is not read. Without MD5 among them, Quillora's
  // own layout is not read either. Empty: each line's tag, the file's name or
  // the digest's length decides.
  DigestSet fixed;
  // Records end at NUL, as `sha256sum -z` writes them, not at a line end: a
  // line feed or a carriage return is a byte of the name, and Quillora's own
  // layout, whose lines end at LF, is not read.
  bool nul_ended = false;
  // Keep the number of every unread line, past the first kUnreadKept, until
  // TakeUnreadNumbers takes them: for a caller that names each in its place.
  bool keep_unread_numbers = false;
};

class CheckFileReader {
 public:
  // Reads from input, which must outlive the reader. Reading starts at the
  // stream's current position, and a file without a record of Quillora's
  // layout is read again from there: the stream must be able to seek back.
  // Every record's path starts with path_prefix, so a caller that
  // needs the full path gets it without a second copy of a long path. A path
  // longer than kLongLine has room for kPathRoom more bytes: a short lead and
  // quotes can go around it in place.
  explicit CheckFileReader(Stream& input, std::string path_prefix = {}, const ReadingRules& rules = {});
  static constexpr std::size_t kPathRoom = 32;
  CheckFileReader(const CheckFileReader&) = delete;
  CheckFileReader& operator=(const CheckFileReader&) = delete;

  // Reads on to the next record and stores it in record; false when the
  // input has ended (its end or a Ctrl-Z), and on every call after that. A
  // failed read or seek raises IoError; the records before it have been
  // returned.
  bool Next(CheckRecord& record);

  // The layout the records are read in. Settled once Next has returned a
  // record, or false; kQuillora before.
  CheckFileLayout layout() const { return layout_; }

  // How many lines (so far) are neither records, comments nor empty: damaged
  // lines of Quillora's layout, improperly formatted ones of the others, and
  // records of digests this program lacks or the user did not fix; and the
  // first kUnreadKept of them, with their numbers. A file read again in
  // other tools' layouts counts its lines anew.
  std::int64_t unread_lines() const { return unread_count_; }
  const std::vector<UnreadLine>& first_unread() const { return unread_; }
  // Of all those, how many look like records of each other digest
  // (UnreadLine::looks_like), in the order first met.
  const std::vector<UnreadKind>& unread_kinds() const { return kinds_; }
  static constexpr std::size_t kUnreadKept = 1000;
  // With ReadingRules::keep_unread_numbers, the numbers of the unread lines
  // counted since the last call, in order; a caller that takes them after
  // each Next has those before the record it returned (none of a reading
  // given up for the second one). Empty without it.
  std::vector<std::int64_t> TakeUnreadNumbers() { return std::exchange(unread_numbers_, {}); }

  // Lines of records of another digest than those the user fixed
  // (ReadingRules::fixed), passed over as asked: no finding.
  std::int64_t passed_over_lines() const { return passed_over_count_; }

  // A PGP clear-signed message was read: its lines, not its signature.
  bool signed_message() const { return clear_signed_.signed_message(); }

  // Makes each backslash of a record with backslashes_may_separate a folder
  // separator, for a record read by this reader: the name is then read as
  // written on Windows (an absolute one loses the prefix).
  void SeparateAtBackslashes(CheckRecord& record) const;

 private:
  enum class LineState { kHead, kComment, kRecordPath, kNotRecord, kLineStart, kLine };

  void Begin();       // reads the first bytes, in other tools' layouts after LookForSignedMessage
  void LookForSignedMessage();
  void SeekToStart();
  void ReadStart();   // reads the first bytes, passing over a byte-order mark
  bool Refill();      // false at the end of input
  bool EndOfInput(CheckRecord& record);  // true when the last line was a record
  // True when the finished line was a record. next_line: the line end was
  // a line feed (a Ctrl-Z ends records but not the line's number).
  bool EndLine(CheckRecord& record, bool next_line = true);
  // Settles the run of ordinary bytes at at_ in one step, where the state
  // allows; the byte that ends it is the next one's to take.
  void TakeRun(bool md5sum);
  // Take one byte that may change the state, of the other tools' layouts
  // (a line is kept whole, its fields read at its end) or of Quillora's own;
  // true when it ended a record's line.
  bool TakeOtherToolsByte(char ch, CheckRecord& record);
  bool TakeOwnLayoutByte(char ch, CheckRecord& record);
  void TakeGathered(std::string& into);  // prefix_ and the gathered bytes, joined
  void AppendPath(const char* bytes, std::size_t count);
  std::uint64_t LineBytesFromHere();  // from block_[at_] to the line's LF (or the end)
  void CountUnread(std::string_view line_start);  // the current line, by its first bytes
  void CountUnread(std::string looks_like, UnreadWhy why);
  bool EndRecordsAtMark(CheckRecord& record);  // a Ctrl-Z in Quillora's layout
  void Restart();  // for the second reading, in other tools' layouts
  void ReadAgain();  // seeks back to the start, for that second reading
  // Ends a line of other tools' layouts (state_ kLine, or an empty one).
  bool EndOtherLine(CheckRecord& record);
  bool TakeRecord(CheckRecord& record);  // sum_line_, a kRecord of the line in record.path

  static constexpr std::size_t kBlockSize = 64 * 1024;
  // Past this, a line is gathered in one string of its whole size (see
  // above); below, a second reading of it would cost more than a copy.
  static constexpr std::size_t kLongLine = 1 << 20;

  Stream& input_;
  std::int64_t start_;  // where the input began, for the second reading
  std::string block_;
  std::size_t at_ = 0;    // next unread byte of block_
  std::size_t size_ = 0;  // bytes of block_ in use
  bool ended_ = false;
  bool input_done_ = false;  // the input's last line is being ended
  bool started_ = false;
  bool decided_ = false;  // a record of Quillora's layout was met
  CheckFileLayout layout_ = CheckFileLayout::kQuillora;
  std::int64_t unread_count_ = 0;
  std::int64_t passed_over_count_ = 0;
  bool past_end_mark_ = false;  // Quillora's layout: a Ctrl-Z ended the records
  std::vector<UnreadLine> unread_;
  std::vector<UnreadKind> kinds_;
  std::int64_t line_number_ = 1;  // of the line being read
  DigestSet fixed_;
  char line_end_;  // of the other tools' layouts: LF, or NUL (ReadingRules::nul_ended)
  bool keep_unread_numbers_;
  std::vector<std::int64_t> unread_numbers_;
  SumLineParser parser_;
  SumLine sum_line_;
  ClearSignedText clear_signed_;
  std::string sidecar_;  // the file a lone digest is of; empty: none
  LineState state_ = LineState::kHead;
  std::string head_;  // the first characters of the line, up to 32
  // The first bytes of a line that is no record of Quillora's layout, to
  // tell what it looks like, and whether the whole line is blanks.
  std::string sample_;
  bool sample_blank_ = true;
  static constexpr std::size_t kSampleSize = 160;
  std::string prefix_;
  std::string path_;         // the path (or other tool's line) so far
  bool whole_line_ = false;  // path_ is a long line's own string, prefix_ first
};

}  // namespace quillora
