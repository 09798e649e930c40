#include "checkfile/check_file_reader.h"

#include "checkfile/check_file_format.h"
#include "platform/errors.h"

namespace quillora {
namespace {

constexpr char kEndOfInput = '\x1a';

bool IsSpecial(char ch) { return ch == '\n' || ch == '\r' || ch == kEndOfInput; }

}  // namespace

CheckFileReader::CheckFileReader(Stream& input) : input_(input), block_(kBlockSize, '\0') {
  head_.reserve(kDigestTextLength);
}

bool CheckFileReader::Refill() {
  const std::int64_t got = input_.Read(block_.data(), block_.size());
  if (got < 0) throw IoError::FromSystem(input_.last_error());
  at_ = 0;
  size_ = static_cast<std::size_t>(got);
  return got > 0;
}

bool CheckFileReader::EndLine(CheckRecord& record) {
  const bool is_record = state_ == LineState::kRecordPath;
  if (is_record) {
    record.digest_text.swap(head_);
    record.relative_path.swap(path_);
  }
  head_.clear();
  path_.clear();
  state_ = LineState::kHead;
  return is_record;
}

bool CheckFileReader::Next(CheckRecord& record) {
  while (!ended_) {
    if (at_ == size_ && !Refill()) {
      ended_ = true;
      return EndLine(record);
    }
    const char* const data = block_.data();
    // Runs of ordinary bytes are settled in one step where the state allows.
    if (state_ == LineState::kRecordPath || state_ == LineState::kComment || state_ == LineState::kNotRecord) {
      std::size_t run = at_;
      while (run < size_ && !IsSpecial(data[run])) ++run;
      if (state_ == LineState::kRecordPath) path_.append(data + at_, run - at_);
      at_ = run;
      if (at_ == size_) continue;
    }
    const char ch = data[at_++];
    if (ch == kEndOfInput) {
      ended_ = true;
      return EndLine(record);
    }
    if (ch == '\r') continue;
    if (ch == '\n') {
      if (EndLine(record)) return true;
      continue;
    }
    // Only kHead reaches here with an ordinary byte.
    if (head_.empty() && ch == ';') {
      state_ = LineState::kComment;
    } else if (ch == '\t') {
      state_ = head_.size() == kDigestTextLength ? LineState::kRecordPath : LineState::kNotRecord;
    } else if (head_.size() == kDigestTextLength) {
      state_ = LineState::kNotRecord;
    } else {
      head_ += ch;
    }
  }
  return false;
}

}  // namespace quillora
