// Reads the records of a check file, streamed: one block of input and the
// current record are all it holds, whatever the file's size or line lengths.
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

#include "platform/stream.h"

namespace quillora {

struct CheckRecord {
  std::string digest_text;    // the 32 characters before the TAB, as written
  std::string relative_path;  // everything after the TAB, in check-file form ("\")
};

class CheckFileReader {
 public:
  // Reads from input, which must outlive the reader. Reading starts at the
  // stream's current position.
  explicit CheckFileReader(Stream& input);
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

  static constexpr std::size_t kBlockSize = 64 * 1024;

  Stream& input_;
  std::string block_;
  std::size_t at_ = 0;    // next unread byte of block_
  std::size_t size_ = 0;  // bytes of block_ in use
  bool ended_ = false;
  LineState state_ = LineState::kHead;
  std::string head_;  // the first characters of the line, up to 32
  std::string path_;
};

}  // namespace quillora
