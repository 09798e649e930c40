// Reads the records of a check file, streamed: one block of input and the
// current record are all it holds, whatever the file's size or line lengths.
// A long record costs its own bytes and about a megabyte more, never a copy:
// its path is gathered in pieces and joined once, each piece given back as
// soon as it is copied.
//
// The rules, over bytes as they stand:
// - lines end at LF; every CR is dropped (before an LF or anywhere else);
// - a byte 0x1A (Ctrl-Z) ends the input; the last line needs no line end;
// - a line whose first character is ";" is a comment;
// - any other line is a record only when its first TAB is its 33rd
//   character: characters 1 to 32 are the stored digest text (not checked
//   for being hexadecimal), the rest of the line is the relative path (may be
//   empty, may hold blanks and TABs). Every other line is passed over.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/stream.h"

namespace quillora {

struct CheckRecord {
  std::string digest_text;    // the 32 characters before the TAB, as written
  // The reader's path_prefix followed by everything after the TAB, the
  // latter in check-file form ("\").
  std::string relative_path;
};

class CheckFileReader {
 public:
  // Reads from input, which must outlive the reader. Reading starts at the
  // stream's current position. Every record's relative_path starts with
  // path_prefix, so a caller that needs the full path gets it without a
  // second copy of a long path. A path joined from pieces has room for
  // kPathRoom more bytes: a short lead and quotes can go around it in place.
  explicit CheckFileReader(Stream& input, std::string path_prefix = {});
  static constexpr std::size_t kPathRoom = 32;
  CheckFileReader(const CheckFileReader&) = delete;
  CheckFileReader& operator=(const CheckFileReader&) = delete;

  // Reads on to the next record and stores it in record; false when the
  // input has ended (its end or a Ctrl-Z), and on every call after that. A
  // failed read raises IoError; the records before it have been returned.
  bool Next(CheckRecord& record);

 private:
  enum class LineState { kHead, kComment, kRecordPath, kNotRecord };

  bool Refill();  // false at the end of input
  bool EndLine(CheckRecord& record);  // true when the finished line was a record
  void AppendPath(const char* bytes, std::size_t count);

  static constexpr std::size_t kBlockSize = 64 * 1024;
  // Big enough that the system maps each piece apart and takes it back when
  // it is freed; small enough to be the constant in the cost of a long path.
  static constexpr std::size_t kPieceSize = 1 << 20;

  Stream& input_;
  std::string block_;
  std::size_t at_ = 0;    // next unread byte of block_
  std::size_t size_ = 0;  // bytes of block_ in use
  bool ended_ = false;
  LineState state_ = LineState::kHead;
  std::string head_;  // the first characters of the line, up to 32
  std::string prefix_;
  std::string path_;                // the last piece of the path so far
  std::vector<std::string> pieces_;  // the full pieces before it
};

}  // namespace quillora
