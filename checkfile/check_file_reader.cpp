#include "checkfile/check_file_reader.h"

#include "checkfile/check_file_format.h"
#include "platform/errors.h"
#include "platform/wide_text.h"

namespace quillora {
namespace {

constexpr char kEndOfInput = '\x1a';

bool IsSpecial(char ch) { return ch == '\n' || ch == '\r' || ch == kEndOfInput; }

}  // namespace

CheckFileReader::CheckFileReader(Stream& input, std::string path_prefix)
    : input_(input), block_(kBlockSize, '\0'), prefix_(std::move(path_prefix)) {
  head_.reserve(kDigestTextLength);
}

void CheckFileReader::AppendPath(const char* bytes, std::size_t count) {
  while (count > 0) {
    if (path_.size() == kPieceSize) {
      pieces_.push_back(std::move(path_));
      path_ = std::string();
      path_.reserve(kPieceSize);
    }
    const std::size_t take = std::min(count, kPieceSize - path_.size());
    path_.append(bytes, take);
    bytes += take;
    count -= take;
  }
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
    if (prefix_.empty() && pieces_.empty()) {
      record.relative_path.swap(path_);  // no copy, and no allocation once warm
    } else {
      std::size_t size = prefix_.size() + path_.size();
      for (const std::string& piece : pieces_) size += piece.size();
      std::string joined;
      joined.reserve(size + (pieces_.empty() ? 0 : kPathRoom));
      joined += prefix_;
      for (std::string& piece : pieces_) {
        joined += piece;
        std::string().swap(piece);  // given back at once: the path is never held twice
      }
      joined += path_;
      record.relative_path = std::move(joined);
    }
    // A check file written by a program that knew only the ANSI code page.
    MendLegacyText(record.relative_path, prefix_.size());
  }
  pieces_.clear();
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
      if (state_ == LineState::kRecordPath) AppendPath(data + at_, run - at_);
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
